// Times loading a 3000 x 2000 picture through a plug-in in its helper process against the
// same plug-in inside the program (file to 24-bit pixels, the way thumbnails and the viewer
// load a picture), interleaved in one run, and the helper's first start. In a 64-bit build
// the 32-bit plug-in through the 32-bit helper is timed as well. Each comparison says whether
// the plug-in read the file itself (given its name) in every load; a 32-bit build says when
// it runs emulated.
//
//   spihost_bench <folder for the picture> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/spi_bitmap.h"
#include "imaging/spi_host.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/sjis.h"
#include "win/text.h"

#include "bench_clock.h"

namespace {

// Milliseconds from the benchmarks' clock.
double NowMs() { return Now() * 1000.0; }

// A photo-like P6 picture: smooth colour with fine noise.
std::vector<std::uint8_t> Picture(int w, int h) {
  std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  std::vector<std::uint8_t> b(head.begin(), head.end());
  b.reserve(b.size() + static_cast<std::size_t>(w) * h * 3);
  std::uint32_t seed = 7;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int n = static_cast<int>(seed >> 28) - 8;
      b.push_back(static_cast<std::uint8_t>(std::clamp(x * 255 / w + n, 0, 255)));
      b.push_back(static_cast<std::uint8_t>(std::clamp(y * 255 / h + n, 0, 255)));
      b.push_back(static_cast<std::uint8_t>(std::clamp((x + y) * 255 / (w + h) + n, 0, 255)));
    }
  return b;
}

std::unique_ptr<TSPI> Open(const std::string& plugin, TSPIPlacement where) {
  SetSPIPlacement(where);
  std::unique_ptr<TSPI> spi = CreateSPI(plugin);
  SetSPIPlacement(TSPIPlacement::Helper);
  if (!spi || !dynamic_cast<TInSPI*>(spi.get())) throw Exception(plugin + ": プラグインを読み込めません");
  return spi;
}

// One load of the picture through that plug-in alone; answers the time in milliseconds.
double Load(TSPI& spi, const std::string& file, int w, int h) {
  TSPIBitmap bitmap;
  bitmap.SPI = static_cast<TInSPI*>(&spi);
  const double start = NowMs();
  bitmap.LoadFromFile(file);
  const double took = NowMs() - start;
  if (bitmap.Width() != w || bitmap.Height() != h) throw Exception("画像の大きさが違います");
  return took;
}

// True when the plug-in's log (beside it) shows it was given the file's name (file mode)
// rather than the bytes; the log is emptied.
bool ReadTheFileItself(const std::string& plugin) {
  const std::string log = plugin + ".log";
  std::string text;
  try {
    std::vector<std::uint8_t> bytes = win::ReadFileBytes(log);
    text.assign(bytes.begin(), bytes.end());
  } catch (const Exception&) {
  }
  DeleteFileW(win::Wide(log).c_str());
  return text.find("GetPicture(0,0);File(") != std::string::npos && text.find(",1);") == std::string::npos;
}

// True where this 32-bit program runs translated by qemu (as on machines whose kernel refuses
// 32-bit code): its figures are then no speeds, though the ratio within the run still compares.
bool Emulated() {
  if (sizeof(void*) != 4) return false;
  win::File f(CreateFileW(L"Z:\\proc\\sys\\fs\\binfmt_misc\\qemu-i386", GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, 0, nullptr));
  if (f.Get() == INVALID_HANDLE_VALUE) {
    f.Detach();
    return false;
  }
  char text[8] = {};
  DWORD n = 0;
  return ReadFile(f, text, sizeof text - 1, &n, nullptr) && std::string(text, n).rfind("enabled", 0) == 0;
}

// Times both ways, interleaved; prints the medians and answers their ratio.
double Compare(const char* what, TSPI& helper, TSPI& inside, const std::string& file, int w, int h, int runs) {
  Load(helper, file, w, h);  // warm: the shared block has its size, the file is cached
  Load(inside, file, w, h);
  std::vector<double> a, b;
  for (int i = 0; i < runs; ++i) {
    a.push_back(Load(helper, file, w, h));
    b.push_back(Load(inside, file, w, h));
  }
  const double ma = Median(a), mb = Median(b);
  std::printf("%s\n", what);
  std::printf("  plug-in in its helper (warm):  %8.1f ms\n", ma);
  std::printf("  plug-in inside the program:    %8.1f ms\n", mb);
  std::printf("  ratio (helper / inside): %.3f (target <= 1.10)%s\n", ma / mb,
              Emulated() ? ", 32-bit code emulated by qemu here" : "");
  return ma / mb;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: spihost_bench folder [runs]\n");
    return 2;
  }
  const std::string folder = win::Narrow(argv[1]);
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 9;
  const int w = 3000, h = 2000;
  try {
    InitPictureFormats();
    const std::string file = folder + "\\bench3000x2000.ppm";
    const std::vector<std::uint8_t> bytes = Picture(w, h);
    win::WriteFileReplacing(file, {bytes.data(), bytes.size()}, std::string());
    const std::string here(sjis::ExtractFilePath(win::ExePath()));
#ifdef _WIN64
    const std::string own = here + "testplugins\\ppm.sph";
    const TSPIHost::Kind ownKind = TSPIHost::k64Bit;
#else
    const std::string own = here + "testplugins\\ppm.spi";
    const TSPIHost::Kind ownKind = TSPIHost::k32Bit;
#endif
    std::printf("picture: %d x %d, %zu bytes (P6), %d runs each, medians\n", w, h, bytes.size(), runs);

    // The first start: a helper started, the plug-in loaded and asked for its formats, the
    // first picture read by a helper that has just started.
    double start = NowMs();
    std::unique_ptr<TSPI> helper = Open(own, TSPIPlacement::Helper);
    const double opened = NowMs() - start;
    const double first = Load(*helper, file, w, h);
    std::printf("helper's first start: %.1f ms to its first answer; plug-in loaded and its formats read after %.1f ms; "
                "first picture %.1f ms\n",
                TSPIHost::Of(ownKind).LastStartMs(), opened, first);

    std::unique_ptr<TSPI> inside = Open(own, TSPIPlacement::InProcess);
    ReadTheFileItself(own);
    const double ratio = Compare("this build's plug-in:", *helper, *inside, file, w, h, runs);
    std::printf("  the plug-in read the file itself in every load (given its name): %s\n", ReadTheFileItself(own) ? "yes" : "NO");
#ifdef _WIN64
    // 32-bit plug-ins have no inside way here: the 32-bit helper's figures stand beside the
    // 64-bit plug-in's inside the program.
    start = NowMs();
    const std::string plugin32 = here + "i686\\testplugins\\ppm.spi";
    std::unique_ptr<TSPI> helper32 = Open(plugin32, TSPIPlacement::Helper);
    std::printf("32-bit helper's first start: %.1f ms to its first answer, plug-in loaded after %.1f ms\n",
                TSPIHost::Of(TSPIHost::k32Bit).LastStartMs(), NowMs() - start);
    ReadTheFileItself(plugin32);
    Compare("32-bit plug-in in the 32-bit helper, against the 64-bit one inside:", *helper32, *inside, file, w, h, runs);
    std::printf("  the 32-bit plug-in read the file itself in every load: %s\n", ReadTheFileItself(plugin32) ? "yes" : "NO");
#endif
    DeleteFileW(win::Wide(file).c_str());
    return ratio <= 1.10 ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
