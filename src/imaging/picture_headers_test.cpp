#include "imaging/picture_headers.h"

#include <gtest/gtest.h>

#include <climits>

#include "imaging/bmp_test_util.h"

using namespace bmptest;

namespace {

// An icon file with one 32-bit image per size, each with `cut` bytes missing from its data.
Bytes Icon(std::initializer_list<int> sizes, std::uint32_t cut = 0) {
  Bytes dir = {0, 0, 1, 0};
  Put16(dir, static_cast<unsigned>(sizes.size()));
  Bytes images;
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(sizes.size());
  for (int s : sizes) {
    Bytes image = InfoHeader(s, 2 * s, 32);
    image.resize(image.size() + static_cast<std::size_t>(s * s * 4 + s * 4) - cut, 0x40);
    dir.insert(dir.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s), 0, 0, 1, 0, 32, 0});
    Put32(dir, static_cast<std::uint32_t>(image.size()));
    Put32(dir, offset + static_cast<std::uint32_t>(images.size()));
    images.insert(images.end(), image.begin(), image.end());
  }
  dir.insert(dir.end(), images.begin(), images.end());
  return dir;
}

void Record32(Bytes& b, std::uint32_t type, std::uint32_t size) {
  Put32(b, type);
  Put32(b, size);
  b.resize(b.size() + size - 8, 0);
}

// An enhanced metafile: header (88 bytes), one more record, end of file.
Bytes Emf() {
  Bytes b;
  Record32(b, 1, 88);
  Set32(b, 40, 0x464D4520);
  Record32(b, 39, 12);  // EMR_CREATEBRUSHINDIRECT-sized filler
  Record32(b, 14, 20);
  Set32(b, 48, static_cast<std::uint32_t>(b.size()));
  return b;
}

// A Windows metafile: 18-byte header, one record of 4 words, the 3-word end-of-file record.
Bytes Wmf() {
  Bytes b = {1, 0, 9, 0, 0, 3};
  Put32(b, 9 + 4 + 3);
  b.resize(18, 0);
  Put32(b, 4), Put16(b, 0x0201), Put16(b, 0);  // SetBkColor
  Put32(b, 3), Put16(b, 0);
  return b;
}

}  // namespace

TEST(IconFile, TheLargestImageWhoseDataIsWholeIsChosen) {
  Bytes two = Icon({16, 32});
  std::optional<IconImage> image = ChooseIconImage(two);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width, 32);
  EXPECT_EQ(image->Offset, 6u + 32 + 40 + 16 * 16 * 4 + 16 * 4);
  EXPECT_EQ(image->Needed, image->Size);
  // The header of the 32 × 32 image promises more colour rows than its data holds: it is
  // skipped, so the system never reads past the file for it.
  Bytes shortData = Icon({16, 32});
  Set32(shortData, 6 + 16 + 8, 40 + 32 * 31 * 4);
  EXPECT_EQ(ChooseIconImage(shortData)->Width, 16);
  // Without its mask an image is still taken, to be handed over padded.
  std::optional<IconImage> noMask = ChooseIconImage(Icon({16}, 16 * 4));
  ASSERT_TRUE(noMask);
  EXPECT_EQ(noMask->Needed, noMask->Size + 16 * 4);
  Bytes beyond = Icon({16});
  Set32(beyond, 6 + 12, 0xFFFFFFF0);  // an offset near 4 GB
  EXPECT_FALSE(ChooseIconImage(beyond));
  EXPECT_FALSE(ChooseIconImage(Bytes{0, 0, 1, 0, 0x40, 0}));  // 64 entries promised, none there
}

TEST(Metafile, RecordsMustLieWithinTheFileAndEndWithTheEndRecord) {
  std::optional<MetafileData> emf = ReadMetafile(Emf());
  ASSERT_TRUE(emf);
  EXPECT_EQ(emf->Kind, MetafileKind::Enhanced);
  EXPECT_EQ(emf->Size, 88u + 12 + 20);
  Bytes claimsMore = Emf();
  Set32(claimsMore, 48, 4096);  // a stated size past the end of the file
  EXPECT_FALSE(ReadMetafile(claimsMore));
  Bytes longRecord = Emf();
  Set32(longRecord, 88 + 4, 0x7FFFFFF0);
  EXPECT_FALSE(ReadMetafile(longRecord));
  Bytes noEnd = Emf();
  Set32(noEnd, 100, 2);  // the last record is no end record
  EXPECT_FALSE(ReadMetafile(noEnd));

  std::optional<MetafileData> wmf = ReadMetafile(Wmf());
  ASSERT_TRUE(wmf);
  EXPECT_EQ(wmf->Kind, MetafileKind::Windows);
  EXPECT_EQ(wmf->Size, 32u);
  Bytes emptyRecord = Wmf();
  Set32(emptyRecord, 18, 0);  // a record of no words would never end
  EXPECT_FALSE(ReadMetafile(emptyRecord));
  Bytes cut = Wmf();
  cut.pop_back();
  EXPECT_FALSE(ReadMetafile(cut));

  Bytes placeable = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0};
  for (int v : {0, 0, 1440, 720}) Put16(placeable, static_cast<unsigned>(v));
  Put16(placeable, 1440);  // units per inch
  placeable.resize(22, 0);
  Bytes inner = Wmf();
  placeable.insert(placeable.end(), inner.begin(), inner.end());
  std::optional<MetafileData> p = ReadMetafile(placeable);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Offset, 22u);
  EXPECT_EQ(p->Width, 96);
  EXPECT_EQ(p->Height, 48);
  EXPECT_EQ(p->FrameWidth, 2540);
}

// Header values from the file may be anything: the arithmetic never overflows (the sanitizer
// would stop the test) and extreme frames give no size at all.
TEST(Metafile, SizeFromExtremeFramesAndBoundsNeverOverflows) {
  const std::int32_t frame[4] = {0, 0, 2540, 1270}, none[4] = {0, 0, 0, 0};
  PixelExtent e = MetafilePixelSize(frame, none);
  EXPECT_EQ(e.Width, 96);
  EXPECT_EQ(e.Height, 48);
  const std::int32_t wide[4] = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  e = MetafilePixelSize(wide, wide);
  EXPECT_GT(e.Width, 0);  // (2^32 - 1) hundredths of a millimetre are many pixels, not a negative number
  EXPECT_EQ(e.Width, e.Height);
  const std::int32_t inverted[4] = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  const std::int32_t bounds[4] = {INT_MIN, 0, INT_MAX, 10};
  e = MetafilePixelSize(inverted, bounds);  // no frame; the bounds are wider than an int
  EXPECT_EQ(e.Width, 0);
  EXPECT_EQ(e.Height, 0);
  const std::int32_t small[4] = {-5, 0, 4, 9};
  e = MetafilePixelSize(inverted, small);
  EXPECT_EQ(e.Width, 10);
  EXPECT_EQ(e.Height, 10);
}
