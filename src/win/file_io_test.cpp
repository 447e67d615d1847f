// Whole-file reading and crash-safe replacing, under Wine, in a folder whose name holds
// double-byte characters with a "\" trail byte (表, ソ).
#include "win/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "win/error.h"
#include "win/test_files.h"

using namespace win;

namespace {
std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }
}  // namespace

TEST(FileIo, ReplacingPutsTheNewBytesInPlaceAndLeavesNothingElse) {
  TempFolder dir;
  std::string path = dir.File("表ソ.Alb");
  WriteFileReplacing(path, Bytes("first"));  // no old file: moved into place
  EXPECT_EQ(ReadFileBytes(path), Bytes("first"));
  WriteFileReplacing(path, Bytes("second, longer"));
  EXPECT_EQ(ReadFileBytes(path), Bytes("second, longer"));
  WriteFileReplacing(path, {});
  EXPECT_TRUE(ReadFileBytes(path).empty());
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"表ソ.Alb"});
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
  EXPECT_FALSE(FileExists(dir.File("none")));
}

TEST(FileIo, ACopyOfTheOldFileIsPutAsideReplacingAnEarlierOne) {
  TempFolder dir;
  std::string path = dir.File("lib.Alb"), aside = path + ".bad";
  TempFolder::Write(path, Bytes("damaged"));
  TempFolder::Write(aside, Bytes("older"));
  WriteFileReplacing(path, Bytes("new"), aside);
  EXPECT_EQ(ReadFileBytes(aside), Bytes("damaged"));
  EXPECT_EQ(ReadFileBytes(path), Bytes("new"));
  // Nothing at the path: nothing to put aside, the earlier one stays.
  DeleteFileW(Wide(path).c_str());
  WriteFileReplacing(path, Bytes("newer"), aside);
  EXPECT_EQ(ReadFileBytes(aside), Bytes("damaged"));
  EXPECT_EQ(ReadFileBytes(path), Bytes("newer"));
}

TEST(FileIo, FailuresRaiseTheirMessagesAndLeaveTheOldFileUntouched) {
  TempFolder dir;
  std::string path = dir.File("lib.Alb");
  TempFolder::Write(path, Bytes("old"));
  // The old file is held open without sharing: it can be neither replaced nor put aside.
  HANDLE lock = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  try {
    WriteFileReplacing(path, Bytes("new"));
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "ファイル " + path + " を作成できません");
  }
  EXPECT_THROW(WriteFileReplacing(path, Bytes("new"), path + ".bad"), EFCreateError);
  try {
    ReadFileBytes(path);
    ADD_FAILURE() << "no failure";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "ファイル " + path + " は開けません");
  }
  CloseHandle(lock);
  EXPECT_EQ(ReadFileBytes(path), Bytes("old"));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"lib.Alb"});  // no temporary file is left

  EXPECT_THROW(ReadFileBytes(dir.File("missing")), EFOpenError);
  EXPECT_THROW(WriteFileReplacing(dir.File("no such folder\\lib.Alb"), Bytes("x")), EFCreateError);
  CreateDirectoryW(Wide(dir.File("folder")).c_str(), nullptr);
  EXPECT_THROW(WriteFileReplacing(dir.File("folder"), Bytes("x")), EFCreateError);
}

// The new file cannot be put in place after a copy of the old one was put aside: the old file
// is still at its path, as it was.
TEST(FileIo, TheOldFileStaysAtItsPathWhenTheNewOneCannotBePutInPlace) {
  TempFolder dir;
  std::string path = dir.File("lib.Alb"), aside = path + ".bad";
  TempFolder::Write(path, Bytes("old"));
  faults::PlacingsBeforeFailure = 1;  // the copy put aside, then the new file fails
  EXPECT_THROW(WriteFileReplacing(path, Bytes("new"), aside), EFCreateError);
  faults::PlacingsBeforeFailure = -1;
  EXPECT_EQ(TempFolder::Read(path), Bytes("old"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"lib.Alb", "lib.Alb.bad"}));
}

// A writer's temporary file is named after the file it replaces; one left by a writer that was
// stopped is removed, one a writer still holds stays, and nobody else's file is touched.
TEST(FileIo, StaleTemporaryFilesAreRemovedAndLiveOnesStay) {
  TempFolder dir;
  const std::string path = dir.File("Quiran.cf0");
  ReplacingFile live(path);
  live.Write(Bytes("live").data(), 4);
  std::vector<std::string> names = dir.Names();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("Quiran.cf0.~", 0), 0u) << names[0];
  for (const char* other : {"Quiran.cf0.~0badf00d.tmp", "Quiran.cf0.~zz.tmp", "qrn1F.tmp", "Quiran.cf0.bak",
                            "Cashfile.cfb.~0badf00d.tmp"})
    TempFolder::Write(dir.File(other), Bytes("x"));
  RemoveStaleTemporaries(path);
  names = dir.Names();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Quiran.cf0.~0badf00d.tmp"), 0);
  EXPECT_EQ(names.size(), 5u);  // the live one and the four that are not stale temporaries of this file
  live.Commit();
  EXPECT_EQ(ReadFileBytes(path), Bytes("live"));
  EXPECT_EQ(dir.Names().size(), 5u);
}
