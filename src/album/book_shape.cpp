#include "album/book_shape.h"

#include <vector>

#include "album/book_geometry.h"

namespace {
RECT ToRect(const book::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
POINT ToPoint(const book::Point& p) { return {p.x, p.y}; }
}  // namespace

TBookShape::TBookShape() { SetBounds(0, 0, 60, 200); }

void TBookShape::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void TBookShape::SetColor(std::uint32_t color) {
  color_ = color;
  Invalidate();
}

void TBookShape::SetColorRate(int rate) {
  colorRate_ = static_cast<std::uint8_t>(book::ClampColorRate(rate));
  Invalidate();
}

void TBookShape::SetFont(const FontDesc& font) {
  font_ = font;
  Invalidate();
}

void TBookShape::Paint(win::Canvas& canvas) {
  const int W = Width(), H = Height();
  const book::BookLayout L = book::LayoutBook(W, H, color_, colorRate_);
  constexpr std::uint32_t kGrey = 0x808080, kBlack = 0, kWhite = 0xFFFFFF;

  canvas.FillRect(ToRect(L.pagesTop), kWhite);
  for (int x : L.pageLines) canvas.Line({x, 3}, {x, book::kTopViewHeight + 4}, kGrey);
  canvas.Line(ToPoint(L.edgeLineFrom), ToPoint(L.edgeLineTo), kGrey);

  canvas.Rectangle(ToRect(L.leftCover), color_, kBlack);
  canvas.Rectangle(ToRect(L.rightCover), color_, kBlack);

  POINT spine[28];
  for (std::size_t i = 0; i < L.spine.size(); ++i) spine[i] = ToPoint(L.spine[i]);
  canvas.Polygon(spine, color_, kBlack);

  for (const book::Band& band : L.shadows) canvas.FillRect(ToRect(band.rect), band.color);
  for (const book::Band& band : L.highlights) canvas.FillRect(ToRect(band.rect), band.color);

  // Escapement 2700 turns the line downward; the "@" face stands each character upright
  // again, so the name reads top to bottom like the spine of a Japanese book.
  const book::CaptionPlace place = book::PlaceCaption(W, H, font_.Height);
  FontDesc vertical = font_;
  vertical.Name = book::VerticalFace(font_.Name);
  vertical.Escapement = 2700;
  vertical.CharSet = 128;
  canvas.TextRect(ToRect(place.clip), place.origin.x, place.origin.y, caption_, vertical);
}
