// Exif blocks for tests: a TIFF structure whose first directory holds the orientation tag,
// and the markers of a JPEG around it.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "win/pixel_buffer.h"

namespace exiftest {

// The pixels a camera stores for a picture as the photographer saw it, under each orientation,
// built from the tag's own definition: which side of the scene stored row 0 and column 0 show.
inline PixelBuffer Stored(const PixelBuffer& seen, int orientation) {
  enum Side { Top, Bottom, Left, Right };
  static const Side row0[] = {Top, Top, Top, Bottom, Bottom, Left, Right, Right, Left};
  static const Side column0[] = {Left, Left, Right, Right, Left, Top, Top, Bottom, Bottom};
  const Side r = row0[orientation], c = column0[orientation];
  const int W = seen.Width(), H = seen.Height();
  const bool rowsAreColumns = r == Left || r == Right;
  PixelBuffer stored(rowsAreColumns ? H : W, rowsAreColumns ? W : H);
  for (int sy = 0; sy < stored.Height(); ++sy)
    for (int sx = 0; sx < stored.Width(); ++sx) {
      const int X = rowsAreColumns ? (r == Left ? sy : W - 1 - sy) : (c == Left ? sx : W - 1 - sx);
      const int Y = rowsAreColumns ? (c == Top ? sx : H - 1 - sx) : (r == Top ? sy : H - 1 - sy);
      stored.SetPixel(sx, sy, seen.Pixel(X, Y));
    }
  return stored;
}

// Colours (0x00BBGGRR) alike within what JPEG compression changes of a flat area.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 40) {
  for (int s = 0; s < 24; s += 8) {
    const int d = static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// A picture of four flat quarters, red, green, blue and white from the top left, clockwise:
// which way it is turned survives JPEG compression.
inline PixelBuffer Quarters(int w, int h) {
  PixelBuffer p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.SetPixel(x, y, y < h / 2 ? (x < w / 2 ? 0x0000FF : 0x00FF00) : (x < w / 2 ? 0xFFFFFF : 0xFF0000));
  return p;
}

// "Exif\0\0" and a TIFF structure in either byte order whose IFD0 holds the given tags (with
// value 0) and then the orientation tag, each a SHORT.
inline std::vector<std::uint8_t> Exif(int orientation, bool little, std::initializer_list<int> before = {}) {
  std::vector<std::uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](unsigned v) {
    if (little) b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    else b.insert(b.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
  };
  auto u32 = [&](unsigned v) {
    if (little) u16(v & 0xFFFF), u16(v >> 16);
    else u16(v >> 16), u16(v & 0xFFFF);
  };
  b.insert(b.end(), little ? std::initializer_list<std::uint8_t>{'I', 'I'} : std::initializer_list<std::uint8_t>{'M', 'M'});
  u16(42);
  u32(8);
  u16(static_cast<unsigned>(before.size()) + 1);
  auto entry = [&](int tag, int value) {
    u16(static_cast<unsigned>(tag));
    u16(3);  // SHORT
    u32(1);
    u16(static_cast<unsigned>(value));
    u16(0);
  };
  for (int tag : before) entry(tag, 0);
  entry(0x0112, orientation);
  u32(0);  // no next directory
  return b;
}

inline void AddSegment(std::vector<std::uint8_t>& jpeg, std::uint8_t marker, const std::vector<std::uint8_t>& body) {
  const std::size_t n = body.size() + 2;
  jpeg.insert(jpeg.end(), {0xFF, marker, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  jpeg.insert(jpeg.end(), body.begin(), body.end());
}

// The markers of a JPEG up to the start of its picture data, with the Exif block.
inline std::vector<std::uint8_t> JpegWithExif(const std::vector<std::uint8_t>& exif) {
  std::vector<std::uint8_t> jpeg = {0xFF, 0xD8};
  AddSegment(jpeg, 0xE1, exif);
  jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x02});
  return jpeg;
}

// A whole JPEG with the Exif block put in right after its start marker.
inline std::vector<std::uint8_t> WithExif(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& exif) {
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  AddSegment(out, 0xE1, exif);
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

}  // namespace exiftest
