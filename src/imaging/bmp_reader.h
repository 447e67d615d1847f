// The plain bitmap's own BMP reader: a BMP file image in memory becomes a 24-bit PixelBuffer.
// Every length and count in the file is checked against the bytes actually present, so a
// malformed file gives EInvalidGraphic and never a read or an allocation beyond what it holds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "win/pixel_buffer.h"

// Pictures larger than this many pixels are refused: a header may claim any size, and the
// 24-bit buffer for it must fit in a 32-bit process.
constexpr std::int64_t kMaxPicturePixels = 100'000'000;
constexpr std::int64_t kMaxPictureSide = 65535;

struct BmpImage {
  PixelBuffer Pixels;
  int BitCount = 0;                      // bits per pixel as stored in the file
  std::vector<std::uint32_t> ColorTable;  // the file's colour table as 0x00BBGGRR, in order
};

// Reads a whole BMP file image (the 14-byte file header first). Throws EInvalidGraphic.
BmpImage ReadBmp(const std::uint8_t* data, std::size_t size);
