#include "album/book_shape.h"

#include <vector>

#include "album/book_geometry.h"

namespace {
RECT ToRect(const book::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
POINT ToPoint(const book::Point& p) { return {p.x, p.y}; }
}  // namespace

TBookShape::TBookShape(std::shared_ptr<TAlbum> album)
    : album_(album ? std::move(album) : std::make_shared<TAlbum>()) {
  SetBounds(0, 0, 60, 200);
}

void TBookShape::SetCaption(std::string caption) {
  album_->Caption = std::move(caption);
  Invalidate();
}

void TBookShape::SetColor(std::uint32_t color) {
  album_->Color = color;
  Invalidate();
}

void TBookShape::SetColorRate(int rate) {
  colorRate_ = static_cast<std::uint8_t>(book::ClampColorRate(rate));
  Invalidate();
}

void TBookShape::SetFont(const FontDesc& font) {
  album_->Font = font;
  Invalidate();
}

void TBookShape::Paint(win::Canvas& canvas) {
  const int W = Width(), H = Height();
  const TAlbum& album = *album_;
  const book::BookLayout L = book::LayoutBook(W, H, album.Color, colorRate_);
  constexpr std::uint32_t kGrey = 0x808080, kBlack = 0, kWhite = 0xFFFFFF;

  canvas.FillRect(ToRect(L.pagesTop), kWhite);
  for (int x : L.pageLines) canvas.Line({x, 3}, {x, book::kTopViewHeight + 4}, kGrey);
  canvas.Line(ToPoint(L.edgeLineFrom), ToPoint(L.edgeLineTo), kGrey);

  canvas.Rectangle(ToRect(L.leftCover), album.Color, kBlack);
  canvas.Rectangle(ToRect(L.rightCover), album.Color, kBlack);

  POINT spine[28];
  for (std::size_t i = 0; i < L.spine.size(); ++i) spine[i] = ToPoint(L.spine[i]);
  canvas.Polygon(spine, album.Color, kBlack);

  for (const book::Band& band : L.shadows) canvas.FillRect(ToRect(band.rect), band.color);
  for (const book::Band& band : L.highlights) canvas.FillRect(ToRect(band.rect), band.color);

  const book::CaptionPlace place = book::PlaceCaption(W, H, album.Font.Height);
  canvas.TextRect(ToRect(place.clip), place.origin.x, place.origin.y, album.Caption, VerticalFont());
}

FontDesc TBookShape::VerticalFont() const {
  // Escapement 2700 turns the line downward; the "@" face stands each character upright
  // again, so the name reads top to bottom like the spine of a Japanese book.
  FontDesc vertical = album_->Font;
  vertical.Name = book::VerticalFace(album_->Font.Name);
  vertical.Escapement = 2700;
  vertical.CharSet = 128;
  return vertical;
}

bool TBookShape::CaptionCut() const {
  const book::CaptionPlace place = book::PlaceCaption(Width(), Height(), album_->Font.Height);
  HDC screen = GetDC(nullptr);
  // The advance along the line is the same whatever way the line runs.
  const SIZE size = win::Canvas(screen).TextExtent(album_->Caption, VerticalFont());
  ReleaseDC(nullptr, screen);
  return size.cx > place.clip.bottom - place.origin.y;
}
