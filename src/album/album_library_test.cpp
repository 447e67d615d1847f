#include "album/album_library.h"

#include <gtest/gtest.h>

#include "win/error.h"

TEST(AlbumLibrary, FileAlbumsBecomeAlbumsWithTheirCaptionFont) {
  std::vector<AlbumRecord> read(2);
  read[0].Caption = "旅行";
  read[0].FontName = "ＭＳ 明朝";
  read[0].FontColor = 0xFFFFFF;
  read[1].Folders.push_back({"C:\\写真", nullptr});
  TAlbumLibrary library(std::move(read));
  ASSERT_EQ(library.Count(), 2u);
  const TAlbum& first = *library.Albums()[0];
  EXPECT_EQ(first.Caption, "旅行");
  EXPECT_EQ(first.Font.Name, "ＭＳ 明朝");
  EXPECT_EQ(first.Font.Color, 0xFFFFFFu);
  EXPECT_EQ(first.Font.Points(), 14);
  EXPECT_TRUE(first.Font.Bold);
  // What was read is written back the same, also a folder without a record.
  std::vector<AlbumRecord> again = ReadAlbumLibrary(library.FileBytes()).Albums;
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0].FontName, "ＭＳ 明朝");
  EXPECT_EQ(again[1].Folders[0].Path, "C:\\写真");
  EXPECT_EQ(again[1].Folders[0].Record->SizeIndex, 3);

  library.Remove(library.Albums()[0].get());
  ASSERT_EQ(library.Count(), 1u);
  EXPECT_EQ(library.Albums()[0]->Folders.size(), 1u);
}

TEST(AlbumLibrary, APathTheFileCannotHoldIsRefusedWhenAdded) {
  TAlbum album;
  std::string longest = "C:\\" + std::string(250, 'a') + "表";  // 255 bytes
  EXPECT_EQ(TAlbumLibrary::AddFolder(album, longest).SizeIndex, 3);
  try {
    TAlbumLibrary::AddFolder(album, longest + "x");
    ADD_FAILURE() << "a 256-byte path was added";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("255"), std::string::npos);
  }
  ASSERT_EQ(album.Folders.size(), 1u);
  // Saved and read back whole, not cut.
  TAlbumLibrary library;
  library.Add(std::move(album));
  EXPECT_EQ(ReadAlbumLibrary(library.FileBytes()).Albums[0].Folders[0].Path, longest);
}

TEST(AlbumLibrary, RemovingAFolderTakesTheFirstWithThePathWhateverTheLetterCase) {
  TAlbum album;
  TFolderRecord& first = TAlbumLibrary::AddFolder(album, "C:\\写真\\Abc");
  TAlbumLibrary::AddFolder(album, "C:\\表");
  TAlbumLibrary::AddFolder(album, "c:\\写真\\aBC");
  std::optional<TFolderEntry> gone = TAlbumLibrary::RemoveFolder(album, "C:\\写真\\ABC");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->Record.get(), &first);
  ASSERT_EQ(album.Folders.size(), 2u);
  EXPECT_EQ(album.Folders[1].Path, "c:\\写真\\aBC");
  EXPECT_FALSE(TAlbumLibrary::RemoveFolder(album, "D:\\"));

  album.Folders.push_back({"E:\\古い", nullptr});
  TAlbumLibrary::GiveDefaultRecords(album);
  ASSERT_TRUE(album.Folders[2].Record);
  EXPECT_EQ(album.Folders[2].Record->Kind, 0);
}
