#include "imaging/exif_orientation.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/exif_test_util.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// A 4 x 3 picture as the photographer saw it: every pixel its own colour.
PixelBuffer Seen() {
  PixelBuffer p(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) p.SetPixel(x, y, static_cast<std::uint32_t>(0x10 * y + x + 1));
  return p;
}

void ExpectSame(const PixelBuffer& a, const PixelBuffer& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
}

}  // namespace

TEST(ExifOrientation, EachValueShowsThePictureAsTaken) {
  const PixelBuffer seen = Seen();
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    const PixelBuffer stored = exiftest::Stored(seen, o);
    EXPECT_EQ(SwapsSides(o), stored.Width() == 3);
    ExpectSame(OrientPixels(stored, o), seen);
  }
  // Values outside 1 to 8 leave the pixels as stored.
  ExpectSame(OrientPixels(exiftest::Stored(seen, 6), 0), exiftest::Stored(seen, 6));
  ExpectSame(OrientPixels(exiftest::Stored(seen, 6), 9), exiftest::Stored(seen, 6));
  EXPECT_TRUE(OrientPixels(PixelBuffer(), 6).Empty());
}

TEST(ExifOrientation, LargePicturesTurnAcrossTiles) {
  // Larger than one tile in both directions, with sides that are no multiple of it.
  PixelBuffer seen(131, 70);
  for (int y = 0; y < seen.Height(); ++y)
    for (int x = 0; x < seen.Width(); ++x) seen.SetPixel(x, y, static_cast<std::uint32_t>(y << 8 | x));
  for (int o : {3, 5, 6, 7, 8}) {
    SCOPED_TRACE(o);
    ExpectSame(OrientPixels(exiftest::Stored(seen, o), o), seen);
  }
}

TEST(ExifOrientation, TheTagInBothByteOrders) {
  for (bool little : {true, false})
    for (int o = 1; o <= 8; ++o) {
      const Bytes jpeg = exiftest::JpegWithExif(exiftest::Exif(o, little));
      EXPECT_EQ(JpegExifOrientation(jpeg.data(), jpeg.size()), o) << little;
    }
  // The tag after others in the directory, behind a JFIF block, an XMP block and fill bytes.
  Bytes exif = exiftest::Exif(6, false, {0x010F, 0x0110});
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J', 'F', 0xFF, 0xFF};
  exiftest::AddSegment(jpeg, 0xE1, Bytes{'h', 't', 't', 'p', ':', '/', '/', 0});
  exiftest::AddSegment(jpeg, 0xE1, exif);
  jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x02});
  EXPECT_EQ(JpegExifOrientation(jpeg.data(), jpeg.size()), 6);
}

TEST(ExifOrientation, AbsentOrDamagedMeansAsStored) {
  auto read = [](const Bytes& b) { return JpegExifOrientation(b.data(), b.size()); };
  const Bytes good = exiftest::JpegWithExif(exiftest::Exif(8, true));
  ASSERT_EQ(read(good), 8);
  EXPECT_EQ(JpegExifOrientation(nullptr, 0), 1);
  EXPECT_EQ(read(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02}), 1);    // no Exif block
  EXPECT_EQ(read(Bytes{'B', 'M', 0, 0, 0, 0}), 1);                   // not a JPEG
  for (std::size_t cut = 0; cut < good.size() - 4; ++cut) {           // cut short in the block
    Bytes part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(read(part), 1) << cut;
  }
  // A block after the picture data begins is not looked at.
  Bytes late = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02};
  exiftest::AddSegment(late, 0xE1, exiftest::Exif(6, true));
  EXPECT_EQ(read(late), 1);
  // Damage inside the Exif block: each field of the way to the tag in turn.
  struct Damage {
    std::size_t At;  // offset in the TIFF structure
    std::uint8_t Value;
  };
  const Damage damages[] = {
      {0, 'X'},                // byte order mark
      {3, 43},                 // the magic 42 (big-endian low byte)
      {4, 0x7F},               // IFD offset far beyond the block
      {9, 0},                  // no entries
      {10, 0x02},              // another tag
      {13, 4},                 // the tag's type LONG instead of SHORT
      {17, 2},                 // count 2
      {18, 0x01}, {19, 0x09},  // values 262 and 9
  };
  for (const Damage& d : damages) {
    Bytes exif = exiftest::Exif(6, false);
    exif[6 + d.At] = d.Value;
    EXPECT_EQ(read(exiftest::JpegWithExif(exif)), 1) << d.At;
  }
  // A segment length of 0 or 1, or running past the data.
  Bytes shortLength = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 'E', 'x'};
  EXPECT_EQ(read(shortLength), 1);
  Bytes longLength = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0};
  EXPECT_EQ(read(longLength), 1);
}

TEST(ExifOrientation, TheSettingTurnsItOff) {
  const Bytes jpeg = exiftest::JpegWithExif(exiftest::Exif(6, true));
  ASSERT_TRUE(ExifOrientationEnabled());
  EXPECT_EQ(AppliedOrientation(jpeg.data(), jpeg.size()), 6);
  SetExifOrientationEnabled(false);
  EXPECT_EQ(AppliedOrientation(jpeg.data(), jpeg.size()), 1);
  SetExifOrientationEnabled(true);
}
