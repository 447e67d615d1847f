// Builds BMP file images and plug-in style BITMAPINFO blocks for the tests.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace bmptest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, unsigned v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
inline void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BITMAPINFOHEADER of headerSize bytes (40, or longer with zero fill), then the table.
inline Bytes InfoHeader(std::int32_t w, std::int32_t h, int bits, std::uint32_t compression = 0,
                        std::uint32_t clrUsed = 0, std::uint32_t headerSize = 40) {
  Bytes b;
  Put32(b, headerSize);
  Put32(b, static_cast<std::uint32_t>(w));
  Put32(b, static_cast<std::uint32_t>(h));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, compression);
  Put32(b, 0);
  Put32(b, 2835), Put32(b, 2835);
  Put32(b, clrUsed);
  Put32(b, 0);
  b.resize(headerSize, 0);
  return b;
}

// A whole BMP file: file header, info (header plus table or masks), pixel bytes.
inline Bytes File(const Bytes& info, const Bytes& pixels) {
  Bytes b{'B', 'M'};
  Put32(b, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
  Put32(b, 0);
  Put32(b, static_cast<std::uint32_t>(14 + info.size()));
  b.insert(b.end(), info.begin(), info.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Colour-table entries (blue, green, red, 0) from 0x00BBGGRR colours.
inline Bytes Table(std::initializer_list<std::uint32_t> colors) {
  Bytes b;
  for (std::uint32_t c : colors) b.push_back((c >> 16) & 0xFF), b.push_back((c >> 8) & 0xFF), b.push_back(c & 0xFF), b.push_back(0);
  return b;
}

}  // namespace bmptest
