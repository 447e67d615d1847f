#include "catalogue/list_box_width.h"

#include <windowsx.h>

void TListBoxWidth::Create(HWND parent, int id, int x, int y, int w, int h) {
  CreateControl(L"LISTBOX", parent, id,
                WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | LBS_MULTICOLUMN | LBS_OWNERDRAWFIXED | LBS_NODATA |
                    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                WS_EX_CLIENTEDGE, x, y, w, h);
  UpdateColumnWidth();
}

void TListBoxWidth::SetItemWidth(int width) {
  itemWidth_ = width;
  UpdateColumnWidth();
}

int TListBoxWidth::ItemHeight() const {
  return static_cast<int>(SendMessageW(hwnd_, LB_GETITEMHEIGHT, 0, 0));
}

void TListBoxWidth::SetItemHeight(int height) {
  // WM_MEASUREITEM came before this object was linked, so the fixed height is set here.
  SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

int TListBoxWidth::Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }

void TListBoxWidth::SetCount(int count) {
  SendMessageW(hwnd_, LB_SETCOUNT, static_cast<WPARAM>(count), 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

int TListBoxWidth::ItemAt(int x, int y) const {
  // The list answers with the nearest item even for a point beside every item.
  const LRESULT found = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  const int index = LOWORD(found);
  if (HIWORD(found) || index >= Count()) return -1;
  const RECT r = ItemRect(index);
  return PtInRect(&r, POINT{x, y}) ? index : -1;
}

RECT TListBoxWidth::ItemRect(int index) const {
  RECT r{};
  SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TListBoxWidth::UpdateColumnWidth() {
  if (!hwnd_ || itemWidth_ <= 0) return;
  RECT r{};
  GetWindowRect(hwnd_, &r);
  if (r.right - r.left > 0) SendMessageW(hwnd_, LB_SETCOLUMNWIDTH, itemWidth_, 0);
}

bool TListBoxWidth::OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && HIWORD(wp) == LBN_DBLCLK && OnDblClick) {
    OnDblClick();
    result = 0;
    return true;
  }
  if (msg != WM_DRAWITEM) return false;
  const auto& dis = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
  if (OnDrawItem) {
    OnDrawItem(dis);
  } else {
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(hwnd_), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dis.hDC), reinterpret_cast<LPARAM>(hwnd_)));
    FillRect(dis.hDC, &dis.rcItem, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
  }
  result = TRUE;
  return true;
}

int TListBoxWidth::Selected() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)); }

void TListBoxWidth::SetSelected(int index) { SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

LRESULT TListBoxWidth::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_RBUTTONDOWN:
      // The context menu acts on the selected item: the one clicked, as in every file list.
      SetFocus(hwnd_);
      SetSelected(ItemAt(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)));
      break;
    case WM_KEYDOWN:
      if (wp == VK_RETURN) {
        if (Selected() >= 0 && OnDblClick) OnDblClick();
        return 0;
      }
      break;
    case WM_MOUSELEAVE:
      trackingMouse_ = false;
      if (OnMouseLeave) OnMouseLeave();
      return 0;
  }
  // The messages after which the list may show other items (a drag past its edge scrolls on a
  // timer).
  const bool mayScroll = msg == WM_HSCROLL || msg == WM_VSCROLL || msg == WM_MOUSEWHEEL || msg == WM_MOUSEHWHEEL ||
                         msg == WM_KEYDOWN || msg == WM_TIMER || msg == WM_SIZE || msg == LB_SETCURSEL ||
                         msg == LB_SETTOPINDEX || msg == LB_SETCOUNT;
  const LRESULT top = mayScroll ? SendMessageW(hwnd_, LB_GETTOPINDEX, 0, 0) : 0;
  LRESULT r = Control::HandleMessage(msg, wp, lp);
  if (msg == WM_SIZE) UpdateColumnWidth();
  if (msg == WM_MOUSEMOVE) {
    if (!trackingMouse_) {
      TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hwnd_, 0};
      trackingMouse_ = TrackMouseEvent(&t) != FALSE;
    }
    if (OnMouseMove) OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
  }
  if (mayScroll && hwnd_ && OnScroll && SendMessageW(hwnd_, LB_GETTOPINDEX, 0, 0) != top) OnScroll();
  return r;
}
