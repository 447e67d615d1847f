#include "album/book_geometry.h"

#include <gtest/gtest.h>

namespace book {
namespace {

std::uint8_t Red(std::uint32_t c) { return c & 0xFF; }
std::uint8_t Green(std::uint32_t c) { return c >> 8 & 0xFF; }
std::uint8_t Blue(std::uint32_t c) { return c >> 16 & 0xFF; }

TEST(BookGeometry, RedBookAtRate85) {
  BookLayout L = LayoutBook(50, 280, 0x0000FF, 85);
  EXPECT_EQ(L.a, (std::array<int, 3>{2, 6, 12}));
  EXPECT_EQ(L.b, (std::array<int, 3>{47, 43, 37}));

  const int left[6] = {37, 41, 43, 46, 47, 48}, right[6] = {41, 44, 46, 48, 49, 49};
  const int red[6] = {216, 183, 155, 131, 111, 94};
  const int hl[6] = {9, 6, 4, 2, 1, 1}, hr[6] = {13, 9, 7, 4, 3, 2};
  const int light[6] = {39, 72, 100, 124, 144, 161};
  const int tops[6] = {18, 18, 17, 17, 16, 16}, bottoms[6] = {278, 278, 277, 277, 276, 276};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(L.shadows[i].rect, (Rect{left[i], tops[i], right[i], bottoms[i]}));
    EXPECT_EQ(L.shadows[i].color, static_cast<std::uint32_t>(red[i]));
    EXPECT_EQ(L.highlights[i].rect, (Rect{hl[i], tops[i], hr[i], bottoms[i]}));
    EXPECT_EQ(Red(L.highlights[i].color), 255);
    EXPECT_EQ(Green(L.highlights[i].color), light[i]);
    EXPECT_EQ(Blue(L.highlights[i].color), light[i]);
  }
}

TEST(BookGeometry, SpineDipsThreeStepsAtTopAndBottom) {
  BookLayout L = LayoutBook(50, 280, 0x0000FF, 85);
  ASSERT_EQ(L.spine.size(), 28u);
  EXPECT_EQ(L.spine[0], (Point{0, 15}));
  EXPECT_EQ(L.spine[6], (Point{12, 18}));
  EXPECT_EQ(L.spine[7], (Point{37, 18}));
  EXPECT_EQ(L.spine[13], (Point{49, 15}));
  EXPECT_EQ(L.spine[14], (Point{49, 276}));
  EXPECT_EQ(L.spine[20], (Point{37, 279}));
  EXPECT_EQ(L.spine[21], (Point{12, 279}));
  EXPECT_EQ(L.spine[27], (Point{0, 276}));
  // Every edge is horizontal or vertical, which is what gives the stepped round look.
  for (std::size_t i = 0; i < L.spine.size(); ++i) {
    Point p = L.spine[i], q = L.spine[(i + 1) % L.spine.size()];
    EXPECT_TRUE(p.x == q.x || p.y == q.y) << i;
  }
}

TEST(BookGeometry, TopViewAndCovers) {
  BookLayout L = LayoutBook(50, 280, 0xFF0000, 85);
  EXPECT_EQ(L.pagesTop, (Rect{0, 3, 50, 19}));
  ASSERT_EQ(L.pageLines.size(), 17u);  // m = 16, lines at 1, 4, ... 49
  EXPECT_EQ(L.pageLines.front(), 1);
  EXPECT_EQ(L.pageLines.back(), 49);
  EXPECT_EQ(L.edgeLineTo, (Point{49, 2}));
  EXPECT_EQ(L.leftCover, (Rect{0, 0, 2, 15}));
  EXPECT_EQ(L.rightCover, (Rect{48, 0, 50, 15}));
  // Width 60: m = 19, x0 = 1, so the lines run 1, 4, ... 58.
  BookLayout W60 = LayoutBook(60, 200, 0, 85);
  EXPECT_EQ(W60.pageLines.size(), 20u);
  EXPECT_EQ(W60.pageLines.front(), 1);
}

TEST(BookGeometry, RatesAtTheEndsOfTheRange) {
  BookLayout full = LayoutBook(50, 280, 0x336699, 100);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(full.shadows[i].color, 0x336699u);
    EXPECT_EQ(full.highlights[i].color, 0x336699u);
  }
  BookLayout low = LayoutBook(50, 280, 0x00FF00, 60);
  const int green[6] = {153, 91, 54, 32, 19, 11};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Green(low.shadows[i].color), green[i]);
    EXPECT_EQ(Red(low.shadows[i].color), 0);
  }
  // Out-of-range rates are held to 60..100, so no component leaves its byte.
  EXPECT_EQ(LayoutBook(50, 280, 0xFFFFFF, 200).shadows[0].color, 0xFFFFFFu);
  EXPECT_EQ(LayoutBook(50, 280, 0, 0).highlights[0].color, LayoutBook(50, 280, 0, 60).highlights[0].color);
}

TEST(BookGeometry, CaptionIsCentredAndClippedToTheSpine) {
  CaptionPlace p = PlaceCaption(50, 280, -19);
  EXPECT_EQ(p.clip, (Rect{15, 20, 34, 273}));
  EXPECT_EQ(p.origin, (Point{34, 25}));
  EXPECT_EQ(PlaceCaption(50, 280, 19).clip, p.clip);
  EXPECT_EQ(PlaceCaption(50, 280, -13).clip.left, 18);  // (50 - 13) div 2
}

TEST(BookGeometry, VerticalFaceIsPrefixedOnce) {
  EXPECT_EQ(VerticalFace("ＭＳ 明朝"), "@ＭＳ 明朝");
  EXPECT_EQ(VerticalFace("@ＭＳ 明朝"), "@ＭＳ 明朝");
  EXPECT_EQ(VerticalFace(""), "@");
}

}  // namespace
}  // namespace book
