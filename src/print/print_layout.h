// The arithmetic of a contact sheet: cells on a page in millimetres and printer dots, the
// picture fitted into its box, and the scaled page and cell diagram of the preview. Pure
// integer arithmetic (div truncates toward zero; "round" goes to the nearest integer, halves
// to the even neighbour), so every number of a printed page can be checked without a printer.
#pragma once

namespace print {

struct Point {
  int X = 0, Y = 0;
  bool operator==(const Point&) const = default;
};

// Left, top, right, bottom; right and bottom excluded.
struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  Rect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  bool operator==(const Rect&) const = default;
};

// Nearest integer, halves to the even neighbour.
int RoundEven(double v);

// Millimetres to printer dots: mm × 10 × dpi div 254, multiplied first, divided last.
int MmToDots(int mm, int dpi);

// Each coordinate multiplied by factor and rounded.
Rect ScaleRect(const Rect& r, double factor);

// A text area of a cell (in mm from the cell's corner) in dots, for the cell whose corner is
// (cellX, cellY) in dots.
Rect AreaToDots(const Rect& area, int dpiX, int dpiY, int cellX, int cellY);

// How cells W × H mm share a printable area: 10 mm are kept free on each side (the top
// margin is 15 mm, the heading sits in it); what is left over is spread as gaps.
struct PageGrid {
  int Columns = 0, Rows = 0;
  int ColumnPitch = 0, RowPitch = 0;  // mm
  int GapX = 0, GapY = 0;             // mm
  // A cell larger than the printable area less 20 mm gives no grid at all.
  bool Empty() const { return Columns <= 0 || Rows <= 0; }
};
PageGrid GridMm(int horzSizeMm, int vertSizeMm, int cellW, int cellH);
// The corner, in mm from the page origin, of the cell in column i and row j.
Point CellCornerMm(const PageGrid& grid, int i, int j);

// Everything the print job needs about its page, in printer dots from the printable area's
// origin, computed once when the job starts.
struct JobLayout {
  int DpiX = 0, DpiY = 0;
  int BoxWidth = 0, BoxHeight = 0;  // the picture box
  int CellWidth = 0, CellHeight = 0;  // mm
  int Columns = 0, Rows = 0;
  int ColumnPitch = 0, RowPitch = 0;
  int LeftOrigin = 0, TopOrigin = 0;
  int CellsPerPage = 0;
  Point Heading;  // where the folder heading is printed: 5 mm below the top of the printable area
  bool Empty() const { return CellsPerPage <= 0; }
  // The corner of the k-th cell of a page; cells fill a page row by row, left to right.
  Point CellCorner(int k) const;
};
// pictureRect and the cell are in mm; the printable area is horzRes × vertRes dots and
// horzSizeMm × vertSizeMm millimetres.
JobLayout LayoutJob(const Rect& pictureRect, int cellW, int cellH, int dpiX, int dpiY, int horzRes, int vertRes,
                    int horzSizeMm, int vertSizeMm);

// The rectangle, inside a box boxW × boxH from (0, 0), that a picture picW × picH fills when
// fitted with its aspect kept and centred along the other side; smaller pictures are enlarged.
// A picture without width or height gets an empty rectangle.
Rect FitPicture(int picW, int picH, int boxW, int boxH);

// The preview's page: a paper of paperW × paperH dots fitted into 190 × 270 pixels centred on
// (121, 171) of the preview panel; Scale is preview pixels per printer dot.
struct PreviewPage {
  double Scale = 0;
  Rect Page;
};
PreviewPage FitPaper(int paperW, int paperH);

// Where a cell diagram of cellW × cellH mm goes in a bitmap of bmpW × bmpH pixels: the largest
// that fits, centred along the other side, moved by the target's corner; Scale is pixels per mm.
struct SampleFrame {
  double Scale = 0;
  Rect Frame;
};
SampleFrame FitSample(int bmpW, int bmpH, int cellW, int cellH, const Rect& target);

}  // namespace print
