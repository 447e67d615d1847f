#include "imaging/exif_orientation.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> enabled{true};

// The orientation tag of IFD0 of a TIFF structure (an Exif block's body), or 1. Offsets inside
// it are 32-bit; the arithmetic is 64-bit so that none wraps on a 32-bit system.
int TiffOrientation(const std::uint8_t* t, std::uint64_t n) {
  if (n < 8) return 1;
  const bool little = t[0] == 'I' && t[1] == 'I';
  if (!little && !(t[0] == 'M' && t[1] == 'M')) return 1;
  auto u16 = [&](std::uint64_t at) {
    return static_cast<unsigned>(little ? t[at] | t[at + 1] << 8 : t[at] << 8 | t[at + 1]);
  };
  auto u32 = [&](std::uint64_t at) {
    return static_cast<std::uint64_t>(u16(little ? at + 2 : at)) << 16 | u16(little ? at : at + 2);
  };
  if (u16(2) != 42) return 1;
  const std::uint64_t ifd = u32(4);
  if (ifd + 2 > n) return 1;
  const unsigned count = u16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    const std::uint64_t e = ifd + 2 + 12 * static_cast<std::uint64_t>(i);
    if (e + 12 > n) return 1;
    if (u16(e) != 0x0112) continue;
    // One SHORT, held in the first two bytes of the value field.
    if (u16(e + 2) != 3 || u32(e + 4) != 1) return 1;
    const unsigned v = u16(e + 8);
    return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
  }
  return 1;
}

}  // namespace

int JpegExifOrientation(const std::uint8_t* d, std::size_t n) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return 1;
  std::size_t p = 2;
  while (p + 4 <= n) {
    if (d[p] != 0xFF) return 1;  // not a marker where one must be: damaged
    const std::uint8_t m = d[p + 1];
    if (m == 0xFF) {  // a fill byte before a marker
      ++p;
      continue;
    }
    if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {  // markers without a length
      p += 2;
      continue;
    }
    if (m == 0xDA || m == 0xD9) return 1;  // the picture data begins: no Exif block before it
    const std::size_t length = static_cast<std::size_t>(d[p + 2]) << 8 | d[p + 3];
    if (length < 2 || length > n - p - 2) return 1;
    const std::uint8_t* body = d + p + 4;
    const std::size_t size = length - 2;
    // The first Exif block counts; other APP1 blocks (XMP) are passed over.
    if (m == 0xE1 && size >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0) return TiffOrientation(body + 6, size - 6);
    p += 2 + length;
  }
  return 1;
}

bool ExifOrientationEnabled() { return enabled.load(std::memory_order_relaxed); }
void SetExifOrientationEnabled(bool on) { enabled.store(on, std::memory_order_relaxed); }

int AppliedOrientation(const std::uint8_t* data, std::size_t size) {
  return ExifOrientationEnabled() ? JpegExifOrientation(data, size) : 1;
}

PixelBuffer OrientPixels(PixelBuffer src, int orientation) {
  if (orientation < 2 || orientation > 8 || src.Empty()) return src;
  const int w = src.Width(), h = src.Height();
  const std::ptrdiff_t stride = src.Stride(), lastRow = (h - 1) * stride, lastColumn = (w - 1) * 3;
  // Seen pixel (x, y) is the stored pixel at byte base + x * stepX + y * stepY.
  std::ptrdiff_t base = 0, stepX = 3, stepY = stride;
  switch (orientation) {
    case 2: base = lastColumn, stepX = -3, stepY = stride; break;
    case 3: base = lastRow + lastColumn, stepX = -3, stepY = -stride; break;
    case 4: base = lastRow, stepX = 3, stepY = -stride; break;
    case 5: base = 0, stepX = stride, stepY = 3; break;
    case 6: base = lastRow, stepX = -stride, stepY = 3; break;
    case 7: base = lastRow + lastColumn, stepX = -stride, stepY = -3; break;
    case 8: base = lastColumn, stepX = stride, stepY = -3; break;
  }
  PixelBuffer dst = SwapsSides(orientation) ? PixelBuffer(h, w) : PixelBuffer(w, h);
  // In tiles: a quarter turn reads the stored picture down its columns, and a tile's columns
  // stay in the cache while its rows are written.
  constexpr int kTile = 64;
  for (int y0 = 0; y0 < dst.Height(); y0 += kTile)
    for (int x0 = 0; x0 < dst.Width(); x0 += kTile) {
      const int y1 = std::min(y0 + kTile, dst.Height()), x1 = std::min(x0 + kTile, dst.Width());
      for (int y = y0; y < y1; ++y) {
        std::uint8_t* out = dst.Row(y) + x0 * 3;
        std::ptrdiff_t at = base + x0 * stepX + y * stepY;
        for (int x = x0; x < x1; ++x, out += 3, at += stepX) {
          const std::uint8_t* in = src.Data() + at;
          out[0] = in[0], out[1] = in[1], out[2] = in[2];
        }
      }
    }
  return dst;
}
