// The settings file shared by the parts of the program, under Wine.
#include "win/settings_file.h"

#include <gtest/gtest.h>

#include "win/error.h"
#include "win/file_io.h"
#include "win/test_files.h"

using win::TempFolder;

namespace {
std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }
}  // namespace

TEST(SettingsFile, EachChangeIsMadeToTheFileAsItIsOnDisk) {
  TempFolder dir;
  const std::string path = dir.File("Quiran.ini");
  TSettingsFile window(path), plugins(path);
  EXPECT_FALSE(window.Read());
  // Nothing to write: no file is made.
  window.Update([](TIniText&) {});
  EXPECT_TRUE(dir.Names().empty());
  window.Update([](TIniText& ini) { ini.SetValue("Window", "Left", "10"); });
  // Another part, which read the file before that, changes its own key: both are kept.
  plugins.Update([](TIniText& ini) { ini.SetLines("UnusedFormats", {"a.spi\t*.a"}); });
  window.Update([](TIniText& ini) { ini.SetValue("Window", "Top", "20"); });
  EXPECT_EQ(Text(TempFolder::Read(path)), "[Window]\r\nLeft=10\r\nTop=20\r\n[UnusedFormats]\r\na.spi\t*.a\r\n");
  EXPECT_EQ(plugins.Read()->Value("Window", "Top"), "20");

  // A change that changes nothing writes nothing: the file keeps its own line endings.
  TempFolder::Write(path, Bytes("[Window]\nLeft=10\n"));
  window.Update([](TIniText& ini) { ini.SetValue("Window", "Left", "10"); });
  EXPECT_EQ(Text(TempFolder::Read(path)), "[Window]\nLeft=10\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.ini"});
}

TEST(SettingsFile, ADamagedFileIsKeptAsideAndALockedOneIsNotWrittenOver) {
  TempFolder dir;
  const std::string path = dir.File("Quiran.ini");
  const std::vector<std::uint8_t> damaged = {'[', 'U', 'n', 0xFF, 0x00};
  TempFolder::Write(path, damaged);
  TSettingsFile file(path);
  bool bad = false;
  EXPECT_FALSE(file.Read(&bad));
  EXPECT_TRUE(bad);
  file.Update([](TIniText& ini) { ini.SetValue("Window", "Left", "1"); });
  EXPECT_EQ(TempFolder::Read(path + ".bak"), damaged);
  EXPECT_EQ(Text(TempFolder::Read(path)), "[Window]\r\nLeft=1\r\n");

  // Open elsewhere without sharing: it cannot be read, so it is not written either.
  HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file.Read(&bad));
  EXPECT_FALSE(bad);
  EXPECT_THROW(file.Update([](TIniText& ini) { ini.SetValue("Window", "Left", "2"); }), EFOpenError);
  CloseHandle(h);
  EXPECT_EQ(file.Read()->Value("Window", "Left"), "1");
}
