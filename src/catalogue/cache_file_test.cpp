// The thumbnail cache: tiles where the layout puts them, an ordinary baseline JPEG any viewer
// opens, damaged or foreign caches giving missing tiles rather than errors.
#include "catalogue/cache_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "catalogue/catalogue_file.h"
#include "imaging/test_pictures.h"
#include "win/file_io.h"
#include "win/test_files.h"

namespace {

// Thumbnails of one flat colour each, easy to tell apart after compression.
std::vector<std::shared_ptr<const TThumbnail>> Flat(int n) {
  std::vector<std::shared_ptr<const TThumbnail>> out;
  for (int i = 0; i < n; ++i) {
    PixelBuffer p(144, 108);
    const std::uint32_t c = static_cast<std::uint32_t>((i * 37) % 256) | static_cast<std::uint32_t>((i * 91) % 256) << 8 | 0x40u << 16;
    for (int y = 0; y < 108; ++y)
      for (int x = 0; x < 144; ++x) p.SetPixel(x, y, c);
    out.push_back(std::make_shared<const TThumbnail>(p));
  }
  return out;
}

bool Near(std::uint32_t a, std::uint32_t b) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 6) return false;
  return true;
}

std::vector<std::uint8_t> WriteCache(const std::string& path, const std::vector<const TThumbnail*>& tiles,
                                     const std::string& comment = "") {
  win::ReplacingFile f(path);
  WriteCacheFile(f, tiles, comment);
  f.Commit();
  return win::ReadFileBytes(path);
}

JpegRowReader::Source FromBytes(const std::vector<std::uint8_t>& bytes) {
  auto at = std::make_shared<std::size_t>(0);
  return [&bytes, at](std::uint8_t* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes.size() - *at);
    std::memcpy(buffer, bytes.data() + *at, n);
    *at += n;
    return n;
  };
}

}  // namespace

TEST(CacheFile, TilesGoWhereTheLayoutPutsThemAndComeBack) {
  win::TempFolder dir;
  auto thumbs = Flat(27);
  std::vector<const TThumbnail*> tiles;
  for (auto& t : thumbs) tiles.push_back(t.get());
  tiles[3] = nullptr;  // an item without thumbnail: its tile is left black
  std::vector<std::uint8_t> bytes = WriteCache(dir.File(kCacheFileName), tiles, "Quiran catalogue 00000001");

  // An ordinary picture of 3600 x 216: tile 25 starts the second row.
  PixelBuffer whole = DecompressPixels(bytes.data(), bytes.size());
  ASSERT_EQ(whole.Width(), 3600);
  ASSERT_EQ(whole.Height(), 216);
  const PixelBuffer t25 = thumbs[25]->Pixels(), t0 = thumbs[0]->Pixels();
  EXPECT_TRUE(Near(whole.Pixel(70, 160), t25.Pixel(70, 52)));
  EXPECT_TRUE(Near(whole.Pixel(10, 10), t0.Pixel(10, 10)));
  EXPECT_TRUE(Near(whole.Pixel(3 * 144 + 70, 50), 0));

  // Asked in any order, twice, beyond the picture: each request gets its own tile or none.
  std::vector<int> asked{26, 0, -1, 25, 0, 50, 3, 24};
  std::vector<TThumbnailPtr> got = ReadCacheTiles(FromBytes(bytes), asked, 1);
  ASSERT_EQ(got.size(), asked.size());
  EXPECT_TRUE(Near(got[0]->Pixels().Pixel(5, 5), thumbs[26]->Pixels().Pixel(5, 5)));
  EXPECT_TRUE(Near(got[1]->Pixels().Pixel(5, 5), t0.Pixel(5, 5)));
  EXPECT_FALSE(got[2]);
  EXPECT_TRUE(Near(got[3]->Pixels().Pixel(100, 100), t25.Pixel(100, 100)));
  EXPECT_TRUE(got[4]);
  EXPECT_FALSE(got[5]);  // tile 50 would start a third row the picture does not have
  EXPECT_TRUE(got[6]);   // drawn black, but a tile of the picture all the same
  EXPECT_TRUE(Near(got[7]->Pixels().Pixel(143, 107), thumbs[24]->Pixels().Pixel(143, 107)));

  // One picture gives a cache of one tile.
  std::vector<std::uint8_t> one = WriteCache(dir.File("one.cfb"), {thumbs[5].get()});
  PixelBuffer single = DecompressPixels(one.data(), one.size());
  EXPECT_EQ(single.Width(), 144);
  EXPECT_EQ(single.Height(), 108);
}

TEST(CacheFile, DamagedOrForeignCachesGiveMissingTiles) {
  win::TempFolder dir;
  auto thumbs = Flat(60);  // three rows of tiles
  std::vector<const TThumbnail*> tiles;
  for (auto& t : thumbs) tiles.push_back(t.get());
  std::vector<std::uint8_t> bytes = WriteCache(dir.File(kCacheFileName), tiles, CacheComment(7));
  std::vector<int> asked{0, 24, 25, 59};

  std::vector<TThumbnailPtr> all = ReadCacheFile(dir.File(kCacheFileName), asked, 7);
  for (auto& t : all) EXPECT_TRUE(t);
  // Another catalogue's cache: nothing of it is used.
  for (auto& t : ReadCacheFile(dir.File(kCacheFileName), asked, 8)) EXPECT_FALSE(t);
  // Cut in the second row: the first row's tiles are read, the rest are not.
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
  std::vector<TThumbnailPtr> half = ReadCacheTiles(FromBytes(cut), asked, 7);
  EXPECT_TRUE(half[0]);
  EXPECT_TRUE(half[1]);
  EXPECT_FALSE(half[3]);
  // Not a JPEG at all, an empty file, no file.
  std::vector<std::uint8_t> junk(5000, 0x41);
  for (auto& t : ReadCacheTiles(FromBytes(junk), asked, 7)) EXPECT_FALSE(t);
  win::TempFolder::Write(dir.File("empty.cfb"), {});
  for (auto& t : ReadCacheFile(dir.File("empty.cfb"), asked, 7)) EXPECT_FALSE(t);
  for (auto& t : ReadCacheFile(dir.File("none.cfb"), asked, 7)) EXPECT_FALSE(t);
}
