#include "catalogue/hint_form.h"

#include <algorithm>
#include <vector>

#include "win/canvas.h"
#include "win/text.h"

namespace {
constexpr UINT_PTR kTimer1 = 1;
constexpr std::uint32_t kShadowColor = 0x808080;
constexpr UINT kTextFormat = DT_WORDBREAK | DT_NOPREFIX;

// Splits a text at its line breaks (CR LF, or a lone CR or LF).
std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}
}  // namespace

void THintImage::SetText(std::string text, HFONT font) {
  text_ = std::move(text);
  font_ = font;
  Invalidate();
}

void THintImage::Paint(win::Canvas& canvas) {
  HDC dc = canvas.Dc();
  RECT r{0, 0, Width(), Height()};
  FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
  r.left += 5;
  r.top += 3;
  win::SelectGuard font(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
  const std::wstring w = win::Wide(text_);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, kTextFormat);
}

THintForm::THintForm() {
  CreateArgs a;
  a.style = WS_POPUP;
  // A tool window has no task-bar button; no-activate keeps a click on it from taking the
  // focus from the main window.
  a.exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  a.classStyle = CS_SAVEBITS;
  a.x = 0;
  a.y = 0;
  a.width = 10;
  a.height = 10;
  CreateWindowOf(a);
  font_ = win::CreateFontFrom(FontDesc{});  // "ＭＳ Ｐゴシック", 12 pixels
  Shape1.SetColor(kShadowColor);
  Shape1.SetParent(this);
  Image1.SetParent(this);
  Image1.OnMouseMove = [this](win::GraphicControl&, int, int) { Image1MouseMove(); };
  SetHintText({});
}

THintForm::~THintForm() {
  // The window goes first, unlinked, while the controls it hosts are whole objects.
  DestroyUnlinked();
}

void THintForm::SetHintText(const std::string& text) {
  hintText_ = text.empty() ? "   " : text;
  const std::wstring w = win::Wide(hintText_);
  HDC dc = GetDC(hwnd_);
  int maxW = 0;
  RECT r{};
  {
    win::SelectGuard font(dc, font_);
    for (const std::wstring& line : Lines(w)) {
      SIZE size{};
      GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
      maxW = std::max<int>(maxW, size.cx);
    }
    r = {0, 0, maxW + 10, 10};
    // The measurement gives the text's height; the box keeps its width.
    RECT measured = r;
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &measured, kTextFormat | DT_CALCRECT);
    r.bottom = measured.bottom;
  }
  ReleaseDC(hwnd_, dc);
  r.right += 10;
  r.bottom += 6;
  Image1.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  Shape1.SetBounds(4, 4, r.right - r.left, r.bottom - r.top);
  Image1.SetText(hintText_, font_);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right + 3, r.bottom + 3, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Invalidate();
}

void THintForm::ShowAt(int x, int y) {
  StopTimer1();
  RECT r{};
  GetWindowRect(hwnd_, &r);
  SetWindowPos(hwnd_, HWND_TOPMOST, x, y, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  timer1Enabled_ = SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr) != 0;
}

void THintForm::Hide() {
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

void THintForm::StopTimer1() {
  KillTimer(hwnd_, kTimer1);
  timer1Enabled_ = false;
}

void THintForm::Timer1Timer() {
  StopTimer1();
  Hide();
}

void THintForm::Image1MouseMove() { Hide(); }

LRESULT THintForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kTimer1) {
        Timer1Timer();
        return 0;
      }
      break;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND: {
      RECT r = ClientRect();
      win::Canvas(reinterpret_cast<HDC>(wp)).FillRect(r, kColor);
      return 1;
    }
  }
  return Window::HandleMessage(msg, wp, lp);
}
