// Whole-file reading and crash-safe replacing, under Wine, in a folder whose name holds
// double-byte characters with a "\" trail byte (表, ソ).
#include "win/file_io.h"

#include <gtest/gtest.h>

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

TEST(FileIo, OldFileIsPutAsideReplacingAnEarlierOne) {
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
