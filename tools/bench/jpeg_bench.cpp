// Times Quiran's JPEG load (file to 24-bit pixels, the way thumbnails and the viewer load a
// picture) against libjpeg-turbo's own djpeg decoding the same file to BMP, interleaved in one
// run, and prints both figures and their ratio.
//
//   jpeg_bench <picture.jpg> <djpeg.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/graphics.h"
#include "imaging/jpeg_image.h"
#include "win/error.h"
#include "win/text.h"

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs djpeg to write a BMP; answers its wall time from process start to exit.
double RunDjpeg(const std::wstring& djpeg, const std::wstring& jpeg, const std::wstring& bmp) {
  std::wstring cmd = L"\"" + djpeg + L"\" -bmp -outfile \"" + bmp + L"\" \"" + jpeg + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  double start = Now();
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    throw Exception("djpeg を起動できません: " + win::LastErrorText());
  WaitForSingleObject(pi.hProcess, INFINITE);
  double elapsed = Now() - start;
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (code != 0) throw Exception("djpeg が失敗しました");
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: jpeg_bench picture.jpg djpeg.exe [runs]\n");
    return 2;
  }
  const std::string jpeg = win::Narrow(argv[1]);
  const std::wstring djpeg = argv[2], bmp = std::wstring(argv[1]) + L".djpeg.bmp";
  const int runs = argc > 3 ? _wtoi(argv[3]) : 7;
  try {
    std::vector<double> ours, theirs;
    int width = 0, height = 0;
    // One untimed round of each warms the file cache and the loader.
    LoadPictureFile(jpeg);
    RunDjpeg(djpeg, argv[1], bmp);
    for (int i = 0; i < runs; ++i) {
      double start = Now();
      PixelBuffer pixels = LoadPictureFile(jpeg);
      ours.push_back(Now() - start);
      width = pixels.Width(), height = pixels.Height();
      theirs.push_back(RunDjpeg(djpeg, argv[1], bmp));
    }
    // djpeg's own start-up under Wine, from a tiny picture of the same kind.
    std::vector<std::uint8_t> tinyJpeg = EncodeJpeg(PixelBuffer(8, 8), 90);
    const std::wstring tiny = std::wstring(argv[1]) + L".tiny.jpg";
    HANDLE h = CreateFileW(tiny.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, tinyJpeg.data(), static_cast<DWORD>(tinyJpeg.size()), &written, nullptr);
    CloseHandle(h);
    std::vector<double> starts;
    for (int i = 0; i < runs; ++i) starts.push_back(RunDjpeg(djpeg, tiny, bmp));
    const double startup = Median(starts);
    DeleteFileW(tiny.c_str());
    DeleteFileW(bmp.c_str());
    double a = Median(ours), b = Median(theirs);
    std::printf("picture: %d x %d, %d runs each, medians\n", width, height, runs);
    std::printf("Quiran LoadPictureFile to 24-bit pixels: %8.1f ms\n", a * 1000);
    std::printf("djpeg -bmp to a BMP file:                %8.1f ms\n", b * 1000);
    std::printf("djpeg on an 8 x 8 picture (start-up):     %8.1f ms\n", startup * 1000);
    std::printf("ratio without djpeg's start-up: %.3f\n", a / std::max(b - startup, 1e-6));
    std::printf("ratio (Quiran / djpeg): %.3f (target <= 1.15)\n", a / b);
    return a / b <= 1.15 ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
