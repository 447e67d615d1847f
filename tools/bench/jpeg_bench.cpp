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

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "bench_clock.h"
#include "imaging/graphics.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"

namespace {

// The plain decode: read the file, decode it with the defaults into one RGB buffer. The
// library's own error handling (a message and exit) is enough for a known-good picture.
std::vector<std::uint8_t> PlainDecode(const std::string& file, int& width, int& height) {
  std::vector<std::uint8_t> data = win::ReadFileBytes(file);
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
  std::vector<std::uint8_t> pixels(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  return pixels;
}

}  // namespace

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
