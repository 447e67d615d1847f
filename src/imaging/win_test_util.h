// Helpers for the Windows-side picture and plug-in tests: a temporary folder, files in it,
// PPM pictures and the test plug-ins built beside win_tests.exe.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/spi.h"
#include "win/handle.h"
#include "win/sjis.h"
#include "win/test_files.h"
#include "win/text.h"

namespace imgtest {

using Bytes = std::vector<std::uint8_t>;

// The test plug-ins the tests use: by default this build's own (testplugins\ beside the
// test program, named as this build's plug-ins are: *.spi for 32-bit, *.sph for 64-bit). The
// 64-bit build also has the 32-bit ones, built beside it in i686\testplugins\ (*.spi), for
// the tests of a 64-bit Quiran using 32-bit plug-ins.
struct PluginSet {
  std::string Dir, Ext;
};
inline PluginSet OwnPlugins() {
#ifdef _WIN64
  return {std::string(sjis::ExtractFilePath(win::ExePath())) + "testplugins\\", ".sph"};
#else
  return {std::string(sjis::ExtractFilePath(win::ExePath())) + "testplugins\\", ".spi"};
#endif
}
inline PluginSet Plugins32() { return {std::string(sjis::ExtractFilePath(win::ExePath())) + "i686\\testplugins\\", ".spi"}; }
inline PluginSet& CurrentPlugins() {
  static PluginSet set = OwnPlugins();
  return set;
}
// Uses another set of test plug-ins while it lives.
class UsePlugins {
 public:
  explicit UsePlugins(PluginSet set) : old_(CurrentPlugins()) { CurrentPlugins() = std::move(set); }
  ~UsePlugins() { CurrentPlugins() = old_; }
  UsePlugins(const UsePlugins&) = delete;
  UsePlugins& operator=(const UsePlugins&) = delete;

 private:
  PluginSet old_;
};
inline const std::string& PluginExt() { return CurrentPlugins().Ext; }

// True where 32-bit programs run translated by qemu (Linux hands them to qemu-i386, as where
// the kernel refuses 32-bit code; seen through Wine's drive Z:). qemu raises no floating-point
// exceptions, unmasked or not: a 32-bit division by zero there just gives infinity.
inline bool ThirtyTwoBitTranslated() {
  HANDLE f = CreateFileW(L"Z:\\proc\\sys\\fs\\binfmt_misc\\qemu-i386", GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  char text[8] = {};
  DWORD n = 0;
  const bool read = ReadFile(f, text, sizeof text - 1, &n, nullptr);
  CloseHandle(f);
  return read && std::string(text, n).rfind("enabled", 0) == 0;
}

// Where the plug-in tests run their plug-ins: in the helper of this build's kind (as Quiran
// does by default), inside the test program, and in a 64-bit build also the 32-bit test
// plug-ins in the 32-bit helper.
enum class Where { Helper, InProcess, Helper32 };
inline std::vector<Where> Placements() {
#ifdef _WIN64
  return {Where::Helper, Where::InProcess, Where::Helper32};
#else
  return {Where::Helper, Where::InProcess};
#endif
}
inline std::string PlacementName(const testing::TestParamInfo<Where>& info) {
  return info.param == Where::Helper ? "Helper" : info.param == Where::InProcess ? "InProcess" : "Helper32";
}
// Places plug-ins there while it lives; afterwards they run in the helper again.
class PlaceAt {
 public:
  explicit PlaceAt(Where where) : plugins_(where == Where::Helper32 ? Plugins32() : OwnPlugins()) {
    SetSPIPlacement(where == Where::InProcess ? TSPIPlacement::InProcess : TSPIPlacement::Helper);
  }
  ~PlaceAt() { SetSPIPlacement(TSPIPlacement::Helper); }
  PlaceAt(const PlaceAt&) = delete;
  PlaceAt& operator=(const PlaceAt&) = delete;

 private:
  UsePlugins plugins_;
};
inline const std::string& PluginDir() { return CurrentPlugins().Dir; }
inline std::string Plugin(const std::string& kind) { return PluginDir() + kind + PluginExt(); }

// A fresh empty folder under the temporary directory, removed with its files afterwards.
// Its path ends with a backslash, so file names can be appended directly.
class TempDir : public win::TempFolder {
 public:
  TempDir() : path_(win::TempFolder::Path() + "\\") {}
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name, const Bytes& bytes) const {
    Write(path_ + name, bytes);
    return path_ + name;
  }
  std::string CopyPlugin(const std::string& kind, const std::string& as = "") const {
    std::string to = path_ + (as.empty() ? kind + PluginExt() : as);
    CopyFileW(win::Wide(Plugin(kind)).c_str(), win::Wide(to).c_str(), FALSE);
    return to;
  }

 private:
  std::string path_;
};

// A P6 picture whose pixel (x, y) has red x*10, green y*10, blue 200.
inline Bytes Ppm(int w, int h) {
  std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes b(head.begin(), head.end());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.insert(b.end(), {std::uint8_t(x * 10), std::uint8_t(y * 10), 200});
  return b;
}
inline std::uint32_t PpmColor(int x, int y) { return std::uint32_t(x * 10) | std::uint32_t(y * 10) << 8 | 200u << 16; }

// The calls a test plug-in noted in its log file (the library's path with ".log"), and the
// log emptied: wherever the library runs, in this process or in a helper.
inline std::string PluginLog(const std::string& path) {
  std::vector<std::uint8_t> bytes = win::TempFolder::Read(path + ".log");
  return std::string(bytes.begin(), bytes.end());
}
inline void ResetPluginLog(const std::string& path) { DeleteFileW(win::Wide(path + ".log").c_str()); }

// A function a test plug-in exports for the tests themselves (loaded while the result lives).
template <class F>
F PluginExport(const win::Module& m, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

}  // namespace imgtest
