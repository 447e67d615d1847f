// Thumbnails in memory: compressed small, decoded close to what was made, drawn without
// keeping GDI objects.
#include <gtest/gtest.h>

#include <cstdlib>

#include "catalogue/picture_entry.h"
#include "catalogue/thumbnail_draw.h"
#include "imaging/test_pictures.h"
#include "win/error.h"

TEST(Thumbnail, KeptSmallAndDecodedCloseToWhatWasMade) {
  PixelBuffer made = testpic::PhotoLike(144, 108, 9);
  TThumbnail t(made);
  EXPECT_LT(t.CompressedSize(), 20000u);  // 46,656 bytes as plain pixels
  PixelBuffer back = t.Pixels();
  ASSERT_EQ(back.Width(), 144);
  ASSERT_EQ(back.Height(), 108);
  int worst = 0;
  long long sum = 0;
  for (int y = 0; y < 108; ++y)
    for (int x = 0; x < 144 * 3; ++x) {
      int d = std::abs(back.Row(y)[x] - made.Row(y)[x]);
      sum += d, worst = std::max(worst, d);
    }
  EXPECT_LT(sum / (144.0 * 108 * 3), 3.0);
  EXPECT_LT(worst, 64);
  EXPECT_THROW(TThumbnail(PixelBuffer(144, 107)), Exception);
}

TEST(Thumbnail, DrawnStretchedWithoutHoldingGdiObjects) {
  PixelBuffer made(144, 108);
  for (int y = 0; y < 108; ++y)
    for (int x = 0; x < 144; ++x) made.SetPixel(x, y, x < 72 ? 0x0000FF : 0xFF0000);  // red | blue
  auto t = std::make_shared<const TThumbnail>(made);
  win::MemoryBitmap target(100, 60);
  win::Canvas canvas(target.Dc());
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 200; ++i) DrawThumbnail(canvas, *t, 2, 2, 72, 54, 24);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
  auto alike = [](std::uint32_t c, std::uint32_t want) {
    for (int s = 0; s < 24; s += 8)
      if (std::abs(static_cast<int>((c >> s) & 0xFF) - static_cast<int>((want >> s) & 0xFF)) > 24) return false;
    return true;
  };
  EXPECT_TRUE(alike(target.Pixel(10, 20), 0x0000FF));
  EXPECT_TRUE(alike(target.Pixel(60, 40), 0xFF0000));
  EXPECT_EQ(target.Pixel(80, 20), 0u);  // outside the stretched rectangle nothing was drawn
}
