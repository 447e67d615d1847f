#include "win/check_list_box.h"

#include <windowsx.h>

#include <algorithm>

#include "win/canvas.h"
#include "win/error.h"
#include "win/text.h"

namespace win {

void CheckListBox::Create(HWND parent, int id, int x, int y, int w, int h, HFONT font, bool wholeRows) {
  // The list's own integral height knows neither the item height set after creation nor a
  // horizontal scroll bar that comes and goes: whole rows are kept here instead.
  CreateControl(L"LISTBOX", parent, id,
                WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY |
                    LBS_NOINTEGRALHEIGHT,
                WS_EX_CLIENTEDGE, x, y, w, h);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  height_ = wholeRows ? h : 0;
  FitWholeRows();
}

void CheckListBox::SetItemHeight(int height) {
  // WM_MEASUREITEM came before this object was linked, so the fixed height is set here.
  SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0));
  FitWholeRows();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void CheckListBox::FitWholeRows() {
  const int item = ItemHeight();
  if (!height_ || item <= 0) return;
  RECT w{}, c{};
  GetWindowRect(hwnd_, &w);
  GetClientRect(hwnd_, &c);
  const int frame = (w.bottom - w.top) - c.bottom;  // the edges, and the scroll bar when it shows
  const int rows = std::max(1, (height_ - frame) / item);
  if (rows * item + frame != w.bottom - w.top)
    SetWindowPos(hwnd_, nullptr, 0, 0, w.right - w.left, rows * item + frame, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CheckListBox::ItemHeight() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETITEMHEIGHT, 0, 0)); }

void CheckListBox::Clear() {
  SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
  checked_.clear();
}

void CheckListBox::Add(const std::string& text, bool checked) {
  LRESULT i = SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  if (i < 0) throw Exception("リストに項目を追加できません");
  checked_.push_back(checked);
}

int CheckListBox::Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }

std::string CheckListBox::Item(int index) const {
  LRESULT n = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  n = SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
  return Narrow(std::wstring_view(w.data(), n > 0 ? static_cast<std::size_t>(n) : 0));
}

bool CheckListBox::Checked(int index) const { return checked_.at(static_cast<std::size_t>(index)); }

void CheckListBox::SetChecked(int index, bool checked) {
  checked_.at(static_cast<std::size_t>(index)) = checked;
  RECT r{};
  if (SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) != LB_ERR)
    InvalidateRect(hwnd_, &r, FALSE);
}

void CheckListBox::Toggle(int index) {
  if (index >= 0 && index < static_cast<int>(checked_.size())) SetChecked(index, !Checked(index));
}

int CheckListBox::TextWidth(const std::string& text) const {
  HDC dc = GetDC(hwnd_);
  SelectGuard font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
  std::wstring w = Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  ReleaseDC(hwnd_, dc);
  return size.cx;
}

int CheckListBox::HorizontalExtent() const {
  return static_cast<int>(SendMessageW(hwnd_, LB_GETHORIZONTALEXTENT, 0, 0));
}

void CheckListBox::SetHorizontalExtent(int pixels) {
  SendMessageW(hwnd_, LB_SETHORIZONTALEXTENT, pixels, 0);
  FitWholeRows();  // the scroll bar may have come or gone
}

bool CheckListBox::OnReflect(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg != WM_DRAWITEM) return false;
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
  result = TRUE;
  return true;
}

void CheckListBox::DrawItem(const DRAWITEMSTRUCT& dis) {
  HDC dc = dis.hDC;
  // The list's own colour behind the box; the selection colour behind the text only.
  FillRect(dc, &dis.rcItem, GetSysColorBrush(COLOR_WINDOW));
  if (dis.itemID == static_cast<UINT>(-1)) return;  // an empty list with the focus
  const int index = static_cast<int>(dis.itemID);
  const int h = dis.rcItem.bottom - dis.rcItem.top;
  const int box = h - 1 < 11 ? h - 1 : 11;
  RECT boxRect{dis.rcItem.left + 1, dis.rcItem.top + (h - box) / 2, dis.rcItem.left + 1 + box,
               dis.rcItem.top + (h - box) / 2 + box};
  DrawFrameControl(dc, &boxRect, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (Checked(index) ? DFCS_CHECKED : 0));
  RECT textRect = dis.rcItem;
  textRect.left += kBoxWidth;
  const bool selected = dis.itemState & ODS_SELECTED;
  const auto [main, note] = Display ? Display(index) : std::pair<std::string, std::string>{Item(index), {}};
  std::wstring text = Wide(main);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  RECT back{textRect.left, textRect.top, textRect.left + size.cx + 4, textRect.bottom};
  if (selected) FillRect(dc, &back, GetSysColorBrush(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  textRect.left += 2;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (!note.empty()) {
    const std::wstring grey = Wide(note);
    RECT noteRect = textRect;
    noteRect.left = back.right + kNoteGap;
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, grey.c_str(), static_cast<int>(grey.size()), &noteRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (dis.itemState & ODS_FOCUS) DrawFocusRect(dc, &back);
}

int CheckListBox::LineWidth(int index) const {
  if (!Display) return kBoxWidth + 4 + TextWidth(Item(index));
  const auto [main, note] = Display(index);
  return kBoxWidth + 4 + TextWidth(main) + (note.empty() ? 0 : kNoteGap + TextWidth(note));
}

LRESULT CheckListBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // The rows are drawn shifted by the horizontal scroll position; so is the box.
      const int x = GET_X_LPARAM(lp) + GetScrollPos(hwnd_, SB_HORZ);
      LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, lp);
      LRESULT r = Control::HandleMessage(msg, wp, lp);
      if (HIWORD(hit) == 0 && x < kBoxWidth) Toggle(LOWORD(hit));
      if (OnClick) OnClick();
      return r;
    }
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        Toggle(static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)));
        if (OnClick) OnClick();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == L' ') return 0;  // handled at WM_KEYDOWN; the list would search for a space
      break;
  }
  return Control::HandleMessage(msg, wp, lp);
}

}  // namespace win
