#include "imaging/bmp_reader.h"

#include <gtest/gtest.h>

#include "imaging/bmp_test_util.h"
#include "win/error.h"

using namespace bmptest;

namespace {

BmpImage Read(const Bytes& b) { return ReadBmp(b.data(), b.size()); }

// A 3 × 2 picture, 24 bits: bottom row first in the file.
Bytes Small24(bool topDown) {
  Bytes px = {
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0, 0, 0,  // red, green, blue
      0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0, 0, 0,
  };
  return File(InfoHeader(3, topDown ? -2 : 2, 24), px);
}

}  // namespace

TEST(BmpReader, ReadsRowsBottomUpAndTopDown) {
  BmpImage up = Read(Small24(false));
  ASSERT_EQ(up.Pixels.Width(), 3);
  ASSERT_EQ(up.Pixels.Height(), 2);
  EXPECT_EQ(up.Pixels.Pixel(0, 1), 0x0000FFu);  // the file's first row is the bottom row
  EXPECT_EQ(up.Pixels.Pixel(1, 1), 0x00FF00u);
  EXPECT_EQ(up.Pixels.Pixel(2, 1), 0xFF0000u);
  EXPECT_EQ(up.Pixels.Pixel(0, 0), 0x102030u);
  BmpImage down = Read(Small24(true));
  EXPECT_EQ(down.Pixels.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(down.Pixels.Pixel(2, 1), 0x708090u);
  EXPECT_EQ(up.BitCount, 24);
}

TEST(BmpReader, PalettedDepthsUseTheirColourTable) {
  // 1 bit, 10 pixels wide: the second byte of each row holds pixels 8 and 9.
  Bytes one = File(Concat({InfoHeader(10, 1, 1), Table({0x000000, 0xFFFFFF})}), {0xA5, 0x40, 0, 0});
  BmpImage a = Read(one);
  EXPECT_EQ(a.Pixels.Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(a.Pixels.Pixel(1, 0), 0u);
  EXPECT_EQ(a.Pixels.Pixel(9, 0), 0xFFFFFFu);
  EXPECT_EQ(a.ColorTable.size(), 2u);

  // 4 bits with a 3-entry table; index 7 lies past the table and draws black.
  Bytes four = File(Concat({InfoHeader(3, 1, 4, 0, 3), Table({0x111111, 0x222222, 0x333333})}), {0x21, 0x70, 0, 0});
  BmpImage b = Read(four);
  EXPECT_EQ(b.Pixels.Pixel(0, 0), 0x333333u);
  EXPECT_EQ(b.Pixels.Pixel(1, 0), 0x222222u);
  EXPECT_EQ(b.Pixels.Pixel(2, 0), 0u);
  EXPECT_EQ(b.ColorTable.size(), 3u);

  Bytes table8;
  for (int i = 0; i < 256; ++i) table8.insert(table8.end(), {std::uint8_t(i), 0, 0, 0});
  BmpImage c = Read(File(Concat({InfoHeader(2, 1, 8), table8}), {200, 7, 0, 0}));
  EXPECT_EQ(c.Pixels.Pixel(0, 0), 200u << 16);
  EXPECT_EQ(c.Pixels.Pixel(1, 0), 7u << 16);
}

TEST(BmpReader, SixteenAndThirtyTwoBitsWithAndWithoutMasks) {
  // 16 bits without masks is 5-5-5: 0x7C00 is full red.
  Bytes p16 = {0x00, 0x7C, 0xE0, 0x03};
  EXPECT_EQ(Read(File(InfoHeader(2, 1, 16), p16)).Pixels.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(Read(File(InfoHeader(2, 1, 16), p16)).Pixels.Pixel(1, 0), 0x00FF00u);
  // 5-6-5 masks after a 40-byte header: 0x07E0 is full green.
  Bytes masks;
  Put32(masks, 0xF800), Put32(masks, 0x07E0), Put32(masks, 0x001F);
  Bytes p565 = {0xE0, 0x07, 0x1F, 0x00};
  BmpImage m = Read(File(Concat({InfoHeader(2, 1, 16, 3), masks}), p565));
  EXPECT_EQ(m.Pixels.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(m.Pixels.Pixel(1, 0), 0xFF0000u);
  // 32 bits: the fourth byte is not colour.
  Bytes p32 = {0x01, 0x02, 0x03, 0x80};
  EXPECT_EQ(Read(File(InfoHeader(1, 1, 32), p32)).Pixels.Pixel(0, 0), 0x010203u);
  // A 124-byte header carries its masks inside: here red and blue swapped.
  Bytes v5 = InfoHeader(1, 1, 32, 3, 0, 124);
  Set32(v5, 40, 0x000000FF), Set32(v5, 44, 0x0000FF00), Set32(v5, 48, 0x00FF0000);
  EXPECT_EQ(Read(File(v5, p32)).Pixels.Pixel(0, 0), 0x030201u);
}

TEST(BmpReader, RunLengthData) {
  // RLE8, 4 × 2: bottom row = run of 3 × index 1 then literal index 2... via a literal; top row by a jump.
  Bytes rle8 = {3, 1, 0, 3, 2, 2, 2, 0, 0, 0, 4, 2, 0, 1};
  // bottom: 1 1 1 then literal of 3 pixels (clipped after the 4th column), end of line; top: 2 2 2 2.
  Bytes info = Concat({InfoHeader(4, 2, 8, 1, 3), Table({0x000000, 0x0000FF, 0x00FF00})});
  BmpImage a = Read(File(info, rle8));
  EXPECT_EQ(a.Pixels.Pixel(0, 1), 0x0000FFu);
  EXPECT_EQ(a.Pixels.Pixel(3, 1), 0x00FF00u);
  EXPECT_EQ(a.Pixels.Pixel(0, 0), 0x00FF00u);
  // RLE4: a run alternates its two nibbles.
  Bytes rle4 = {4, 0x12, 0, 1};
  BmpImage b = Read(File(Concat({InfoHeader(4, 1, 4, 2, 3), Table({0, 0x0000FF, 0x00FF00})}), rle4));
  EXPECT_EQ(b.Pixels.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(b.Pixels.Pixel(1, 0), 0x00FF00u);
  EXPECT_EQ(b.Pixels.Pixel(2, 0), 0x0000FFu);
  // A jump (00 02 dx dy) leaves index 0 behind it.
  Bytes jump = {0, 2, 2, 0, 1, 1, 0, 1};
  EXPECT_EQ(Read(File(info, jump)).Pixels.Pixel(2, 1), 0x0000FFu);
  EXPECT_EQ(Read(File(info, jump)).Pixels.Pixel(1, 1), 0x000000u);
}

TEST(BmpReader, OldCoreHeaderAndZeroPixelOffset) {
  Bytes core;
  Put32(core, 12), Put16(core, 1), Put16(core, 1), Put16(core, 1), Put16(core, 8);
  Bytes table3 = {0x30, 0x20, 0x10, 0x00, 0x00, 0x00};
  Bytes f = File(Concat({core, table3}), {0, 0, 0, 0});
  // 8 bits with an implicit 256-entry table of 3-byte entries would not fit: give it all.
  Bytes full = Concat({core});
  for (int i = 0; i < 256; ++i) full.insert(full.end(), {0x30, 0x20, 0x10});
  EXPECT_EQ(Read(File(full, {0, 0, 0, 0})).Pixels.Pixel(0, 0), 0x302010u);
  EXPECT_THROW(Read(f), EInvalidGraphic);
  Bytes zeroOffset = Small24(false);
  Set32(zeroOffset, 10, 0);
  EXPECT_EQ(Read(zeroOffset).Pixels.Pixel(0, 1), 0x0000FFu);
}

TEST(BmpReader, MalformedFilesAreErrors) {
  Bytes good = Small24(false);
  auto with = [&](std::size_t at, std::uint32_t v, int bytes = 4) {
    Bytes b = good;
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"magic", with(0, 'B' | 'X' << 8, 2)},
      {"header size 0", with(14, 0)},
      {"header size 41", with(14, 41)},
      {"header size huge", with(14, 0xFFFFFFF0)},
      {"width 0", with(18, 0)},
      {"width negative", with(18, 0xFFFFFFFF)},
      {"width huge", with(18, 0x7FFFFFFF)},
      {"height 0", with(22, 0)},
      {"height most negative", with(22, 0x80000000)},
      {"too many pixels", [&] { Bytes b = with(18, 60000); Set32(b, 22, 60000); return b; }()},
      {"planes 2", with(26, 2, 2)},
      {"bit count 0", with(28, 0, 2)},
      {"bit count 2", with(28, 2, 2)},
      {"bit count 64", with(28, 64, 2)},
      {"compression 4", with(30, 4)},
      {"RLE8 on 24 bits", with(30, 1)},
      {"bit fields on 24 bits", with(30, 3)},
      {"colour table larger than the file", with(46, 1000)},
      {"pixel offset past the end", with(10, 0x7FFFFFFF)},
  };
  for (const auto& [name, b] : cases) EXPECT_THROW(Read(b), EInvalidGraphic) << name;

  // A 4-bit table of 17 entries, bit-field masks that are not one run, and top-down RLE.
  Bytes pal17 = File(Concat({InfoHeader(1, 1, 4, 0, 17), Bytes(17 * 4, 0)}), {0, 0, 0, 0});
  EXPECT_THROW(Read(pal17), EInvalidGraphic);
  Bytes masks;
  Put32(masks, 0xF0F0), Put32(masks, 0x0F00), Put32(masks, 0x000F);
  EXPECT_THROW(Read(File(Concat({InfoHeader(1, 1, 16, 3), masks}), {0, 0, 0, 0})), EInvalidGraphic);
  EXPECT_THROW(Read(File(Concat({InfoHeader(2, -1, 8, 1, 2), Table({0, 0})}), {2, 1, 0, 1})), EInvalidGraphic);
}

TEST(BmpReader, BadRunLengthDataIsAnError) {
  Bytes info = Concat({InfoHeader(4, 2, 8, 1, 2), Table({0, 0xFFFFFF})});
  EXPECT_THROW(Read(File(info, {})), EInvalidGraphic);                       // no data at all
  EXPECT_THROW(Read(File(info, {4, 1, 0, 0})), EInvalidGraphic);             // ends before the last row
  EXPECT_THROW(Read(File(info, {0, 5, 1, 1})), EInvalidGraphic);             // literal longer than the data
  EXPECT_THROW(Read(File(info, {0, 2, 9, 0, 0, 1})), EInvalidGraphic);       // jump past the right edge
  EXPECT_THROW(Read(File(info, {0, 2, 0, 9, 0, 1})), EInvalidGraphic);       // jump past the top
  EXPECT_NO_THROW(Read(File(info, {0, 2, 0, 2})));                           // a jump to the very end finishes it
}

TEST(BmpReader, EveryTruncationIsAnError) {
  Bytes table8;
  for (int i = 0; i < 256; ++i) table8.insert(table8.end(), {std::uint8_t(i), 1, 2, 0});
  const Bytes files[] = {Small24(false), File(Concat({InfoHeader(3, 2, 8), table8}), Bytes(8, 5)),
                         File(Concat({InfoHeader(4, 1, 8, 1, 2), Table({0, 0xFFFFFF})}), {4, 1, 0, 1})};
  for (const Bytes& f : files) {
    ASSERT_NO_THROW(Read(f));
    for (std::size_t n = 0; n < f.size(); ++n) {
      // Copy into an exact-size buffer so AddressSanitizer sees any read past the end.
      std::vector<std::uint8_t> cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_THROW(ReadBmp(cut.data(), cut.size()), EInvalidGraphic) << n;
    }
  }
}
