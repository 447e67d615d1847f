#include "print/print_layout.h"

#include <gtest/gtest.h>

#include "print/koumoku_size.h"

namespace print {
namespace {

// Style index 1, " 小 (24x18mm)": a 61 x 36 mm cell with its picture box at (1, 6, 25, 24).
const Rect kSmallPicture{1, 6, 25, 24};

TEST(PrintLayout, GridOnA200x287mmArea) {
  PageGrid g = GridMm(200, 287, 61, 36);
  EXPECT_EQ(g.Columns, 2);
  EXPECT_EQ(g.ColumnPitch, 90);
  EXPECT_EQ(g.GapX, 19);
  EXPECT_EQ(g.Rows, 7);
  EXPECT_EQ(g.RowPitch, 38);
  EXPECT_EQ(g.GapY, 1);
  EXPECT_EQ(CellCornerMm(g, 0, 0), (Point{29, 16}));
  EXPECT_EQ(CellCornerMm(g, 1, 0), (Point{119, 16}));
  EXPECT_EQ(CellCornerMm(g, 1, 6), (Point{119, 16 + 6 * 38}));
}

TEST(PrintLayout, JobAt600DpiOn4724x6779Dots) {
  JobLayout L = LayoutJob(kSmallPicture, 61, 36, 600, 600, 4724, 6779, 200, 287);
  EXPECT_EQ(L.BoxWidth, 566);
  EXPECT_EQ(L.BoxHeight, 425);
  EXPECT_EQ(L.Columns, 2);
  EXPECT_EQ(L.ColumnPitch, 2126);
  EXPECT_EQ(L.Rows, 7);
  EXPECT_EQ(L.RowPitch, 901);
  EXPECT_EQ(L.LeftOrigin, 685);
  EXPECT_EQ(L.TopOrigin, 377);
  EXPECT_EQ(L.CellsPerPage, 14);
  EXPECT_EQ(L.Heading, (Point{685, 118}));

  // A 1600 x 1200 picture in the first cell, its name and its size line.
  Point cell = L.CellCorner(0);
  Rect pic = FitPicture(1600, 1200, L.BoxWidth, L.BoxHeight)
                 .Offset(MmToDots(kSmallPicture.Left, 600) + cell.X, MmToDots(kSmallPicture.Top, 600) + cell.Y);
  EXPECT_EQ(pic, (Rect{708, 518, 1274, 942}));
  EXPECT_EQ(AreaToDots({1, 1, 60, 5}, 600, 600, cell.X, cell.Y), (Rect{708, 400, 2102, 495}));
  EXPECT_EQ(AreaToDots({26, 6, 60, 10}, 600, 600, cell.X, cell.Y), (Rect{1299, 518, 2102, 613}));
  // The second column's picture box, and cells filling the page row by row.
  EXPECT_EQ(L.CellCorner(1).X + MmToDots(kSmallPicture.Left, 600), 2834);
  EXPECT_EQ(L.CellCorner(2), (Point{685, 377 + 901}));
  EXPECT_EQ(L.CellCorner(13), (Point{685 + 2126, 377 + 6 * 901}));
}

TEST(PrintLayout, CellTooLargeForThePaperGivesNoGridAndNoDivision) {
  // 40 mm less 20 mm of margins leaves less than one 61 mm cell.
  EXPECT_TRUE(GridMm(40, 287, 61, 36).Empty());
  EXPECT_TRUE(GridMm(200, 50, 61, 36).Empty());
  EXPECT_TRUE(GridMm(10, 10, 61, 36).Empty());
  JobLayout L = LayoutJob(kSmallPicture, 61, 36, 300, 300, 472, 6779, 40, 287);
  EXPECT_TRUE(L.Empty());
  EXPECT_EQ(L.CellsPerPage, 0);
  EXPECT_EQ(L.CellCorner(5), (Point{L.LeftOrigin, L.TopOrigin}));
  // Exactly one cell fits when the free width equals the cell.
  EXPECT_EQ(GridMm(81, 56, 61, 36).Columns, 1);
  EXPECT_EQ(GridMm(81, 56, 61, 36).Rows, 1);
}

TEST(PrintLayout, PictureFitsItsBoxKeepingItsAspect) {
  EXPECT_EQ(FitPicture(1600, 1200, 566, 425), (Rect{0, 0, 566, 424}));
  // Portrait: full height, centred across.
  EXPECT_EQ(FitPicture(1200, 1600, 566, 425), (Rect{124, 0, 442, 425}));
  // Wider than 4:3: full width, centred down.
  EXPECT_EQ(FitPicture(1000, 100, 566, 425), (Rect{0, 184, 566, 240}));
  // Smaller pictures are enlarged.
  EXPECT_EQ(FitPicture(40, 30, 566, 425), (Rect{0, 0, 566, 424}));
  // A picture without a size, or no box, draws nothing.
  EXPECT_EQ(FitPicture(0, 1200, 566, 425), Rect{});
  EXPECT_EQ(FitPicture(1600, 0, 566, 425), Rect{});
  EXPECT_EQ(FitPicture(1600, 1200, 0, 425), Rect{});
  // Huge sizes do not overflow.
  EXPECT_EQ(FitPicture(65535, 65535, 60000, 60000), (Rect{0, 0, 60000, 60000}));
}

TEST(PrintLayout, PreviewOfPortraitA4At600DpiIsWidthLimited) {
  PreviewPage p = FitPaper(4961, 7016);
  EXPECT_DOUBLE_EQ(p.Scale, 190.0 / 4961);
  EXPECT_EQ(p.Page, (Rect{26, 37, 216, 305}));
  // About 0.905 preview pixels per mm; a style-1 cell becomes a 55 x 33 bitmap.
  double k = 600 * p.Scale / 25.4;
  EXPECT_NEAR(k, 0.905, 0.0005);
  Rect cell = ScaleRect({0, 0, 61, 36}, k);
  EXPECT_EQ(cell.Right, 55);
  EXPECT_EQ(cell.Bottom, 33);
}

TEST(PrintLayout, PreviewOfLandscapeAndLegalPaper) {
  PreviewPage landscape = FitPaper(7016, 4961);
  EXPECT_EQ(landscape.Page.Left, 26);
  EXPECT_EQ(landscape.Page.Right, 216);
  EXPECT_EQ(landscape.Page.Top, 171 - (4961 * 190 / 7016) / 2);
  EXPECT_EQ(landscape.Page.Bottom, landscape.Page.Top + 4961 * 190 / 7016);
  // 8.5 x 14 inch legal at 600 dpi is taller than 270/190 of its width.
  PreviewPage legal = FitPaper(5100, 8400);
  EXPECT_DOUBLE_EQ(legal.Scale, 270.0 / 8400);
  EXPECT_EQ(legal.Page.Top, 36);
  EXPECT_EQ(legal.Page.Bottom, 306);
  const int w = 5100 * 270 / 8400;
  EXPECT_EQ(legal.Page, (Rect{121 - w / 2, 36, 121 - w / 2 + w, 306}));
  // A device that reports no paper size gives an empty page instead of dividing by zero.
  EXPECT_EQ(FitPaper(0, 7016).Page.Width(), 0);
  EXPECT_EQ(FitPaper(4961, 0).Scale, 0);
}

TEST(PrintLayout, ScaleRectRoundsHalvesToEven) {
  EXPECT_EQ(ScaleRect({1, 3, 5, 7}, 0.5), (Rect{0, 2, 2, 4}));
  EXPECT_EQ(ScaleRect({-1, -3, 10, 11}, 0.5), (Rect{0, -2, 5, 6}));
  EXPECT_EQ(RoundEven(2.5000001), 3);
}

TEST(PrintLayout, StyleSampleIsCentredInItsBitmap) {
  // 61 x 36 in a 52 x 52 square: full width, 31 pixels high, centred down.
  SampleFrame s = FitSample(52, 52, 61, 36, {0, 0, 52, 52});
  EXPECT_DOUBLE_EQ(s.Scale, 52.0 / 61);
  EXPECT_EQ(s.Frame, (Rect{0, 10, 52, 41}));
  // 50 x 63 (style 3) is taller than wide: full height, centred across.
  s = FitSample(52, 52, 50, 63, {0, 0, 52, 52});
  EXPECT_DOUBLE_EQ(s.Scale, 52.0 / 63);
  EXPECT_EQ(s.Frame, (Rect{5, 0, 46, 52}));
  // The target's corner moves the frame.
  s = FitSample(55, 33, 61, 36, {3, 4, 58, 37});
  EXPECT_EQ(s.Frame, (Rect{3, 4, 58, 36}));
}

TEST(PrintLayout, EveryStyleFitsA4AtThreeHundredDpi) {
  // The PDF printer's page: 2479 x 3508 dots, 209 x 297 mm, 300 dpi.
  const int cells[5][2] = {{3, 10}, {3, 7}, {2, 7}, {3, 4}, {3, 4}};
  std::vector<TKoumokuSize> styles = MakePrintStyles();
  for (std::size_t i = 0; i < styles.size(); ++i) {
    SCOPED_TRACE(i);
    Rect cell = GetCellRect(styles[i]);
    JobLayout L = LayoutJob(styles[i].PictureRect, cell.Right, cell.Bottom, 300, 300, 2479, 3508, 209, 297);
    EXPECT_EQ(L.Columns, cells[i][0]);
    EXPECT_EQ(L.Rows, cells[i][1]);
    // The last cell's right and bottom edges stay on the printable area.
    Point last = L.CellCorner(L.CellsPerPage - 1);
    EXPECT_LE(last.X + MmToDots(cell.Right, 300), 2479);
    EXPECT_LE(last.Y + MmToDots(cell.Bottom, 300), 3508);
  }
}

}  // namespace
}  // namespace print
