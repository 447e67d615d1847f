// The benchmarks' reference: a plain in-process libjpeg-turbo decode of a file, with the
// library's default settings, into one RGB buffer.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include "win/file_io.h"

// Reads the file and decodes it. The library's own error handling (a message and exit) is
// enough for a known-good picture.
inline std::vector<std::uint8_t> PlainDecode(const std::string& file, int& width, int& height) {
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
