// Times Quiran's JPEG load (file to 24-bit pixels, the way thumbnails and the viewer load a
// picture) against a plain in-process libjpeg-turbo decode of the same file into a buffer (the
// file read into memory, the library's default settings), with the same library build,
// interleaved in one run, and prints both figures and their ratio.
//
//   jpeg_bench <picture.jpg> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "imaging/graphics.h"
#include "plain_decode.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: jpeg_bench picture.jpg [runs]\n");
    return 2;
  }
  const std::string jpeg = win::Narrow(argv[1]);
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  try {
    std::vector<double> ours, plain;
    int width = 0, height = 0, plainWidth = 0, plainHeight = 0;
    // One untimed round of each warms the file cache and the allocator.
    LoadPictureFile(jpeg);
    PlainDecode(jpeg, plainWidth, plainHeight);
    for (int i = 0; i < runs; ++i) {
      double start = Now();
      PixelBuffer pixels = LoadPictureFile(jpeg);
      ours.push_back(Now() - start);
      width = pixels.Width(), height = pixels.Height();
      start = Now();
      std::vector<std::uint8_t> rows = PlainDecode(jpeg, plainWidth, plainHeight);
      plain.push_back(Now() - start);
    }
    if (width != plainWidth || height != plainHeight) throw Exception("画像の大きさが一致しません");
    const double a = Median(ours), b = Median(plain);
    std::printf("picture: %d x %d, %d runs each, medians\n", width, height, runs);
    std::printf("Quiran LoadPictureFile to 24-bit pixels:      %8.1f ms\n", a * 1000);
    std::printf("plain libjpeg-turbo decode, file to buffer:   %8.1f ms\n", b * 1000);
    std::printf("ratio (Quiran / plain): %.3f (target <= 1.15)\n", a / b);
    return a / b <= 1.15 ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
