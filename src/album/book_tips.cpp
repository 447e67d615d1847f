#include "album/book_tips.h"

#include <commctrl.h>

#include "album/book_shape.h"
#include "win/app.h"
#include "win/error.h"
#include "win/text.h"

namespace {
TTTOOLINFOW ToolOf(HWND shelf, wchar_t* text) {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  // The whole shelf window is the tool; the tip follows the mouse into it by itself.
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = shelf;
  ti.uId = reinterpret_cast<UINT_PTR>(shelf);
  ti.lpszText = text;
  return ti;
}
}  // namespace

TBookTips::~TBookTips() {
  // The tip is owned by the main window, which takes it along when it goes first.
  if (tip_ && IsWindow(tip_)) DestroyWindow(tip_);
}

void TBookTips::Create(HWND shelf) {
  shelf_ = shelf;
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, shelf, nullptr,
                         win::Application::Instance(), nullptr);
  if (!tip_) throw Exception("ツールチップを作成できません");
  TTTOOLINFOW ti = ToolOf(shelf_, const_cast<wchar_t*>(L""));
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  // A caption may be long: it wraps at the width of a screen's third rather than running off.
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 3);
  SendMessageW(tip_, TTM_ACTIVATE, FALSE, 0);
}

void TBookTips::Hover(const TBookShape* book) {
  if (!tip_ || book == book_) return;
  book_ = book;
  // Another book: the tip of the one before goes at once, and comes back for this one after the
  // usual pause.
  SendMessageW(tip_, TTM_POP, 0, 0);
  SetText(book && book->CaptionCut() ? win::Wide(book->Caption()) : std::wstring());
}

void TBookTips::SetText(std::wstring text) {
  text_ = std::move(text);
  TTTOOLINFOW ti = ToolOf(shelf_, text_.data());
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(tip_, TTM_ACTIVATE, !text_.empty(), 0);
}
