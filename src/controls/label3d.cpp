#include "controls/label3d.h"

#include "win/canvas.h"
#include "win/sjis.h"

TLabel3D::TLabel3D() { SetBounds(0, 0, 10, 10); }

void TLabel3D::SetMainColor(std::uint32_t color) {
  font_.Color = color;
  Invalidate();
}

void TLabel3D::SetUpColor(std::uint32_t color) {
  upColor_ = color;
  style_ = lsCustom;  // the colours no longer follow a style's system colours
  Invalidate();
}

void TLabel3D::SetDownColor(std::uint32_t color) {
  downColor_ = color;
  // The shadow of lsShadow is drawn in DownColor, so setting it keeps that style.
  if (style_ != lsShadow) style_ = lsCustom;
  Invalidate();
}

namespace {
// Stores a changed value and repaints; an equal value does nothing.
template <class T>
void Change(TLabel3D& label, T& field, T value) {
  if (field == value) return;
  field = value;
  label.Invalidate();
}
}  // namespace

void TLabel3D::SetAutoSize(bool on) { Change(*this, autoSize_, on); }

void TLabel3D::SetAlignment(TAlignment a) { Change(*this, alignment_, a); }

void TLabel3D::SetStyle(TLabelStyle style) {
  if (style == style_) return;
  style_ = style;
  if (style == lsLowered) {
    upColor_ = win::SysColor(COLOR_BTNSHADOW);
    downColor_ = win::SysColor(COLOR_BTNHIGHLIGHT);
  } else if (style == lsRaised) {
    upColor_ = win::SysColor(COLOR_BTNHIGHLIGHT);
    downColor_ = win::SysColor(COLOR_BTNSHADOW);
  }
  Invalidate();
}

void TLabel3D::SetShadowXOffset(int x) { Change(*this, shadowX_, x); }

void TLabel3D::SetShadowYOffset(int y) { Change(*this, shadowY_, y); }

void TLabel3D::SetFont(const FontDesc& font) {
  font_ = font;
  Invalidate();
}

void TLabel3D::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void TLabel3D::Paint(win::Canvas& canvas) {
  // Captions are at most 255 bytes; a longer one is cut at a whole character.
  const std::string text(sjis::Truncate(caption_, 255));
  const std::uint32_t faceColor = font_.Color;

  label3d::Metrics m;
  m.textHeight = canvas.TextExtent("Wg", font_).cy;
  m.textWidth = canvas.TextExtent(text, font_).cx;
  m.italic = font_.Italic;
  m.points = font_.Points();
  const label3d::Layout L = label3d::LayoutLabel(style_, shadowX_, shadowY_, m, autoSize_, Width());
  // A size change here makes the host paint once more, which finds the same size.
  if (L.height != Height() || L.width != Width()) SetBounds(Left(), Top(), L.width, L.height);

  const UINT align = alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
  const UINT format = DT_SINGLELINE | align;
  const bool enabled = Enabled();
  auto draw = [&](const label3d::Rect& r, std::uint32_t color) {
    FontDesc f = font_;
    f.Color = color;
    canvas.DrawText({r.left, r.top, r.right, r.bottom}, text, f, format);
  };
  draw(L.lower, enabled ? downColor_ : win::SysColor(COLOR_BTNFACE));
  if (L.hasUpper) draw(L.upper, enabled ? upColor_ : win::SysColor(COLOR_BTNHIGHLIGHT));
  draw(L.face, enabled ? faceColor : win::SysColor(COLOR_BTNSHADOW));
}
