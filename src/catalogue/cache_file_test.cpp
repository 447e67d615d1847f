// The thumbnail cache: tiles where the layout puts them, an ordinary baseline JPEG any viewer
// opens, damaged or foreign caches giving missing tiles rather than errors.
#include "catalogue/cache_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "catalogue/catalogue_file.h"
#include "imaging/test_pictures.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"
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

// The tag of place i in these tests.
std::uint32_t Tag(int i) { return TileTag("P" + std::to_string(i) + ".JPG"); }

std::vector<std::uint8_t> WriteCache(const std::string& path, const std::vector<const TThumbnail*>& thumbs,
                                     const std::vector<bool>& keep = {}, JpegRowReader* old = nullptr) {
  std::vector<TCacheTile> tiles;
  for (std::size_t i = 0; i < thumbs.size(); ++i) {
    const bool kept = i < keep.size() && keep[i];
    tiles.push_back({thumbs[i], kept, thumbs[i] || kept ? Tag(static_cast<int>(i)) : 0});
  }
  win::ReplacingFile f(path);
  WriteCacheFile(f, tiles, old);
  f.Commit();
  return win::ReadFileBytes(path);
}

std::vector<std::uint32_t> Tags(const std::vector<int>& tiles) {
  std::vector<std::uint32_t> t;
  for (int i : tiles) t.push_back(Tag(i));
  return t;
}

double Psnr(const PixelBuffer& a, const PixelBuffer& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.Size(); ++i) {
    const double d = static_cast<double>(a.Data()[i]) - static_cast<double>(b.Data()[i]);
    sum += d * d;
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.Size())));
}

PixelBuffer TileOf(const PixelBuffer& image, int k) {
  PixelBuffer tile(144, 108);
  const TTileRect r = TileRect(k);
  for (int y = 0; y < 108; ++y) std::memcpy(tile.Row(y), image.Row(r.Top + y) + r.Left * 3, 144 * 3);
  return tile;
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
  std::vector<std::uint8_t> bytes = WriteCache(dir.File(kCacheFileName), tiles);

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
  std::vector<std::uint32_t> want = Tags(asked);
  want[6] = 0;  // the black tile is named for nobody
  std::vector<TThumbnailPtr> got = ReadCacheTiles(FromBytes(bytes), asked, want);
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

TEST(CacheFile, DamagedForeignOrOtherFilesCachesGiveMissingTiles) {
  win::TempFolder dir;
  auto thumbs = Flat(60);  // three rows of tiles
  std::vector<const TThumbnail*> tiles;
  for (auto& t : thumbs) tiles.push_back(t.get());
  std::vector<std::uint8_t> bytes = WriteCache(dir.File(kCacheFileName), tiles);
  std::vector<int> asked{0, 24, 25, 59};
  const std::vector<std::uint32_t> want = Tags(asked);

  std::vector<TThumbnailPtr> all = ReadCacheFile(dir.File(kCacheFileName), asked, want);
  for (auto& t : all) EXPECT_TRUE(t);
  // A place the cache gives to another file's thumbnail is not taken; the others are.
  std::vector<TThumbnailPtr> some = ReadCacheFile(dir.File(kCacheFileName), asked, {want[0], Tag(3), want[2], 1});
  EXPECT_TRUE(some[0]);
  EXPECT_FALSE(some[1]);
  EXPECT_TRUE(some[2]);
  EXPECT_FALSE(some[3]);
  // A cache another program wrote (no comment of ours): taken as the format has it.
  const PixelBuffer image = DecompressPixels(bytes.data(), bytes.size());
  win::TempFolder::Write(dir.File("foreign.cfb"), CompressPixels(image, 90));
  for (auto& t : ReadCacheFile(dir.File("foreign.cfb"), asked, {1, 2, 3, 4})) EXPECT_TRUE(t);
  // Cut in the second row: the first row's tiles are read, the rest are not.
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
  std::vector<TThumbnailPtr> half = ReadCacheTiles(FromBytes(cut), asked, want);
  EXPECT_TRUE(half[0]);
  EXPECT_TRUE(half[1]);
  EXPECT_FALSE(half[3]);
  // Not a JPEG at all, an empty file, no file.
  std::vector<std::uint8_t> junk(5000, 0x41);
  for (auto& t : ReadCacheTiles(FromBytes(junk), asked, want)) EXPECT_FALSE(t);
  win::TempFolder::Write(dir.File("empty.cfb"), {});
  for (auto& t : ReadCacheFile(dir.File("empty.cfb"), asked, want)) EXPECT_FALSE(t);
  for (auto& t : ReadCacheFile(dir.File("none.cfb"), asked, want)) EXPECT_FALSE(t);
}

// Writing a cache again keeps the tiles it does not change in their places, copied from the
// cache it replaces: written twenty times over, they stay what they were.
TEST(CacheFile, KeptTilesComeFromTheCacheReplacedAndLoseNothingVisible) {
  win::TempFolder dir;
  std::vector<std::shared_ptr<const TThumbnail>> photos;
  for (int i = 0; i < 40; ++i) photos.push_back(std::make_shared<const TThumbnail>(testpic::PhotoLike(144, 108, static_cast<std::uint32_t>(i + 3))));
  std::vector<const TThumbnail*> first;
  for (auto& p : photos) first.push_back(p.get());
  std::vector<std::uint8_t> bytes = WriteCache(dir.File("a.cfb"), first);
  const PixelBuffer original = DecompressPixels(bytes.data(), bytes.size());

  auto fresh = Flat(1);
  double worst = 99;
  for (int round = 0; round < 20; ++round) {
    // Place 7 gets a new tile, place 9 is dropped, the rest are kept.
    std::vector<const TThumbnail*> next(40, nullptr);
    std::vector<bool> keep(40, true);
    next[7] = fresh[0].get();
    keep[7] = keep[9] = false;
    std::vector<std::uint8_t> old = win::ReadFileBytes(dir.File("a.cfb"));
    JpegRowReader reader(old.data(), old.size());
    bytes = WriteCache(dir.File("b.cfb"), next, keep, &reader);
    MoveFileExW(win::Wide(dir.File("b.cfb")).c_str(), win::Wide(dir.File("a.cfb")).c_str(), MOVEFILE_REPLACE_EXISTING);
    const PixelBuffer image = DecompressPixels(bytes.data(), bytes.size());
    for (int k = 0; k < 40; ++k)
      if (k != 7 && k != 9) worst = std::min(worst, Psnr(TileOf(original, k), TileOf(image, k)));
    EXPECT_TRUE(Near(image.Pixel(TileRect(7).Left + 70, TileRect(7).Top + 50), fresh[0]->Pixels().Pixel(70, 50)));
    EXPECT_TRUE(Near(image.Pixel(TileRect(9).Left + 70, TileRect(9).Top + 50), 0));
  }
  std::printf("kept tiles after 20 writings: worst %.1f dB PSNR\n", worst);
  EXPECT_GE(worst, 40.0);
  const std::vector<int> asked{0, 7, 9, 39};
  std::vector<TThumbnailPtr> got = ReadCacheFile(dir.File("a.cfb"), asked, Tags(asked));
  EXPECT_TRUE(got[0] && got[1] && got[3]);
  EXPECT_FALSE(got[2]);  // dropped: its place is named for nobody now

  // Kept tiles the old cache does not hold are an error, not black tiles named for a file.
  std::vector<std::uint8_t> small = WriteCache(dir.File("small.cfb"), {first[0]});
  JpegRowReader reader(small.data(), small.size());
  std::vector<bool> keepAll(40, true);
  EXPECT_THROW(WriteCache(dir.File("c.cfb"), std::vector<const TThumbnail*>(40, nullptr), keepAll, &reader),
               EInvalidGraphic);
}

// Reading and writing a cache work on several rows of tiles at once on two threads. Over many
// rows, and asked in any order, every tile must be what one thread doing one thing at a time
// gives: the written file the plain encoding of the whole picture, and each tile read the
// tile cut from the whole decoded picture, compressed.
TEST(CacheFile, ManyRowsGiveWhatOneThreadAtATimeGives) {
  win::TempFolder dir;
  constexpr int kCount = 8 * kTilesPerRow - 3;  // eight rows, the last one short
  std::vector<std::shared_ptr<const TThumbnail>> photos;
  for (int i = 0; i < kCount; ++i)
    photos.push_back(std::make_shared<const TThumbnail>(testpic::PhotoLike(144, 108, static_cast<std::uint32_t>(i + 1))));
  std::vector<const TThumbnail*> tiles;
  for (auto& p : photos) tiles.push_back(p.get());
  tiles[30] = nullptr;  // black
  const std::vector<std::uint8_t> bytes = WriteCache(dir.File(kCacheFileName), tiles);

  const TCacheSize size = CacheImageSize(kCount);
  PixelBuffer plain(size.Width, size.Height);
  std::vector<std::uint32_t> tags;
  for (int k = 0; k < kCount; ++k) {
    tags.push_back(tiles[static_cast<std::size_t>(k)] ? Tag(k) : 0);
    if (!tiles[static_cast<std::size_t>(k)]) continue;
    const PixelBuffer t = tiles[static_cast<std::size_t>(k)]->Pixels();
    const TTileRect r = TileRect(k);
    for (int y = 0; y < 108; ++y) std::memcpy(plain.Row(r.Top + y) + r.Left * 3, t.Row(y), 144 * 3);
  }
  std::vector<std::uint8_t> expected;
  JpegRowWriter w(size.Width, size.Height, 90, [&](const std::uint8_t* b, std::size_t n) {
    expected.insert(expected.end(), b, b + n);
    return true;
  }, CacheComment(tags), true);
  for (int y = 0; y < plain.Height(); ++y) {
    BgrToSamples(plain.Row(y), plain.Width());
    const std::uint8_t* row = plain.Row(y);
    w.WriteRows(&row, 1);
  }
  w.Finish();
  EXPECT_TRUE(bytes == expected);

  // All of them, from the last to the first, the first row's twice, and the black one.
  std::vector<int> asked;
  for (int k = kCount - 1; k >= 0; --k) asked.push_back(k);
  for (int k = 0; k < kTilesPerRow; ++k) asked.push_back(k);
  std::vector<std::uint32_t> want;
  for (int k : asked) want.push_back(tags[static_cast<std::size_t>(k)]);
  const std::vector<TThumbnailPtr> got = ReadCacheTiles(FromBytes(bytes), asked, want);
  const PixelBuffer whole = DecompressPixels(bytes.data(), bytes.size());
  int same = 0;
  for (std::size_t i = 0; i < asked.size(); ++i) {
    ASSERT_TRUE(got[i]) << "tile " << asked[i];
    const PixelBuffer a = got[i]->Pixels(), b = TThumbnail(TileOf(whole, asked[i])).Pixels();
    same += a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), a.Size()) == 0;
  }
  EXPECT_EQ(same, static_cast<int>(asked.size()));
}
