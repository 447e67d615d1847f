#include "imaging/resample.h"

#include <gtest/gtest.h>

namespace {

PixelBuffer Filled(int w, int h, std::uint32_t color) {
  PixelBuffer p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, color);
  return p;
}

int Grey(std::uint32_t c) { return static_cast<int>(c & 0xFF); }

TEST(Resample, FineDetailBecomesItsAverageNotDroppedPixels) {
  // One-pixel black and white stripes reduced by 2, then by 3 and by 1.5: dropping pixels
  // would give solid black or white; averaging gives mid grey.
  PixelBuffer stripes(600, 60);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 600; ++x) stripes.SetPixel(x, y, x % 2 ? 0xFFFFFF : 0);
  for (int w : {300, 200, 400}) {
    SCOPED_TRACE(w);
    PixelBuffer out = ResamplePixels(stripes, w, 30);
    ASSERT_EQ(out.Width(), w);
    ASSERT_EQ(out.Height(), 30);
    for (int x = 0; x < w; x += 7) EXPECT_NEAR(Grey(out.Pixel(x, 15)), 128, 44) << x;
  }
  // Exactly 2:1 averages each pair to 127.5, rounded.
  EXPECT_NEAR(Grey(ResamplePixels(stripes, 300, 30).Pixel(10, 10)), 128, 1);
}

TEST(Resample, FlatColoursStayExactAndChannelsStaySeparate) {
  const std::uint32_t colours[] = {0x000000, 0xFFFFFF, 0x123456, 0xFF00FF};
  for (std::uint32_t c : colours)
    for (auto [w, h] : {std::pair{7, 5}, {1, 1}, {31, 17}, {100, 90}}) {
      PixelBuffer out = ResamplePixels(Filled(13, 11, c), w, h);
      EXPECT_EQ(out.Pixel(0, 0), c);
      EXPECT_EQ(out.Pixel(w - 1, h - 1), c);
      EXPECT_EQ(out.Pixel(w / 2, h / 2), c);
    }
}

TEST(Resample, ReducingKeepsWhereThingsAre) {
  // A white square in the left half of a black picture stays in the left half.
  PixelBuffer src = Filled(400, 300, 0);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 200; ++x) src.SetPixel(x, y, 0xFFFFFF);
  PixelBuffer out = ResamplePixels(src, 57, 43);
  EXPECT_EQ(out.Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(out.Pixel(27, 21), 0xFFFFFFu);
  EXPECT_EQ(out.Pixel(29, 21), 0u);
  EXPECT_EQ(out.Pixel(56, 42), 0u);
  EXPECT_NEAR(Grey(out.Pixel(28, 21)), 128, 10);  // the column that straddles the edge
}

TEST(Resample, EnlargingBlendsNeighboursAndKeepsTheCorners) {
  PixelBuffer src(2, 1);
  src.SetPixel(0, 0, 0);
  src.SetPixel(1, 0, 0xFFFFFF);
  PixelBuffer out = ResamplePixels(src, 8, 4);
  EXPECT_EQ(out.Pixel(0, 0), 0u);
  EXPECT_EQ(out.Pixel(7, 3), 0xFFFFFFu);
  int previous = -1;
  for (int x = 0; x < 8; ++x) {
    EXPECT_GE(Grey(out.Pixel(x, 2)), previous);  // a ramp, not two blocks
    previous = Grey(out.Pixel(x, 2));
  }
  EXPECT_GT(Grey(out.Pixel(3, 0)), 0);
  EXPECT_LT(Grey(out.Pixel(3, 0)), 255);
}

TEST(Resample, EmptySourceOrTargetGivesNothing) {
  EXPECT_TRUE(ResamplePixels(PixelBuffer(), 10, 10).Empty());
  EXPECT_TRUE(ResamplePixels(Filled(4, 4, 0), 0, 10).Empty());
  EXPECT_TRUE(ResamplePixels(Filled(4, 4, 0), 10, -1).Empty());
}

}  // namespace
