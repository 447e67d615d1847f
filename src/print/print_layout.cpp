#include "print/print_layout.h"

#include <cmath>
#include <cstdint>

namespace print {

namespace {
// The free border of a page: 10 mm left and right, 10 mm top and bottom for the grid (the
// cells start 15 mm down, under the heading).
constexpr int kMarginSum = 20, kLeftMargin = 10, kTopMargin = 15;
// The preview's paper box in the preview panel.
constexpr int kBoxWidth = 190, kBoxHeight = 270, kBoxLeft = 26, kBoxTop = 36, kCentreX = 121, kCentreY = 171;
}  // namespace

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

int MmToDots(int mm, int dpi) { return static_cast<int>(static_cast<std::int64_t>(mm) * 10 * dpi / 254); }

Rect ScaleRect(const Rect& r, double factor) {
  return {RoundEven(r.Left * factor), RoundEven(r.Top * factor), RoundEven(r.Right * factor),
          RoundEven(r.Bottom * factor)};
}

Rect AreaToDots(const Rect& area, int dpiX, int dpiY, int cellX, int cellY) {
  return {cellX + MmToDots(area.Left, dpiX), cellY + MmToDots(area.Top, dpiY), cellX + MmToDots(area.Right, dpiX),
          cellY + MmToDots(area.Bottom, dpiY)};
}

PageGrid GridMm(int horzSizeMm, int vertSizeMm, int cellW, int cellH) {
  PageGrid g;
  const int freeW = horzSizeMm - kMarginSum, freeH = vertSizeMm - kMarginSum;
  if (cellW <= 0 || cellH <= 0 || freeW < cellW || freeH < cellH) return g;
  g.Columns = freeW / cellW;
  g.ColumnPitch = freeW / g.Columns;
  g.GapX = (freeW - g.Columns * cellW) / (g.Columns + 1);
  g.Rows = freeH / cellH;
  g.RowPitch = freeH / g.Rows;
  g.GapY = (freeH - g.Rows * cellH) / (g.Rows + 1);
  return g;
}

Point CellCornerMm(const PageGrid& grid, int i, int j) {
  return {i * grid.ColumnPitch + kLeftMargin + grid.GapX, j * grid.RowPitch + kTopMargin + grid.GapY};
}

Point JobLayout::CellCorner(int k) const {
  if (Columns <= 0) return {LeftOrigin, TopOrigin};
  return {k % Columns * ColumnPitch + LeftOrigin, k / Columns * RowPitch + TopOrigin};
}

JobLayout LayoutJob(const Rect& pictureRect, int cellW, int cellH, int dpiX, int dpiY, int horzRes, int vertRes,
                    int horzSizeMm, int vertSizeMm) {
  JobLayout L;
  L.DpiX = dpiX;
  L.DpiY = dpiY;
  L.BoxWidth = MmToDots(pictureRect.Width(), dpiX);
  L.BoxHeight = MmToDots(pictureRect.Height(), dpiY);
  L.CellWidth = cellW;
  L.CellHeight = cellH;
  L.Heading = {0, dpiY * 50 / 254};
  // The same columns, rows and gaps as the preview's grid in mm; the pitches are taken from
  // the printable area in dots, so the cells spread over the whole width of the printer.
  const PageGrid mm = GridMm(horzSizeMm, vertSizeMm, cellW, cellH);
  if (mm.Empty()) return L;
  L.Columns = mm.Columns;
  L.Rows = mm.Rows;
  L.ColumnPitch = (horzRes - dpiX * 200 / 254) / L.Columns;
  L.RowPitch = (vertRes - dpiY * 200 / 254) / L.Rows;
  L.LeftOrigin = MmToDots(mm.GapX + kLeftMargin, dpiX);
  L.TopOrigin = MmToDots(mm.GapY + kTopMargin, dpiY);
  L.CellsPerPage = L.Columns * L.Rows;
  L.Heading.X = L.LeftOrigin;
  return L;
}

Rect FitPicture(int picW, int picH, int boxW, int boxH) {
  if (picW <= 0 || picH <= 0 || boxW <= 0 || boxH <= 0) return {};
  const double rw = static_cast<double>(picW) / boxW, rh = static_cast<double>(picH) / boxH;
  if (rw > rh) {
    const int h = static_cast<int>(static_cast<std::int64_t>(picH) * boxW / picW);
    const int d = (boxH - h) / 2;
    return {0, d, boxW, d + h};
  }
  const int w = static_cast<int>(static_cast<std::int64_t>(picW) * boxH / picH);
  const int d = (boxW - w) / 2;
  return {d, 0, d + w, boxH};
}

PreviewPage FitPaper(int paperW, int paperH) {
  PreviewPage p;
  if (paperW <= 0 || paperH <= 0) {
    p.Page = {kCentreX, kCentreY, kCentreX, kCentreY};
    return p;
  }
  if (static_cast<double>(paperH) / kBoxHeight >= static_cast<double>(paperW) / kBoxWidth) {
    p.Scale = static_cast<double>(kBoxHeight) / paperH;
    const int w = static_cast<int>(static_cast<std::int64_t>(paperW) * kBoxHeight / paperH);
    p.Page.Left = kCentreX - w / 2;
    p.Page.Top = kBoxTop;
    p.Page.Right = p.Page.Left + w;
    p.Page.Bottom = kBoxTop + kBoxHeight;
  } else {
    p.Scale = static_cast<double>(kBoxWidth) / paperW;
    const int h = static_cast<int>(static_cast<std::int64_t>(paperH) * kBoxWidth / paperW);
    p.Page.Left = kBoxLeft;
    p.Page.Top = kCentreY - h / 2;
    p.Page.Right = kBoxLeft + kBoxWidth;
    p.Page.Bottom = p.Page.Top + h;
  }
  return p;
}

SampleFrame FitSample(int bmpW, int bmpH, int cellW, int cellH, const Rect& target) {
  SampleFrame s;
  if (cellW <= 0 || cellH <= 0) return s;
  if (static_cast<long double>(bmpW) / cellW > static_cast<long double>(bmpH) / cellH) {
    s.Scale = static_cast<double>(bmpH) / cellH;
    const int w = RoundEven(static_cast<double>(cellW) * bmpH / cellH);
    s.Frame.Left = (bmpW - w) / 2 + target.Left;
    s.Frame.Top = target.Top;
    s.Frame.Right = s.Frame.Left + w;
    s.Frame.Bottom = s.Frame.Top + bmpH;
  } else {
    s.Scale = static_cast<double>(bmpW) / cellW;
    const int h = RoundEven(static_cast<double>(cellH) * bmpW / cellW);
    s.Frame.Left = target.Left;
    s.Frame.Top = (bmpH - h) / 2 + target.Top;
    s.Frame.Right = s.Frame.Left + bmpW;
    s.Frame.Bottom = s.Frame.Top + h;
  }
  return s;
}

}  // namespace print
