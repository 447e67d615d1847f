#include "win/scroll_box.h"

#include <algorithm>

namespace win {

void ScrollBox::Create(HWND parent, int id) {
  CreateArgs a;
  a.style = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  a.exStyle = WS_EX_CLIENTEDGE;
  a.x = a.y = a.width = a.height = 0;
  a.parent = parent;
  a.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  a.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  CreateWindowOf(a);
}

int ScrollBox::MaxPosition() const {
  return std::max(0, range_ - static_cast<int>(ClientRect().right));
}

void ScrollBox::UpdateRange() {
  if (!hwnd_ || updating_) return;
  // Showing or hiding the scroll bar changes the client size and sends WM_SIZE back here.
  updating_ = true;
  int right = 0;
  for (GraphicControl* g : Graphics())
    if (g->Visible()) right = std::max(right, g->Left() + g->Width() + pos_);
  range_ = right;
  SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS};
  si.nMin = 0;
  si.nMax = std::max(0, range_ - 1);
  si.nPage = static_cast<UINT>(ClientRect().right);
  si.nPos = pos_;
  SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
  updating_ = false;
  if (pos_ > MaxPosition()) ScrollTo(MaxPosition());
}

void ScrollBox::ScrollTo(int pos) {
  pos = std::clamp(pos, 0, MaxPosition());
  int delta = pos - pos_;
  if (delta == 0) return;
  pos_ = pos;
  for (GraphicControl* g : Graphics()) g->SetLeft(g->Left() - delta);
  SetScrollPos(hwnd_, SB_HORZ, pos_, TRUE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT ScrollBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_HSCROLL: {
      int page = ClientRect().right;
      int pos = pos_;
      switch (LOWORD(wp)) {
        case SB_LINELEFT: pos -= 8; break;
        case SB_LINERIGHT: pos += 8; break;
        case SB_PAGELEFT: pos -= page; break;
        case SB_PAGERIGHT: pos += page; break;
        case SB_LEFT: pos = 0; break;
        case SB_RIGHT: pos = MaxPosition(); break;
        case SB_THUMBTRACK: case SB_THUMBPOSITION: {
          SCROLLINFO si{sizeof(si), SIF_TRACKPOS};
          GetScrollInfo(hwnd_, SB_HORZ, &si);
          pos = si.nTrackPos;
          break;
        }
      }
      ScrollTo(pos);
      return 0;
    }
    case WM_SIZE:
      UpdateRange();
      if (!updating_ && OnResize) OnResize();
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}

}  // namespace win
