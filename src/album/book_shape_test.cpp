// The book drawn into a bitmap, checked pixel by pixel, under Wine.
#include "album/book_shape.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "album/book_geometry.h"
#include "win/canvas.h"

namespace {

constexpr std::uint32_t kBackground = 0x00FF00;  // nothing in a red book is pure green

struct Rendered {
  win::MemoryBitmap bmp{50, 280};
  explicit Rendered(TBookShape& book) {
    win::Canvas c(bmp.Dc());
    c.FillRect({0, 0, 50, 280}, kBackground);
    book.Paint(c);
  }
  std::uint32_t operator()(int x, int y) const { return bmp.Pixel(x, y); }
};

void MakeRedBook(TBookShape& book, std::string caption) {
  book.SetBounds(0, 0, 50, 280);
  book.SetColor(0x0000FF);
  FontDesc f;
  f.SetPoints(14);
  f.Bold = true;
  f.Color = 0xFFFFFF;
  book.SetFont(f);
  book.SetCaption(std::move(caption));
}

TEST(BookShape, DrawsTopViewCoversSpineAndBands) {
  TBookShape book;
  MakeRedBook(book, "");
  Rendered px(book);
  // Top view: white pages with grey lines every 3 pixels from x = 1, a grey back edge at
  // y = 2, black cover bars two pixels wide at both sides.
  EXPECT_EQ(px(3, 10), 0xFFFFFFu);
  EXPECT_EQ(px(4, 10), 0x808080u);
  EXPECT_EQ(px(3, 2), 0x808080u);
  EXPECT_EQ(px(3, 1), kBackground);
  for (int x : {0, 1, 48, 49}) EXPECT_EQ(px(x, 7), 0u) << x;
  EXPECT_EQ(px(3, 16), 0u);    // the spine's outline dips one step at the side ...
  EXPECT_EQ(px(25, 18), 0u);   // ... and three in the middle
  EXPECT_EQ(px(24, 17), 0xFFFFFFu);
  EXPECT_EQ(px(25, 279), 0u);
  EXPECT_EQ(px(1, 279), kBackground);  // the bottom corners are cut away
  EXPECT_EQ(px(0, 150), 0u);
  EXPECT_EQ(px(49, 150), 0u);

  // Bands where no later band overlaps them, and the plain cover between.
  EXPECT_EQ(px(38, 150), 216u);
  EXPECT_EQ(px(41, 150), 183u);
  EXPECT_EQ(px(45, 150), 155u);
  EXPECT_EQ(px(46, 150), 131u);
  EXPECT_EQ(px(47, 150), 111u);
  EXPECT_EQ(px(48, 150), 94u);
  EXPECT_EQ(px(10, 150), 0x2727FFu);
  EXPECT_EQ(px(7, 150), 0x4848FFu);
  EXPECT_EQ(px(4, 150), 0x6464FFu);
  EXPECT_EQ(px(3, 150), 0x7C7CFFu);
  EXPECT_EQ(px(2, 150), 0x9090FFu);
  EXPECT_EQ(px(1, 150), 0xA1A1FFu);
  EXPECT_EQ(px(20, 150), 0x0000FFu);
  // Band tops and bottoms step with the round spine.
  EXPECT_EQ(px(48, 16), 94u);
  EXPECT_EQ(px(48, 275), 94u);
  EXPECT_EQ(px(38, 277), 216u);
  EXPECT_NE(px(38, 278), 216u);
}

TEST(BookShape, CaptionRunsDownTheSpineInsideItsClip) {
  TBookShape book;
  // Twenty characters of 19 pixels do not fit: the clip must cut them at y = 273.
  MakeRedBook(book, "アルバムアルバムアルバムアルバムアルバム");
  Rendered px(book);
  const book::CaptionPlace place = book::PlaceCaption(50, 280, book.Font().Height);
  int inside = 0, outside = 0, minX = 50, maxX = -1;
  for (int y = 20; y < 280; ++y)
    for (int x = 0; x < 50; ++x) {
      if (px(x, y) != 0xFFFFFFu) continue;
      bool in = x >= place.clip.left && x < place.clip.right && y >= place.clip.top && y < place.clip.bottom;
      (in ? inside : outside)++;
      if (in) minX = std::min(minX, x), maxX = std::max(maxX, x);
    }
  EXPECT_GT(inside, 200);
  EXPECT_EQ(outside, 0);
  EXPECT_GE(minX, 15);
  EXPECT_LE(maxX, 33);

  // A short caption written top to bottom: its ink is taller than it is wide.
  TBookShape shortBook;
  MakeRedBook(shortBook, "旅行かぞく");
  Rendered px2(shortBook);
  int top = 280, bottom = -1, left = 50, right = -1;
  for (int y = 20; y < 280; ++y)
    for (int x = 0; x < 50; ++x)
      if (px2(x, y) == 0xFFFFFFu) top = std::min(top, y), bottom = std::max(bottom, y),
                                   left = std::min(left, x), right = std::max(right, x);
  ASSERT_GE(bottom, 0);
  EXPECT_GT(bottom - top, 3 * (right - left));
  EXPECT_GE(top, 25);  // starts at the text origin, 10 pixels below the top view
}

TEST(BookShape, FaceAlreadyVerticalIsUsedAsItIs) {
  // "@" is not doubled: "@@..." is no face, and the caption would fall back to a
  // horizontal font drawn sideways. Both books must come out the same.
  TBookShape plain, vertical;
  MakeRedBook(plain, "旅行");
  MakeRedBook(vertical, "旅行");
  FontDesc f = vertical.Font();
  f.Name = "@" + f.Name;
  vertical.SetFont(f);
  Rendered a(plain), b(vertical);
  int differ = 0;
  for (int y = 0; y < 280; ++y)
    for (int x = 0; x < 50; ++x) differ += a(x, y) != b(x, y);
  EXPECT_EQ(differ, 0);
}

}  // namespace
