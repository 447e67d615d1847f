// Small PNG, GIF, TIFF and ICO files for the tests of pictures read through Windows' codecs,
// written here byte by byte (uncompressed where the format allows) so that each test knows
// exactly what the file holds.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "win/pixel_buffer.h"

namespace wictest {

using Bytes = std::vector<std::uint8_t>;

inline void Be32(Bytes& b, std::uint32_t v) {
  b.insert(b.end(), {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                     static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}
inline void Le16(Bytes& b, unsigned v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
inline void Le32(Bytes& b, std::uint32_t v) { Le16(b, v & 0xFFFF), Le16(b, v >> 16); }

inline std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t c = 0xFFFFFFFF;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

inline void PngChunk(Bytes& png, std::string_view type, const Bytes& data) {
  Be32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type.begin(), type.end());
  png.insert(png.end(), data.begin(), data.end());
  Be32(png, Crc32(png.data() + start, png.size() - start));
}

// A PNG of 8-bit samples: colour type 2 (RGB), 6 (RGBA) or 3 (palette indices, with palette
// and alpha entries); rows hold the samples of each row, without the filter byte. The image
// data is zlib's stored (uncompressed) form.
inline Bytes Png(int w, int h, int colorType, const std::vector<Bytes>& rows, const Bytes& palette = {},
                 const Bytes& alpha = {}) {
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  Be32(ihdr, static_cast<std::uint32_t>(w)), Be32(ihdr, static_cast<std::uint32_t>(h));
  ihdr.insert(ihdr.end(), {8, static_cast<std::uint8_t>(colorType), 0, 0, 0});
  PngChunk(png, "IHDR", ihdr);
  if (!palette.empty()) PngChunk(png, "PLTE", palette);
  if (!alpha.empty()) PngChunk(png, "tRNS", alpha);
  Bytes raw;
  for (const Bytes& row : rows) raw.push_back(0), raw.insert(raw.end(), row.begin(), row.end());
  Bytes z = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
    z.push_back(at + n == raw.size() ? 1 : 0);
    Le16(z, static_cast<unsigned>(n)), Le16(z, static_cast<unsigned>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  Be32(z, b << 16 | a);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", {});
  return png;
}

// An RGB PNG of a picture (0x00BBGGRR pixels).
inline Bytes PngOf(const PixelBuffer& p) {
  std::vector<Bytes> rows;
  for (int y = 0; y < p.Height(); ++y) {
    Bytes row;
    for (int x = 0; x < p.Width(); ++x) {
      const std::uint32_t c = p.Pixel(x, y);
      row.insert(row.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)});
    }
    rows.push_back(std::move(row));
  }
  return Png(p.Width(), p.Height(), 2, rows);
}

// A GIF of palette indices (at most 256 colours, palette as RGB triples), with one
// transparent index or none (-1). The codes are 9 bits wide throughout: a clear code comes
// before the decoder's table would need wider ones.
inline Bytes Gif(int w, int h, const Bytes& indices, const Bytes& palette, int transparent = -1) {
  Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
  Le16(g, static_cast<unsigned>(w)), Le16(g, static_cast<unsigned>(h));
  g.insert(g.end(), {0xF7, 0, 0});  // a global table of 256 colours
  Bytes table = palette;
  table.resize(256 * 3, 0);
  g.insert(g.end(), table.begin(), table.end());
  if (transparent >= 0) g.insert(g.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(transparent), 0});
  g.push_back(0x2C);
  Le16(g, 0), Le16(g, 0), Le16(g, static_cast<unsigned>(w)), Le16(g, static_cast<unsigned>(h));
  g.push_back(0);
  g.push_back(8);  // the smallest code size
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  auto code = [&](unsigned c) {
    bits |= c << count;
    count += 9;
    while (count >= 8) data.push_back(static_cast<std::uint8_t>(bits)), bits >>= 8, count -= 8;
  };
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i % 250 == 0) code(256);
    code(indices[i]);
  }
  code(257);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    g.push_back(static_cast<std::uint8_t>(n));
    g.insert(g.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  g.push_back(0);
  g.push_back(0x3B);
  return g;
}

// An uncompressed little-endian RGB TIFF of a picture, in one strip.
inline Bytes Tiff(const PixelBuffer& p) {
  const std::uint32_t w = static_cast<std::uint32_t>(p.Width()), h = static_cast<std::uint32_t>(p.Height());
  const std::uint32_t entries = 9, ifd = 8, bits = ifd + 2 + entries * 12 + 4, strip = bits + 6;
  Bytes t = {'I', 'I', 42, 0};
  Le32(t, ifd);
  Le16(t, entries);
  auto entry = [&](unsigned tag, unsigned type, std::uint32_t n, std::uint32_t value) {
    Le16(t, tag), Le16(t, type), Le32(t, n), Le32(t, value);
  };
  entry(256, 4, 1, w);                // ImageWidth
  entry(257, 4, 1, h);                // ImageLength
  entry(258, 3, 3, bits);             // BitsPerSample 8, 8, 8
  entry(259, 3, 1, 1);                // no compression
  entry(262, 3, 1, 2);                // RGB
  entry(273, 4, 1, strip);            // StripOffsets
  entry(277, 3, 1, 3);                // SamplesPerPixel
  entry(278, 4, 1, h);                // RowsPerStrip
  entry(279, 4, 1, w * h * 3);        // StripByteCounts
  Le32(t, 0);
  Le16(t, 8), Le16(t, 8), Le16(t, 8);
  for (int y = 0; y < p.Height(); ++y)
    for (int x = 0; x < p.Width(); ++x) {
      const std::uint32_t c = p.Pixel(x, y);
      t.insert(t.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)});
    }
  return t;
}

// An icon file holding one opaque 32-bit image of each given size, each of one colour
// (0x00BBGGRR).
inline Bytes Ico(const std::vector<std::pair<int, std::uint32_t>>& images) {
  Bytes ico;
  Le16(ico, 0), Le16(ico, 1), Le16(ico, static_cast<unsigned>(images.size()));
  std::vector<Bytes> bodies;
  for (auto [side, color] : images) {
    Bytes b;
    Le32(b, 40), Le32(b, static_cast<std::uint32_t>(side)), Le32(b, static_cast<std::uint32_t>(side * 2));
    Le16(b, 1), Le16(b, 32);
    for (int i = 0; i < 6; ++i) Le32(b, 0);
    for (int i = 0; i < side * side; ++i)
      b.insert(b.end(), {static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
                         static_cast<std::uint8_t>(color), 0xFF});
    b.insert(b.end(), static_cast<std::size_t>((side + 31) / 32 * 4 * side), 0);  // the mask: all shown
    bodies.push_back(std::move(b));
  }
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int side = images[i].first;
    ico.insert(ico.end(), {static_cast<std::uint8_t>(side == 256 ? 0 : side), static_cast<std::uint8_t>(side == 256 ? 0 : side), 0, 0});
    Le16(ico, 1), Le16(ico, 32), Le32(ico, static_cast<std::uint32_t>(bodies[i].size())), Le32(ico, offset);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const Bytes& b : bodies) ico.insert(ico.end(), b.begin(), b.end());
  return ico;
}

}  // namespace wictest
