// Helpers for the Windows-side picture and plug-in tests: a temporary folder, files in it,
// PPM pictures and the test plug-ins built beside win_tests.exe.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/handle.h"
#include "win/sjis.h"
#include "win/test_files.h"
#include "win/text.h"

namespace imgtest {

using Bytes = std::vector<std::uint8_t>;

// The folder of the test plug-ins (testplugins\ beside the test program), named as this
// build's plug-ins are: *.spi for 32-bit, *.sph for 64-bit.
#ifdef _WIN64
inline const std::string kPluginExt = ".sph";
#else
inline const std::string kPluginExt = ".spi";
#endif
inline std::string PluginDir() { return std::string(sjis::ExtractFilePath(win::ExePath())) + "testplugins\\"; }
inline std::string Plugin(const std::string& kind) { return PluginDir() + kind + kPluginExt; }

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
    std::string to = path_ + (as.empty() ? kind + kPluginExt : as);
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

// The call log of a loaded test plug-in.
inline std::string PluginLog(const std::string& path) {
  HMODULE m = GetModuleHandleW(win::Wide(path).c_str());
  if (!m) return "(not loaded)";
  auto log = reinterpret_cast<int(WINAPI*)(char*, int)>(reinterpret_cast<void (*)()>(GetProcAddress(m, "TestLog")));
  if (!log) return "(no log)";
  char buf[4096] = {};
  log(buf, sizeof buf);
  return buf;
}
inline void ResetPluginLog(const std::string& path) {
  HMODULE m = GetModuleHandleW(win::Wide(path).c_str());
  auto reset = m ? reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void (*)()>(GetProcAddress(m, "TestReset"))) : nullptr;
  if (reset) reset();
}

// A function a test plug-in exports for the tests themselves (loaded while the result lives).
template <class F>
F PluginExport(const win::Module& m, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

}  // namespace imgtest
