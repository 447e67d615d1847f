// The thumbnail box's fit arithmetic and Quiran's own point sampler.
#include "catalogue/thumbnail_fit.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/test_pictures.h"
#include "win/error.h"

namespace {
constexpr std::uint32_t kFace = 0xC8D0D4;

void ExpectFit(const TThumbFit& f, int left, int top, int w, int h) {
  EXPECT_EQ(f.Left, left);
  EXPECT_EQ(f.Top, top);
  EXPECT_EQ(f.Width, w);
  EXPECT_EQ(f.Height, h);
}
}  // namespace

TEST(ThumbnailFit, WideAndTallPicturesAreCentredOnTheBox) {
  ExpectFit(FitThumbnail(1000, 500), 0, 18, 144, 72);
  ExpectFit(FitThumbnail(500, 1000), 45, 0, 54, 108);
  ExpectFit(FitThumbnail(144, 108), 0, 0, 144, 108);
  ExpectFit(FitThumbnail(72, 54), 0, 0, 144, 108);       // enlarged to fill the box
  ExpectFit(FitThumbnail(4000, 3000), 0, 0, 144, 108);   // equal ratios take the height rule
  ExpectFit(FitThumbnail(1001, 750), 0, 0, 144, 107);    // truncating: 750 * 144 / 1001 = 107.9
  ExpectFit(FitThumbnail(3000, 1), 0, 54, 144, 0);       // nothing of it is left to show
  ExpectFit(FitThumbnail(65535, 65535), 18, 0, 108, 108);
  EXPECT_THROW(FitThumbnail(0, 0), EInvalidGraphic);
  EXPECT_THROW(FitThumbnail(10, 0), EInvalidGraphic);
}

TEST(ThumbnailFit, PointSamplingDropsAndRepeatsRowsAndColumns) {
  // A picture whose every pixel tells its own coordinates.
  PixelBuffer pic(400, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 400; ++x) pic.SetPixel(x, y, static_cast<std::uint32_t>(x & 0xFF) | (x >> 8) << 8 | y << 16);
  TPointSampler s(400, 200, kFace);
  ExpectFit(s.Fit(), 0, 18, 144, 72);
  // 72 of the 200 rows, ascending, each once.
  ASSERT_EQ(s.SourceRows().size(), 72u);
  EXPECT_EQ(s.SourceRows().front(), SampleIndex(0, 200, 72));
  s.AddPicture(pic);
  PixelBuffer box = s.Take();
  for (int ty = 0; ty < 72; ++ty)
    for (int tx = 0; tx < 144; ++tx) {
      const int sx = SampleIndex(tx, 400, 144), sy = SampleIndex(ty, 200, 72);
      ASSERT_EQ(box.Pixel(tx, 18 + ty), static_cast<std::uint32_t>(sx & 0xFF) | (sx >> 8) << 8 | sy << 16);
    }
  EXPECT_EQ(box.Pixel(0, 0), kFace);
  EXPECT_EQ(box.Pixel(143, 17), kFace);
  EXPECT_EQ(box.Pixel(70, 90), kFace);

  // Enlarging repeats: a 2 x 2 picture fills the box in four blocks.
  PixelBuffer tiny(2, 2);
  tiny.SetPixel(0, 0, 1), tiny.SetPixel(1, 0, 2), tiny.SetPixel(0, 1, 3), tiny.SetPixel(1, 1, 4);
  TPointSampler t(2, 2, kFace);  // fits 108 x 108 at left 18
  t.AddPicture(tiny);
  PixelBuffer big = t.Take();
  EXPECT_EQ(big.Pixel(18, 0), 1u);
  EXPECT_EQ(big.Pixel(18 + 53, 53), 1u);
  EXPECT_EQ(big.Pixel(18 + 54, 53), 2u);
  EXPECT_EQ(big.Pixel(18 + 54, 54), 4u);
  EXPECT_EQ(big.Pixel(17, 54), kFace);
}

TEST(ThumbnailFit, SamplingRowByRowEqualsSamplingTheWholePicture) {
  PixelBuffer pic = testpic::PhotoLike(1003, 751, 4);
  TPointSampler whole(1003, 751, kFace), rows(1003, 751, kFace);
  whole.AddPicture(pic);
  for (int y : rows.SourceRows()) rows.AddRow(y, pic.Row(y));
  PixelBuffer a = whole.Take(), b = rows.Take();
  ASSERT_EQ(a.Size(), b.Size());
  EXPECT_EQ(0, std::memcmp(a.Data(), b.Data(), a.Size()));
}

TEST(ThumbnailFit, HalftoneAveragesIntoTheColourCube) {
  PixelBuffer pic(288, 216);  // two pixels of the picture to one of the box, each way
  for (int y = 0; y < 216; ++y)
    for (int x = 0; x < 288; ++x) pic.SetPixel(x, y, (x + y) % 2 ? 0xFFFFFF : 0x000000);
  PixelBuffer box = HalftoneThumbnail(pic, kFace);
  // Black and white average to 128, the cube's nearest value being 153 (0x99).
  EXPECT_EQ(box.Pixel(0, 0), 0x999999u);
  EXPECT_EQ(box.Pixel(143, 107), 0x999999u);
  PixelBuffer wide(1000, 500);
  PixelBuffer wideBox = HalftoneThumbnail(wide, kFace);
  EXPECT_EQ(wideBox.Pixel(5, 17), kFace);
  EXPECT_EQ(wideBox.Pixel(5, 18), 0u);
}
