#include "imaging/dib_file.h"

#include <gtest/gtest.h>

#include "imaging/bmp_reader.h"
#include "imaging/bmp_test_util.h"
#include "win/error.h"

using namespace bmptest;

namespace {
DibFile Build(const Bytes& info, const Bytes& bits) { return BuildDibFile(info.data(), info.size(), bits.data(), bits.size()); }
std::uint32_t At32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24; }
}  // namespace

TEST(DibFile, PlainOutputIsCopiedBehindAFileHeader) {
  Bytes info = InfoHeader(3, 2, 24);
  Bytes bits(24);
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<std::uint8_t>(i + 1);
  Bytes extra = bits;
  extra.resize(100, 0xEE);  // a block larger than the picture: only the picture is taken
  DibFile d = Build(info, extra);
  ASSERT_EQ(d.Bmp.size(), 14u + 40 + 24);
  EXPECT_EQ(d.Bmp[0], 'B');
  EXPECT_EQ(d.Bmp[1], 'M');
  EXPECT_EQ(At32(d.Bmp, 2), 14u + 40 + 24);
  EXPECT_EQ(At32(d.Bmp, 6), 0u);
  EXPECT_EQ(At32(d.Bmp, 10), 54u);
  EXPECT_TRUE(std::equal(info.begin(), info.end(), d.Bmp.begin() + 14));
  EXPECT_TRUE(std::equal(bits.begin(), bits.end(), d.Bmp.begin() + 54));
  EXPECT_TRUE(d.Palette4.empty());
}

TEST(DibFile, ColourTableSizesAndTheFourBitPalette) {
  Bytes sixteen;
  for (int i = 0; i < 16; ++i) sixteen.insert(sixteen.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i), 0});
  // 4 bits, biClrUsed 0: 16 entries go into the file and become the palette.
  DibFile a = Build(Concat({InfoHeader(2, 1, 4), sixteen}), {0x01, 0, 0, 0});
  EXPECT_EQ(At32(a.Bmp, 10), 14u + 40 + 64);
  ASSERT_EQ(a.Palette4.size(), 16u);
  EXPECT_EQ(a.Palette4[5], 15u | 10u << 8 | 5u << 16);
  // biClrUsed 5: five entries, five palette colours.
  DibFile b = Build(Concat({InfoHeader(2, 1, 4, 0, 5), sixteen}), {0x01, 0, 0, 0});
  EXPECT_EQ(At32(b.Bmp, 10), 14u + 40 + 20);
  EXPECT_EQ(b.Palette4.size(), 5u);
  EXPECT_EQ(ReadBmp(b.Bmp.data(), b.Bmp.size()).Pixels.Pixel(1, 0), 3u | 2u << 8 | 1u << 16);
  // 8 bits, biClrUsed 0: 256 entries, no palette of its own.
  Bytes table(1024, 7);
  DibFile c = Build(Concat({InfoHeader(1, 1, 8), table}), {0, 0, 0, 0});
  EXPECT_EQ(At32(c.Bmp, 10), 14u + 40 + 1024);
  EXPECT_TRUE(c.Palette4.empty());
  // A header that claims more entries than the block holds is an error.
  EXPECT_THROW(Build(Concat({InfoHeader(2, 1, 4), Bytes(60, 0)}), {0, 0, 0, 0}), EInvalidGraphic);
  EXPECT_THROW(Build(Concat({InfoHeader(2, 1, 24, 0, 0x40000000)}), {0, 0, 0, 0, 0, 0, 0, 0}), EInvalidGraphic);
}

TEST(DibFile, NegativeHeightKeepsRowsAndSize) {
  Bytes bits(24, 0);
  bits[0] = 0xFF;  // first row first: it is the top row of a top-down picture
  DibFile up = Build(InfoHeader(3, 2, 24), bits);
  DibFile down = Build(InfoHeader(3, -2, 24), bits);
  EXPECT_EQ(up.Bmp.size(), down.Bmp.size());
  EXPECT_TRUE(std::equal(bits.begin(), bits.end(), down.Bmp.begin() + 54));
  EXPECT_EQ(ReadBmp(down.Bmp.data(), down.Bmp.size()).Pixels.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(ReadBmp(up.Bmp.data(), up.Bmp.size()).Pixels.Pixel(0, 1), 0xFF0000u);
}

TEST(DibFile, LongerHeadersAndMasks) {
  // A 124-byte header with a 32-bit picture whose fourth byte is alpha.
  Bytes v5 = InfoHeader(1, 1, 32, 0, 0, 124);
  DibFile a = Build(v5, {0x10, 0x20, 0x30, 0x80});
  EXPECT_EQ(At32(a.Bmp, 10), 14u + 124);
  EXPECT_EQ(ReadBmp(a.Bmp.data(), a.Bmp.size()).Pixels.Pixel(0, 0), 0x102030u);
  // A 108-byte header with a 4-bit table: the table starts 108 bytes in.
  Bytes v4 = Concat({InfoHeader(1, 1, 4, 0, 2, 108), Table({0x0000FF, 0x00FF00})});
  DibFile b = Build(v4, {0x10, 0, 0, 0});
  ASSERT_EQ(b.Palette4.size(), 2u);
  EXPECT_EQ(b.Palette4[1], 0x00FF00u);
  EXPECT_EQ(ReadBmp(b.Bmp.data(), b.Bmp.size()).Pixels.Pixel(0, 0), 0x00FF00u);
  // Bit-field masks after a 40-byte header come along.
  Bytes masks;
  Put32(masks, 0xF800), Put32(masks, 0x07E0), Put32(masks, 0x001F);
  DibFile c = Build(Concat({InfoHeader(2, 1, 16, 3), masks}), {0x1F, 0, 0, 0});
  EXPECT_EQ(ReadBmp(c.Bmp.data(), c.Bmp.size()).Pixels.Pixel(0, 0), 0xFF0000u);
}

TEST(DibFile, ClaimsBeyondTheBlocksAreErrors) {
  EXPECT_THROW(Build(Bytes(39, 0), {}), EInvalidGraphic);                    // shorter than a header
  EXPECT_THROW(Build(InfoHeader(3, 2, 24), Bytes(23, 0)), EInvalidGraphic);  // one byte short of two rows
  EXPECT_THROW(Build(InfoHeader(3, 3, 24), Bytes(24, 0)), EInvalidGraphic);  // more rows than delivered
  EXPECT_THROW(Build(InfoHeader(0x7FFFFFFF, 0x7FFFFFFF, 32), Bytes(16, 0)), EInvalidGraphic);
  EXPECT_THROW(Build(InfoHeader(-5, 1, 24), Bytes(16, 0)), EInvalidGraphic);
  EXPECT_THROW(Build(InfoHeader(1, 1, 8, 0, 0, 124), Bytes(4, 0)), EInvalidGraphic);  // table past a 124-byte header
  Bytes info = InfoHeader(1, 1, 24);
  EXPECT_THROW(BuildDibFile(info.data(), info.size(), nullptr, 0), EInvalidGraphic);
}
