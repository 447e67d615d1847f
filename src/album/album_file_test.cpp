#include "album/album_file.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(const std::vector<AlbumRecord>& albums) {
  std::vector<AlbumRef> refs;
  for (const AlbumRecord& a : albums) refs.push_back({a.Caption, a.Color, a.FontName, a.FontColor, a.Folders});
  return WriteAlbumLibrary(refs);
}

void PutInt(Bytes& b, std::int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
}
void PutString(Bytes& b, std::string_view s) {
  b.insert(b.end(), s.begin(), s.end());
  b.insert(b.end(), kStringField - s.size(), 0);
}
Bytes Header(std::int32_t version, std::int32_t albums) {
  Bytes b(kAlbumMagic.begin(), kAlbumMagic.end());
  PutInt(b, version);
  PutInt(b, albums);
  return b;
}
void PutAlbum(Bytes& b, std::string_view caption, std::int32_t folders) {
  PutString(b, caption);
  PutInt(b, 0xFF0000);
  PutString(b, "ＭＳ 明朝");
  PutInt(b, 0xFFFFFF);
  PutInt(b, folders);
}

TFolderEntry Folder(std::string path, std::vector<std::string> entries = {}, int size = 3, int kind = 0) {
  auto r = std::make_unique<TFolderRecord>();
  r->SizeIndex = size;
  r->Kind = kind;
  r->Entries = std::move(entries);
  return {std::move(path), std::move(r)};
}

}  // namespace

TEST(AlbumFile, EmptyLibraryIs28Bytes) {
  Bytes b = Write({});
  Bytes expected(kAlbumMagic.begin(), kAlbumMagic.end());
  Bytes tail = {0x1E, 0, 0, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(b, expected);
  EXPECT_EQ(std::memcmp(b.data(), "Quirandel...........", 20), 0);
}

TEST(AlbumFile, AlbumBlockIs524BytesExactly) {
  std::vector<AlbumRecord> albums(1);
  albums[0].Caption = "A";
  albums[0].Color = 0xFF0000;
  albums[0].FontName = "X";
  albums[0].FontColor = 0;
  Bytes b = Write(albums);
  ASSERT_EQ(b.size(), 28u + 524u);
  Bytes block(b.begin() + 28, b.end());
  Bytes expected;
  PutString(expected, "A");
  expected.insert(expected.end(), {0x00, 0x00, 0xFF, 0x00});
  PutString(expected, "X");
  expected.insert(expected.end(), {0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(block, expected);
}

TEST(AlbumFile, SizesPerFolderAndEntryAndRecordlessFolders) {
  std::vector<AlbumRecord> albums(1);
  albums[0].Folders.push_back(Folder("C:\\a"));
  albums[0].Folders.push_back(Folder("C:\\b", {"x", "y"}, 5, 1));
  albums[0].Folders.push_back({"C:\\c", nullptr});
  albums[0].Folders.push_back(Folder("C:\\a"));  // the same path twice is kept twice
  Bytes b = Write(albums);
  EXPECT_EQ(b.size(), 28u + 524u + 4 * 268u + 2 * 256u);

  // The folder without a record is written as size 3, kind 0, no entries.
  std::size_t c = 28 + 524 + 268 + 268 + 512;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[c])), "C:\\c");
  EXPECT_EQ(b[c + 256], 3);
  EXPECT_EQ(b[c + 260], 0);
  EXPECT_EQ(b[c + 264], 0);

  AlbumLibraryData d = ReadAlbumLibrary(b);
  ASSERT_TRUE(d.MagicOk && d.Complete);
  EXPECT_EQ(d.Version, 30);
  ASSERT_EQ(d.Albums[0].Folders.size(), 4u);
  const TFolderRecord& r = *d.Albums[0].Folders[1].Record;
  EXPECT_EQ(r.SizeIndex, 5);
  EXPECT_EQ(r.Kind, 1);
  EXPECT_EQ(r.Entries, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(d.Albums[0].Folders[3].Path, "C:\\a");
}

TEST(AlbumFile, Version20HasNoKindAndVersion10NoRecord) {
  Bytes v20 = Header(20, 1);
  PutAlbum(v20, "旅行", 1);
  PutString(v20, "D:\\写真");
  PutInt(v20, 4);  // SizeIndex
  PutInt(v20, 1);  // one entry
  PutString(v20, "memo");
  AlbumLibraryData d = ReadAlbumLibrary(v20);
  ASSERT_TRUE(d.Complete);
  const TFolderRecord& r = *d.Albums[0].Folders[0].Record;
  EXPECT_EQ(r.SizeIndex, 4);
  EXPECT_EQ(r.Kind, 0);
  EXPECT_EQ(r.Entries, std::vector<std::string>{"memo"});
  Bytes again = Write(d.Albums);
  EXPECT_EQ(again.size(), 28u + 524u + 268u + 256u);
  EXPECT_EQ(again[20], 30);

  Bytes v10 = Header(10, 1);
  PutAlbum(v10, "古い", 2);
  PutString(v10, "C:\\one");
  PutString(v10, "C:\\two");
  d = ReadAlbumLibrary(v10);
  ASSERT_TRUE(d.Complete);
  ASSERT_EQ(d.Albums[0].Folders.size(), 2u);
  EXPECT_EQ(d.Albums[0].Folders[1].Path, "C:\\two");
  EXPECT_EQ(d.Albums[0].Folders[1].Record, nullptr);

  // A version above 30 reads as 30.
  Bytes v31 = Header(31, 1);
  PutAlbum(v31, "新", 1);
  PutString(v31, "C:\\x");
  PutInt(v31, 2);
  PutInt(v31, 1);
  PutInt(v31, 0);
  d = ReadAlbumLibrary(v31);
  ASSERT_TRUE(d.Complete);
  EXPECT_EQ(d.Albums[0].Folders[0].Record->Kind, 1);
}

TEST(AlbumFile, LongTextsAreCutAtWholeCharacters) {
  std::vector<AlbumRecord> albums(1);
  albums[0].Caption = std::string(253, 'a') + "表";  // exactly 255 bytes
  albums[0].FontName = std::string(254, 'b') + "表";  // 256 bytes: the kanji does not fit
  albums[0].Folders.push_back(Folder("C:\\p", {std::string(254, 'e') + "ソ"}));
  AlbumLibraryData d = ReadAlbumLibrary(Write(albums));
  ASSERT_TRUE(d.Complete);
  EXPECT_TRUE(d.FieldsFit);
  EXPECT_EQ(d.Albums[0].Caption, albums[0].Caption);
  EXPECT_EQ(d.Albums[0].FontName, std::string(254, 'b'));
  EXPECT_EQ(d.Albums[0].Folders[0].Record->Entries[0], std::string(254, 'e'));
}

TEST(AlbumFile, SizeIndexOutsideRangeIsKept) {
  std::vector<AlbumRecord> albums(1);
  albums[0].Folders.push_back(Folder("C:\\a", {}, 9));
  AlbumLibraryData d = ReadAlbumLibrary(Write(albums));
  EXPECT_EQ(d.Albums[0].Folders[0].Record->SizeIndex, 9);
}

TEST(AlbumFile, WrongMagicReadsNothing) {
  Bytes b = Write({});
  b[8] = 'X';
  EXPECT_FALSE(ReadAlbumLibrary(b).MagicOk);
  Bytes nul = Write({});
  nul[19] = 0;  // the magic is compared as text ending at its first NUL
  EXPECT_FALSE(ReadAlbumLibrary(nul).MagicOk);
  EXPECT_FALSE(ReadAlbumLibrary(Bytes(kAlbumMagic.begin(), kAlbumMagic.end() - 1)).MagicOk);
}

TEST(AlbumFile, StringFieldWithoutNulIsTakenWhole) {
  Bytes b = Header(30, 1);
  Bytes caption(256, 'c');
  b.insert(b.end(), caption.begin(), caption.end());
  PutInt(b, 1);
  PutString(b, "f");
  PutInt(b, 2);
  PutInt(b, 0);
  AlbumLibraryData d = ReadAlbumLibrary(b);
  ASSERT_TRUE(d.Complete);
  EXPECT_EQ(d.Albums[0].Caption, std::string(256, 'c'));
  EXPECT_FALSE(d.FieldsFit);  // written back it would lose a byte
}

// Every prefix of a valid file: no over-read (the sanitizers watch), and exactly the albums
// that were complete before the cut are kept.
TEST(AlbumFile, EveryTruncationKeepsTheWholeAlbumsBeforeIt) {
  std::vector<AlbumRecord> albums(3);
  for (int i = 0; i < 3; ++i) {
    albums[i].Caption = "アルバム" + std::to_string(i);
    albums[i].Folders.push_back(Folder("C:\\f" + std::to_string(i), {"e"}));
  }
  Bytes full = Write(albums);
  std::size_t albumSize = 524 + 268 + 256;
  ASSERT_EQ(full.size(), 28 + 3 * albumSize);
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    AlbumLibraryData d = ReadAlbumLibrary(cut);
    EXPECT_EQ(d.MagicOk, n >= 20) << n;
    EXPECT_FALSE(d.Complete) << n;
    std::size_t whole = n < 28 ? 0 : (n - 28) / albumSize;
    ASSERT_EQ(d.Albums.size(), whole) << n;
    for (std::size_t i = 0; i < whole; ++i) EXPECT_EQ(d.Albums[i].Caption, albums[i].Caption);
  }
  EXPECT_TRUE(ReadAlbumLibrary(full).Complete);
}

TEST(AlbumFile, HugeCountsAreNotTrusted) {
  Bytes b = Header(30, 0x7FFFFFFF);
  PutAlbum(b, "a", 0x7FFFFFFF);
  AlbumLibraryData d = ReadAlbumLibrary(b);
  EXPECT_FALSE(d.Complete);
  EXPECT_TRUE(d.Albums.empty());

  Bytes e = Header(30, 1);
  PutAlbum(e, "a", 1);
  PutString(e, "C:\\x");
  PutInt(e, 3);
  PutInt(e, 0);
  PutInt(e, 0x7FFFFFFF);  // entries
  d = ReadAlbumLibrary(e);
  EXPECT_FALSE(d.Complete);
  EXPECT_TRUE(d.Albums.empty());

  Bytes neg = Header(30, -5);
  d = ReadAlbumLibrary(neg);
  EXPECT_TRUE(d.Complete);
  EXPECT_TRUE(d.Albums.empty());
}

TEST(AlbumFile, PathBesideTheExecutable) {
  EXPECT_EQ(AlbumFilePath("C:\\Apps\\viewer.exe"), "C:\\Apps\\viewer.Alb");
  EXPECT_EQ(AlbumFilePath("C:\\ソフト\\Quiran.exe"), "C:\\ソフト\\Quiran.Alb");
}
