#include "imaging/bmp_reader.h"

#include <cstring>

#include "win/error.h"

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

[[noreturn]] void Bad() { throw EInvalidGraphic("ビットマップの形式が正しくありません"); }

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// One colour component described by a bit mask: where it sits and how many bits it has.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) m >>= 1, ++shift;
    while (m & 1) m >>= 1, ++bits;
    if (m) Bad();  // the set bits are not one run
  }
  std::uint8_t Get(std::uint32_t px) const {
    if (!bits) return 0;
    std::uint32_t v = (px & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
};

void Put(PixelBuffer& out, int x, int y, std::uint32_t bgr) {
  std::uint8_t* p = out.Row(y) + x * 3;
  p[0] = static_cast<std::uint8_t>(bgr >> 16);
  p[1] = static_cast<std::uint8_t>(bgr >> 8);
  p[2] = static_cast<std::uint8_t>(bgr);
}

std::uint32_t Lookup(const std::vector<std::uint32_t>& table, unsigned index) {
  return index < table.size() ? table[index] : 0;  // an index past the table draws black
}

// Run-length data, 4 or 8 bits per pixel; rows run bottom-up. Runs past a row's end are
// clipped; a jump past the picture or data that ends early is an error.
void DecodeRle(const std::uint8_t* p, std::size_t n, int bits, const std::vector<std::uint32_t>& table,
               PixelBuffer& out) {
  const int w = out.Width(), h = out.Height();
  std::int64_t x = 0, y = 0;  // y counts from the bottom row
  auto plot = [&](unsigned index) {
    if (x < w && y < h) Put(out, static_cast<int>(x), static_cast<int>(h - 1 - y), Lookup(table, index));
    ++x;
  };
  std::size_t i = 0;
  for (;;) {
    if (y >= h) return;
    if (i + 2 > n) Bad();
    unsigned count = p[i], value = p[i + 1];
    i += 2;
    if (count) {
      for (unsigned k = 0; k < count && x < w; ++k)
        plot(bits == 8 ? value : (k & 1) ? value & 15 : value >> 4);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0, ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // jump right and up
      if (i + 2 > n) Bad();
      x += p[i], y += p[i + 1];
      i += 2;
      if (x > w || y > h) Bad();
    } else {  // literal pixels, padded to a 16-bit boundary
      std::size_t bytes = bits == 8 ? value : (value + 1) / 2;
      std::size_t padded = (bytes + 1) & ~std::size_t{1};
      if (i + padded > n) Bad();
      for (unsigned k = 0; k < value; ++k) {
        unsigned b = p[i + (bits == 8 ? k : k / 2)];
        plot(bits == 8 ? b : (k & 1) ? b & 15 : b >> 4);
      }
      i += padded;
    }
  }
}

}  // namespace

BmpImage ReadBmp(const std::uint8_t* data, std::size_t size) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') Bad();
  const std::uint32_t offBits = U32(data + 10);
  const std::uint8_t* ih = data + 14;
  const std::uint32_t headerSize = U32(ih);
  std::int64_t width, height;
  int bitCount;
  std::uint32_t compression = kBiRgb, clrUsed = 0;
  std::size_t entrySize = 4;
  std::uint32_t masks[3] = {0, 0, 0};
  bool masksInHeader = false;
  if (headerSize == 12) {  // the old core header: 16-bit sizes, 3-byte colour entries
    width = U16(ih + 4);
    height = static_cast<std::int16_t>(U16(ih + 6));
    if (U16(ih + 8) != 1) Bad();
    bitCount = U16(ih + 10);
    entrySize = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
    if (size < 14 + std::size_t{headerSize}) Bad();
    width = static_cast<std::int32_t>(U32(ih + 4));
    height = static_cast<std::int32_t>(U32(ih + 8));
    if (U16(ih + 12) != 1) Bad();
    bitCount = U16(ih + 14);
    compression = U32(ih + 16);
    clrUsed = U32(ih + 32);
    if (headerSize >= 52) {
      masksInHeader = true;
      for (int k = 0; k < 3; ++k) masks[k] = U32(ih + 40 + 4 * k);
    }
  } else {
    Bad();
  }
  if (size < 14 + std::size_t{headerSize}) Bad();

  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      width * height > kMaxPicturePixels)
    Bad();
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: Bad();
  }
  switch (compression) {
    case kBiRgb: break;
    case kBiRle8: if (bitCount != 8 || topDown) Bad(); break;
    case kBiRle4: if (bitCount != 4 || topDown) Bad(); break;
    case kBiBitfields: if (bitCount != 16 && bitCount != 32) Bad(); break;
    default: Bad();
  }

  std::size_t pos = 14 + std::size_t{headerSize};
  if (compression == kBiBitfields && !masksInHeader) {
    if (size < pos + 12) Bad();
    for (int k = 0; k < 3; ++k) masks[k] = U32(data + pos + 4 * k);
    pos += 12;
  }

  BmpImage img;
  img.BitCount = bitCount;
  std::uint64_t colors = clrUsed;
  if (bitCount <= 8) {
    if (colors == 0) colors = 1u << bitCount;
    if (colors > (1u << bitCount)) Bad();
  }
  if (colors > (size - pos) / entrySize) Bad();
  if (bitCount <= 8) {
    img.ColorTable.reserve(colors);
    for (std::uint64_t k = 0; k < colors; ++k) {
      const std::uint8_t* e = data + pos + k * entrySize;
      img.ColorTable.push_back(e[2] | e[1] << 8 | static_cast<std::uint32_t>(e[0]) << 16);
    }
  }
  pos += colors * entrySize;
  // The pixels start where the file header says, unless that points into the header or
  // table (some writers leave the offset 0).
  if (offBits >= pos) pos = offBits;
  if (pos > size) Bad();
  const std::uint8_t* bits = data + pos;
  const std::size_t avail = size - pos;

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (compression == kBiRle8 || compression == kBiRle4) {
    img.Pixels.Resize(w, h);
    DecodeRle(bits, avail, bitCount, img.ColorTable, img.Pixels);
    return img;
  }

  const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
  if (avail / stride < static_cast<std::size_t>(h)) Bad();  // truncated pixel data
  img.Pixels.Resize(w, h);

  Channel r, g, b;
  if (compression == kBiBitfields) {
    r = Channel(masks[0]), g = Channel(masks[1]), b = Channel(masks[2]);
  } else if (bitCount == 16) {
    r = Channel(0x7C00), g = Channel(0x03E0), b = Channel(0x001F);
  }
  for (int row = 0; row < h; ++row) {
    const std::uint8_t* s = bits + static_cast<std::size_t>(row) * stride;
    std::uint8_t* d = img.Pixels.Row(topDown ? row : h - 1 - row);
    switch (bitCount) {
      case 1: case 4: case 8: {
        const int perByte = 8 / bitCount, mask = (1 << bitCount) - 1;
        for (int x = 0; x < w; ++x) {
          int shift = 8 - bitCount * (x % perByte + 1);
          std::uint32_t c = Lookup(img.ColorTable, (s[x / perByte] >> shift) & mask);
          d[3 * x] = static_cast<std::uint8_t>(c >> 16);
          d[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
          d[3 * x + 2] = static_cast<std::uint8_t>(c);
        }
        break;
      }
      case 24:
        std::memcpy(d, s, static_cast<std::size_t>(w) * 3);
        break;
      case 32:
        if (compression == kBiRgb) {  // blue, green, red; the fourth byte (alpha or unused) is not colour
          for (int x = 0; x < w; ++x) d[3 * x] = s[4 * x], d[3 * x + 1] = s[4 * x + 1], d[3 * x + 2] = s[4 * x + 2];
          break;
        }
        [[fallthrough]];
      case 16:
        for (int x = 0; x < w; ++x) {
          std::uint32_t px = bitCount == 16 ? U16(s + 2 * x) : U32(s + 4 * x);
          d[3 * x] = b.Get(px), d[3 * x + 1] = g.Get(px), d[3 * x + 2] = r.Get(px);
        }
        break;
    }
  }
  return img;
}
