// The catalogue's bytes, its damaged forms, and the cache's tile layout.
#include "catalogue/catalogue_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace {
TCatalogueItem Item(std::string name, std::string comment, int w, int h, double date, int tile) {
  return {std::move(name), {date, w, h, std::move(comment), tile}};
}
}  // namespace

TEST(CatalogueFile, BytesAreExactlyTheFieldLayout) {
  TCatalogue c{Item("PHOTO.JPG", "海\r\n辺", 4000, 3000, 45000.5, 0), Item("表.BMP", "", 640, 480, 0, -1)};
  std::vector<std::uint8_t> b = SerializeCatalogue(c);
  ASSERT_EQ(b.size(), 4 + 2 * 530u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 4), (std::vector<std::uint8_t>{2, 0, 0, 0}));
  const std::uint8_t* e = b.data() + 4;
  EXPECT_EQ(std::memcmp(e, "PHOTO.JPG", 9), 0);
  EXPECT_EQ(std::count(e + 9, e + 255, 0), 246);
  // "海" is 8A 43, CR LF, "辺" is 95 D3 in Shift-JIS.
  const std::uint8_t comment[] = {0x8A, 0x43, 0x0D, 0x0A, 0x95, 0xD3};
  EXPECT_EQ(std::memcmp(e + 255, comment, 6), 0);
  EXPECT_EQ(e[255 + 6], 0);
  const std::uint8_t numbers[] = {0xA0, 0x0F, 0, 0, 0xB8, 0x0B, 0, 0,               // 4000, 3000
                                  0, 0, 0, 0, 0x10, 0xF9, 0xE5, 0x40,               // 45000.5
                                  0, 0, 0, 0};                                      // tile 0
  EXPECT_EQ(std::memcmp(e + 510, numbers, sizeof numbers), 0);
  const std::uint8_t* e2 = e + 530;
  const std::uint8_t none[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(e2 + 526, none, 4), 0);

  TCatalogue back = ParseCatalogue(b);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Name, "PHOTO.JPG");
  EXPECT_EQ(back[0].Entry.Comment, "海\r\n辺");
  EXPECT_EQ(back[0].Entry.PixelWidth, 4000);
  EXPECT_EQ(back[0].Entry.Date, 45000.5);
  EXPECT_EQ(back[1].Entry.TileIndex, -1);
}

TEST(CatalogueFile, TextsOfTheFieldsFullLengthAndLonger) {
  // 255 bytes fill the field with no terminating zero and read back whole.
  std::string full(255, 'x');
  // A name of 127 double-byte characters and one more: 256 bytes, cut to 254 whole ones.
  std::string longName;
  for (int i = 0; i < 128; ++i) longName += "ソ";  // 83 5C: the trail byte is a backslash
  TCatalogue c{Item(full, full, 1, 1, 0, 3), Item(longName, longName + "A", 1, 1, 0, 4)};
  std::vector<std::uint8_t> b = SerializeCatalogue(c);
  ASSERT_EQ(b.size(), 4 + 2 * 530u);
  EXPECT_EQ(b[4 + 254], 'x');
  EXPECT_EQ(b[4 + 255], 'x');  // the comment starts right after: no zero between
  TCatalogue back = ParseCatalogue(b);
  EXPECT_EQ(back[0].Name, full);
  EXPECT_EQ(back[0].Entry.Comment, full);
  EXPECT_EQ(back[1].Name.size(), 254u);
  EXPECT_EQ(back[1].Name, std::string(CatalogueText(longName)));
  EXPECT_EQ(back[1].Entry.Comment.size(), 254u);
  EXPECT_EQ(back[1].Entry.TileIndex, 4);
  EXPECT_EQ(CatalogueText("ソ"), "ソ");
}

TEST(CatalogueFile, ACommentIsCutAtItsLastWholeCharacterWithin255Bytes) {
  // 150 double-byte characters, 300 bytes, whose trail bytes are a backslash and a letter.
  std::string comment;
  for (int i = 0; i < 75; ++i) comment += "ソヂ";  // 83 5C, 83 61
  EXPECT_EQ(CatalogueText(comment), comment.substr(0, 254));
  // One single-byte character first: the cut then falls between two characters.
  EXPECT_EQ(CatalogueText("a" + comment), ("a" + comment).substr(0, 255));
  // A line break is two single-byte characters like any other.
  EXPECT_EQ(CatalogueText("\r\n" + comment), ("\r\n" + comment).substr(0, 254));
}

TEST(CatalogueFile, DamagedFilesGiveTheirWholeEntriesOnly) {
  TCatalogue c{Item("A.JPG", "a", 1, 2, 3, 0), Item("B.JPG", "b", 1, 2, 3, 1), Item("C.JPG", "c", 1, 2, 3, 2)};
  std::vector<std::uint8_t> b = SerializeCatalogue(c);
  // A count larger than the file: the whole entries are read, then the end stops it.
  std::vector<std::uint8_t> cut(b.begin(), b.end() - 100);
  cut[0] = 0xFF, cut[1] = 0xFF, cut[2] = 0, cut[3] = 0;
  TCatalogue back = ParseCatalogue(cut);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].Name, "B.JPG");
  // A negative count, an empty file, a file shorter than its count field.
  b[3] = 0x80;
  EXPECT_TRUE(ParseCatalogue(b).empty());
  EXPECT_TRUE(ParseCatalogue({}).empty());
  EXPECT_TRUE(ParseCatalogue(std::vector<std::uint8_t>{1, 0}).empty());
  // A smaller count than the file holds reads that many.
  b[3] = 0, b[0] = 1;
  EXPECT_EQ(ParseCatalogue(b).size(), 1u);
  EXPECT_EQ(SerializeCatalogue({}), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(CatalogueFile, TileGeometry) {
  EXPECT_EQ(CacheImageSize(1).Width, 144);
  EXPECT_EQ(CacheImageSize(1).Height, 108);
  EXPECT_EQ(CacheImageSize(25).Width, 3600);
  EXPECT_EQ(CacheImageSize(25).Height, 108);
  EXPECT_EQ(CacheImageSize(26).Width, 3600);
  EXPECT_EQ(CacheImageSize(26).Height, 216);
  EXPECT_EQ(TileRect(25).Left, 0);
  EXPECT_EQ(TileRect(25).Top, 108);
  EXPECT_EQ(TileRect(24).Left, 3456);
  // The largest cache stays within a JPEG's 65,500 pixels.
  EXPECT_EQ(kMaxTiles, 15150);
  EXPECT_EQ(CacheImageSize(20000).Height, 606 * 108);
  EXPECT_LE(CacheImageSize(20000).Height, 65500);
}

TEST(CatalogueFile, TheCacheCommentNamesEveryPlacesFile) {
  const std::vector<std::uint32_t> tags{TileTag("A.JPG"), 0, TileTag("表.JPG"), 0xFFFFFF};
  const std::string comment = CacheComment(tags);
  EXPECT_EQ(comment.rfind("Quiran tiles ", 0), 0u);
  EXPECT_EQ(comment.size(), 13u + 4 * 4);
  EXPECT_EQ(comment.substr(13 + 4, 4), "AAAA");
  EXPECT_EQ(CacheTags(comment), tags);
  // Tags fit 24 bits and are never 0; names that differ get different ones.
  EXPECT_NE(TileTag("A.JPG"), TileTag("B.JPG"));
  EXPECT_NE(TileTag(""), 0u);
  EXPECT_LT(TileTag("表.JPG"), 1u << 24);
  // The largest cache's comment fits one comment marker (65,533 bytes).
  EXPECT_LE(CacheComment(std::vector<std::uint32_t>(kMaxTiles, 5)).size(), 65533u);
  // Another program's comment (or none): not ours, every tile taken.
  EXPECT_FALSE(CacheTags(""));
  EXPECT_FALSE(CacheTags("made by a viewer"));
  // Ours in another form, or damaged: no tile taken.
  EXPECT_EQ(CacheTags("Quiran catalogue 0123ABCD"), std::vector<std::uint32_t>());
  EXPECT_EQ(CacheTags("Quiran tiles AAA"), std::vector<std::uint32_t>());
  EXPECT_EQ(CacheTags(std::string("Quiran tiles AA\0A", 17)), std::vector<std::uint32_t>());
}
