// The program carries its version (from the VERSION file) in its version resource, which
// Windows shows in the file's properties and the installer's uninstall entry repeats.
#include <windows.h>

#include <gtest/gtest.h>

#include "win/text.h"

TEST(ProgramVersion, TheResourceCarriesTheVersionFromItsOnePlace) {
  const std::wstring exe = win::Wide(win::ExePath());
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041104B0\\ProductVersion", reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(win::Narrow(text), QUIRAN_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string dotted = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                             std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(dotted, QUIRAN_VERSION);
}
