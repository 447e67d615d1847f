#include "win/splitter.h"

namespace win {

void Splitter::Create(HWND parent, bool vertical, std::uint32_t color) {
  vertical_ = vertical;
  brush_.Reset(CreateSolidBrush(color));
  CreateArgs a;
  a.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  a.x = a.y = a.width = a.height = 0;
  a.parent = parent;
  // The colour is painted here, not given to the window class: classes are shared by the
  // combination of their settings, and a brush is not lasting enough to name one.
  a.cursor = LoadCursorW(nullptr, vertical ? IDC_SIZEWE : IDC_SIZENS);
  CreateWindowOf(a);
}

int Splitter::ScreenPos() const {
  POINT p{};
  GetCursorPos(&p);
  return vertical_ ? p.x : p.y;
}

LRESULT Splitter::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (GetSize && SetSize) {
        dragging_ = true;
        startSize_ = GetSize();
        startPos_ = ScreenPos();
        SetCapture(hwnd_);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) SetSize(startSize_ + ScreenPos() - startPos_);
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragging_ = false;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return 0;
    case WM_ERASEBKGND: {
      RECT r = ClientRect();
      FillRect(reinterpret_cast<HDC>(wp), &r, brush_);
      return 1;
    }
  }
  return Window::HandleMessage(msg, wp, lp);
}

}  // namespace win
