#include "win/tool_bar.h"

#include <vector>

#include "win/text.h"

namespace win {

void ToolBar::Create(HWND parent, int id, HIMAGELIST images, SIZE imageSize, SIZE buttonSize,
                     std::span<const ToolButton> buttons) {
  CreateControl(TOOLBARCLASSNAMEW, parent, id,
                WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT | CCS_NODIVIDER |
                    CCS_NORESIZE | CCS_NOPARENTALIGN);
  SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(hwnd_, TB_SETBITMAPSIZE, 0, MAKELPARAM(imageSize.cx, imageSize.cy));
  SendMessageW(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  std::vector<TBBUTTON> tb;
  for (const ToolButton& b : buttons) {
    TBBUTTON t{};
    if (b.Command == 0) {
      t.iBitmap = b.SeparatorWidth;  // a separator's width travels in iBitmap
      t.fsStyle = BTNS_SEP;
    } else {
      t.iBitmap = b.Image;
      t.idCommand = b.Command;
      t.fsState = TBSTATE_ENABLED;
      t.fsStyle = BTNS_BUTTON;
    }
    t.iString = -1;
    tb.push_back(t);
  }
  SendMessageW(hwnd_, TB_ADDBUTTONSW, tb.size(), reinterpret_cast<LPARAM>(tb.data()));
  // The button size is kept only when set after the bitmap size and the buttons.
  SendMessageW(hwnd_, TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonSize.cx, buttonSize.cy));
  SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
}

void ToolBar::SetNotifyParent(HWND parent) { SendMessageW(hwnd_, TB_SETPARENT, reinterpret_cast<WPARAM>(parent), 0); }

void ToolBar::SetButtonEnabled(int command, bool enabled) {
  SendMessageW(hwnd_, TB_ENABLEBUTTON, command, MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

bool ToolBar::ButtonEnabled(int command) const {
  LRESULT state = SendMessageW(hwnd_, TB_GETSTATE, command, 0);
  return state != -1 && (state & TBSTATE_ENABLED);
}

SIZE ToolBar::IdealSize() const {
  SIZE s{};
  SendMessageW(hwnd_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&s));
  return s;
}

bool ToolBar::OnReflect(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* hdr = reinterpret_cast<NMHDR*>(lp);
  switch (hdr->code) {
    case TBN_GETINFOTIPW: {
      auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(lp);
      if (!OnGetTip || !tip->pszText || tip->cchTextMax <= 0) return false;
      std::wstring w = Wide(OnGetTip(tip->iItem));
      lstrcpynW(tip->pszText, w.c_str(), tip->cchTextMax);
      result = 0;
      return true;
    }
    case TBN_HOTITEMCHANGE: {
      auto* hot = reinterpret_cast<NMTBHOTITEM*>(lp);
      if (OnHotItem) OnHotItem(hot->dwFlags & HICF_LEAVING ? 0 : hot->idNew);
      result = 0;
      return true;
    }
  }
  return false;
}

}  // namespace win
