#include "catalogue/gauge_form.h"

#include <commctrl.h>

#include "win/app.h"
#include "win/canvas.h"

namespace {
constexpr int kClientWidth = 265, kClientHeight = 86;

// The cancel button's glyph: a red cross on the button's face.
win::Bitmap CancelGlyph() {
  win::MemoryBitmap m(16, 16);
  win::Canvas c(m.Dc());
  c.FillRect({0, 0, 16, 16}, win::SysColor(COLOR_BTNFACE));
  for (int d = 0; d < 2; ++d) {
    c.Line({3 + d, 3}, {13 + d, 13}, 0x0000C0);
    c.Line({12 + d, 3}, {2 + d, 13}, 0x0000C0);
  }
  PixelBuffer pixels = m.ToPixels();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 16;
  bi.bmiHeader.biHeight = -16;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  HDC screen = GetDC(nullptr);
  win::Bitmap glyph(CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, pixels.Data(), &bi, DIB_RGB_COLORS));
  ReleaseDC(nullptr, screen);
  return glyph;
}
}  // namespace

TGaugeForm::TGaugeForm() {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT outer{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  const int w = outer.right - outer.left, h = outer.bottom - outer.top;
  CreateArgs a;
  a.text = kThumbnailCaption;
  a.style = style;
  a.exStyle = exStyle;
  a.width = w;
  a.height = h;
  a.x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  a.y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  a.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  CreateWindowOf(a);

  FontDesc labelFont;
  labelFont.Height = -14;
  labelFont.Color = win::SysColor(COLOR_BTNTEXT);
  DirNameLabel.SetFont(labelFont);
  DirNameLabel.SetStyle(lsRaised);
  DirNameLabel.SetBounds(8, 0, 10, 16);
  DirNameLabel.SetParent(this);
  FontDesc countFont;
  countFont.Color = win::SysColor(COLOR_BTNTEXT);
  Label3D1.SetFont(countFont);
  Label3D1.SetStyle(lsLowered);
  Label3D1.SetAutoSize(false);
  Label3D1.SetAlignment(taCenter);
  Label3D1.SetBounds(64, 19, 137, 16);
  Label3D1.SetCaption("x/x");
  Label3D1.SetParent(this);

  ProgressBar1.CreateControl(PROGRESS_CLASSW, hwnd_, 1, WS_VISIBLE, 0, 8, 37, 249, 16);
  SendMessageW(ProgressBar1.Handle(), PBM_SETRANGE32, 0, 100);
  // IDCANCEL: the dialog keys (Esc) reach the button's command.
  BitBtn1.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 76, 60, 113, 25,
                        "キャンセル");
  font_ = win::CreateFontFrom(FontDesc{});
  SendMessageW(BitBtn1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  glyph_ = CancelGlyph();
  if (glyph_) SendMessageW(BitBtn1.Handle(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(glyph_.Get()));
}

TGaugeForm::~TGaugeForm() {
  if (IsWindowVisible(hwnd_)) Hide();
  // Destroy the window while the labels it hosts are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TGaugeForm::SetMaxCount(int n) {
  maxCount_ = n;
  SendMessageW(ProgressBar1.Handle(), PBM_SETRANGE32, 0, n);
  SendMessageW(ProgressBar1.Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
  UpdateCountLabel();
}

void TGaugeForm::SetPosition(int n) {
  position_ = n;
  SendMessageW(ProgressBar1.Handle(), PBM_SETPOS, static_cast<WPARAM>(n), 0);
  UpdateCountLabel();
}

void TGaugeForm::UpdateCountLabel() {
  Label3D1.SetCaption(Format("%d／%d", {std::to_string(position_), std::to_string(maxCount_)}));
}

void TGaugeForm::SetDirName(const std::string& path) {
  dirName_ = path;
  DirNameLabel.SetCaption(path);
}

void TGaugeForm::Show(const char* caption) {
  SetText(caption);
  if (IsWindowVisible(hwnd_)) return;
  cancelled_ = false;
  owner_ = win::Application::ActiveOwner();
  SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner_));
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(BitBtn1.Handle());
  ownerDisabled_ = owner_ && IsWindowEnabled(owner_);
  if (ownerDisabled_) EnableWindow(owner_, FALSE);
  UpdateWindow(hwnd_);
  win::Application::SetBusyCursor(true);
}

void TGaugeForm::Hide() {
  const bool active = GetActiveWindow() == hwnd_;
  // The owner's input first: hiding the active dialog hands the activation on, and a
  // disabled owner cannot take it, which would leave no window of the program active.
  if (ownerDisabled_) EnableWindow(owner_, TRUE);
  ownerDisabled_ = false;
  ShowWindow(hwnd_, SW_HIDE);
  if (active && owner_ && IsWindowEnabled(owner_)) SetActiveWindow(owner_);
  win::Application::SetBusyCursor(false);
}

void TGaugeForm::BitBtn1Click() {
  if (IsWindowVisible(hwnd_)) cancelled_ = true;
}

LRESULT TGaugeForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) {
        BitBtn1Click();
        return 0;
      }
      break;
    case WM_CLOSE:
      BitBtn1Click();
      return 0;
    case WM_SETCURSOR:
      // The cancel button keeps the arrow while the rest of the program shows the hourglass.
      if (reinterpret_cast<HWND>(wp) == BitBtn1.Handle()) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
  }
  return Window::HandleMessage(msg, wp, lp);
}
