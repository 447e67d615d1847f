#include "win/panel.h"

namespace win {

namespace {
constexpr int kBevel = 1;
}

void Panel::Create(HWND parent, int id, std::uint32_t color, int borderWidth) {
  color_ = color;
  border_ = borderWidth;
  brush_.Reset(CreateSolidBrush(color));
  CreateArgs a;
  a.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  a.classStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;  // the bevel moves with the edges
  a.x = a.y = a.width = a.height = 0;
  a.parent = parent;
  a.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  CreateWindowOf(a);
}

RECT Panel::InnerRect() const {
  RECT r = ClientRect();
  InflateRect(&r, -(kBevel + border_), -(kBevel + border_));
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

LRESULT Panel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wp);
      RECT r = ClientRect();
      ::FillRect(dc, &r, brush_);
      // The raised bevel: light on the top and left, dark on the bottom and right.
      Canvas c(dc);
      c.PolyLine(std::initializer_list<POINT>{{0, r.bottom - 1}, {0, 0}, {r.right - 1, 0}}, SysColor(COLOR_BTNHIGHLIGHT));
      c.PolyLine(std::initializer_list<POINT>{{r.right - 1, 0}, {r.right - 1, r.bottom - 1}, {-1, r.bottom - 1}},
                 SysColor(COLOR_BTNSHADOW));
      return 1;
    }
    case WM_SIZE:
      if (OnResize) OnResize();
      return 0;
    case WM_CTLCOLORLISTBOX:
      SetBkColor(reinterpret_cast<HDC>(wp), color_);
      return reinterpret_cast<LRESULT>(brush_.Get());
    case WM_COMMAND: case WM_NOTIFY: {
      // The child's own object first; what it leaves goes to the window holding the panel.
      HWND from = msg == WM_NOTIFY ? reinterpret_cast<NMHDR*>(lp)->hwndFrom : reinterpret_cast<HWND>(lp);
      if (auto* c = dynamic_cast<Control*>(FromHandle(from))) {
        LRESULT r = 0;
        if (c->OnReflect(msg, wp, lp, r)) return r;
      }
      return SendMessageW(GetParent(hwnd_), msg, wp, lp);
    }
    case WM_CONTEXTMENU:
      // Passed on as it came, naming the child that was clicked (Wine's default handling would
      // name the panel instead).
      return SendMessageW(GetParent(hwnd_), msg, wp, lp);
  }
  return Window::HandleMessage(msg, wp, lp);
}

}  // namespace win
