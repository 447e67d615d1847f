#include "win/owner_draw_combo_box.h"

#include "win/text.h"

namespace win {

void OwnerDrawComboBox::Create(HWND parent, int id, int x, int y, int width, int itemHeight, HFONT font) {
  // The height given at creation includes the list that drops down: room for a few items.
  CreateControl(L"COMBOBOX", parent, id,
                WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, 0, x, y,
                width, itemHeight * 6);
  // A new font makes the control measure its selection field again: the font first.
  if (font) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // WM_MEASUREITEM came before this object was linked: the heights are set now.
  SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
  SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, itemHeight);
}

void OwnerDrawComboBox::AddItem(const std::string& text) {
  SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

int OwnerDrawComboBox::Count() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
int OwnerDrawComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
void OwnerDrawComboBox::SetItemIndex(int index) { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int OwnerDrawComboBox::ItemHeight() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETITEMHEIGHT, 0, 0)); }

bool OwnerDrawComboBox::OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    const auto& dis = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (dis.itemID != static_cast<UINT>(-1) && OnDrawItem) OnDrawItem(dis);
    result = TRUE;
    return true;
  }
  if (msg == WM_COMMAND && HIWORD(wp) == CBN_SELCHANGE) {
    if (OnChange) OnChange();
    return true;
  }
  return false;
}

}  // namespace win
