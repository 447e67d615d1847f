// The folder scan: upper-cased picture names, double-byte names whose trail bytes look like
// "\" or letters, files without a dot, directories left out.
#include "catalogue/folder_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "win/test_files.h"
#include "win/text.h"

namespace {
std::vector<std::string> Names(const TFileItems& items) {
  std::vector<std::string> out;
  for (const TFileItem& i : items) out.push_back(i.Name);
  std::sort(out.begin(), out.end());
  return out;
}
}  // namespace

TEST(FolderScan, ListsPictureFilesByUpperCasedName) {
  win::TempFolder dir;
  // "表" is 95 5C and "ソ" 83 5C: their trail byte is a backslash. "カ" is 83 4A: "カPG" ends
  // in the bytes of "JPG" without being a JPEG name.
  for (const char* name : {"表.JPG", "ソ.jpg", "カPG", "photo.Jpeg", "FOOBMP", "a.jpe", "notes.txt", "h.bmp"})
    win::TempFolder::Write(dir.File(name), {1, 2, 3});
  SetFileAttributesW(win::Wide(dir.File("h.bmp")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  CreateDirectoryW(win::Wide(dir.File("folder.jpg")).c_str(), nullptr);

  TFileItems items;
  items.push_back({"OLD", "old", nullptr});
  EXPECT_EQ(ScanFolder(dir.Path(), items), 5);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"FOOBMP", "H.BMP", "PHOTO.JPEG", "ソ.JPG", "表.JPG"}));
  for (const TFileItem& i : items) {
    EXPECT_FALSE(i.Entry);
    // The name as listed opens the file, also where the file system tells case apart.
    EXPECT_TRUE(GetFileAttributesW(win::Wide(FolderFilePath(dir.Path(), i.DiskName)).c_str()) !=
                INVALID_FILE_ATTRIBUTES)
        << i.DiskName;
  }
  auto photo = std::find_if(items.begin(), items.end(), [](const TFileItem& i) { return i.Name == "PHOTO.JPEG"; });
  EXPECT_EQ(photo->DiskName, "photo.Jpeg");

  // A trailing "\" on the folder's path changes nothing; a missing folder has no files.
  EXPECT_EQ(ScanFolder(dir.Path() + "\\", items), 5);
  EXPECT_EQ(ScanFolder(dir.File("missing"), items), 0);
  EXPECT_TRUE(items.empty());
}

TEST(FolderScan, FolderFilePathAddsOneSeparator) {
  EXPECT_EQ(FolderFilePath("C:\\pics", "A.JPG"), "C:\\pics\\A.JPG");
  EXPECT_EQ(FolderFilePath("C:\\", "A.JPG"), "C:\\A.JPG");
  // A folder ending in "ソ" ends in the byte 5C without ending in a separator.
  EXPECT_EQ(FolderFilePath("C:\\ソ", "A.JPG"), "C:\\ソ\\A.JPG");
}
