#include "win/speed_button.h"

namespace win {

void SpeedButton::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void SpeedButton::SetFont(const FontDesc& font) {
  font_ = font;
  Invalidate();
}

void SpeedButton::SetDown(bool down) {
  if (down == down_) return;
  down_ = down;
  Invalidate();
}

void SpeedButton::Paint(Canvas& canvas) {
  RECT r{0, 0, Width(), Height()};
  DrawFrameControl(canvas.Dc(), &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down_ ? DFCS_PUSHED : 0u));
  FontDesc f = font_;
  f.Color = SysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  if (down_) OffsetRect(&r, 1, 1);
  canvas.DrawText(r, caption_, f, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

void SpeedButton::MouseDown(int button, int x, int y) {
  if (!Enabled()) return;
  if (button == 0) {
    held_ = true;
    SetDown(true);
  }
  GraphicControl::MouseDown(button, x, y);
}

void SpeedButton::MouseMove(int x, int y) {
  if (held_) SetDown(x >= 0 && y >= 0 && x < Width() && y < Height());
  GraphicControl::MouseMove(x, y);
}

void SpeedButton::MouseUp(int button, int x, int y, bool inside) {
  if (!Enabled()) return;
  held_ = false;
  SetDown(false);
  GraphicControl::MouseUp(button, x, y, inside);
}

void SpeedButton::DblClick() {
  if (!Enabled()) return;
  if (OnClick) OnClick(*this);
  GraphicControl::DblClick();
}

}  // namespace win
