#include "print/koumoku_size.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintStyles, FiveStylesWithTheirCellsAndListTexts) {
  std::vector<TKoumokuSize> styles = MakePrintStyles();
  ASSERT_EQ(styles.size(), 5u);
  const int sizes[5][2] = {{50, 27}, {61, 36}, {65, 39}, {50, 63}, {62, 68}};
  const char* texts[5] = {
      "極小(12x9mm)\r\n横  50mm\r\n縦  27mm",  " 小 (24x18mm)\r\n横  61mm\r\n縦  36mm",
      " 中 (36x27mm)\r\n横  65mm\r\n縦  39mm", " 大 (48x36mm)\r\n横  50mm\r\n縦  63mm",
      "特大(60x45mm)\r\n横  62mm\r\n縦  68mm"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetCellRect(styles[i]), (print::Rect{0, 0, sizes[i][0], sizes[i][1]}));
    EXPECT_EQ(StyleListText(styles[i]), texts[i]);
    // Every picture box is 4:3 landscape, 1 mm from the left and 6 mm down.
    const print::Rect& p = styles[i].PictureRect;
    EXPECT_EQ(p.Left, 1);
    EXPECT_EQ(p.Top, 6);
    EXPECT_EQ(p.Width() * 3, p.Height() * 4);
  }
}

TEST(PrintStyles, CaptionsIn11PointAndTheOtherAreasIn9PointGothic) {
  for (const TKoumokuSize& s : MakePrintStyles()) {
    EXPECT_EQ(s.CaptionArea.Font.Name, "ＭＳ ゴシック");
    EXPECT_EQ(s.CaptionArea.Font.Points(), 11);
    for (const TRectExt* a : {&s.SizeArea, &s.ExtraLineArea, &s.ExtraBoxArea}) {
      EXPECT_EQ(a->Font.Name, "ＭＳ ゴシック");
      EXPECT_EQ(a->Font.Points(), 9);
      EXPECT_TRUE(a->Visible);
    }
  }
}

TEST(PrintStyles, HiddenAreasDoNotWidenTheCell) {
  TKoumokuSize s = MakePrintStyles()[2];  // its extra box reaches 64, 33; the caption 64, 5
  s.CaptionArea.Visible = s.ExtraBoxArea.Visible = s.ExtraLineArea.Visible = false;
  // The size line (1, 34, 36, 38) and the picture box (to 37, 33) remain.
  EXPECT_EQ(GetCellRect(s), (print::Rect{0, 0, 38, 39}));
}

}  // namespace
