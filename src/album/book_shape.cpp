#include "album/book_shape.h"

TBookShape::TBookShape() { SetBounds(0, 0, 60, 200); }

void TBookShape::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void TBookShape::SetColor(std::uint32_t color) {
  color_ = color;
  Invalidate();
}

void TBookShape::SetColorRate(std::uint8_t rate) {
  colorRate_ = rate;
  Invalidate();
}

void TBookShape::SetFont(const FontDesc& font) {
  font_ = font;
  Invalidate();
}

void TBookShape::Paint(win::Canvas& canvas) {
  canvas.Rectangle({0, 0, Width(), Height()}, color_, 0);
}
