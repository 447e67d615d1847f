#include "imaging/about_form2.h"

#include "imaging/spi.h"
#include "imaging/wic_image.h"
#include "win/canvas.h"
#include "win/modal.h"

namespace {
constexpr int kClientWidth = 336, kClientHeight = 129;
}  // namespace

TAboutForm2::TAboutForm2() {
  CreateWindowOf(DialogArgs("Susie Plug-in", kClientWidth, kClientHeight));
  font_ = win::CreateFontFrom(FontDesc{});

  FontDesc caption;
  caption.Height = -14;
  caption.Bold = true;
  caption.Color = win::SysColor(COLOR_WINDOWTEXT);
  Label3D1.SetFont(caption);
  Label3D1.SetUpColor(0x808080);
  Label3D1.SetDownColor(0xFFFFFF);
  Label3D1.SetShadowXOffset(0);
  Label3D1.SetShadowYOffset(0);
  Label3D1.SetCaption("Susie Plugin List");
  Label3D1.SetBounds(8, 8, 10, 16);
  Label3D1.SetParent(this);

  Memo1.CreateControl(L"EDIT", hwnd_, kMemo1Id,
                      WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                          ES_AUTOHSCROLL,
                      WS_EX_CLIENTEDGE, 16, 24, 217, 97);
  BitBtn1.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 240, 96, 89, 25,
                        "閉じる");
  for (HWND c : {Memo1.Handle(), BitBtn1.Handle()})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
}

TAboutForm2::~TAboutForm2() {
  // Destroy the window while the controls it holds are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TAboutForm2::FormShow() {
  std::string text;
  if (const TSPIs* spis = CurrentSPIs())
    for (const TFormatLine& line : FormatLines(*spis)) text += (text.empty() ? "" : "\r\n") + line.Text;
  for (const TWicFormat& f : WicFormats()) text += (text.empty() ? "" : "\r\n") + WicFormatLine(f);
  Memo1.SetText(text);
}

void TAboutForm2::ShowModal(HWND owner) {
  FormShow();
  win::RunModal(hwnd_, owner, modalResult_, [this] {
    SetFocus(BitBtn1.Handle());
    if (OnShown) OnShown(*this);
  });
}

LRESULT TAboutForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      win::PaintDc pdc(hwnd_);
      PaintGraphics(pdc.Dc(), pdc.PaintRect());
      return 0;
    }
    case DM_GETDEFID:
      return MAKELRESULT(IDCANCEL, DC_HASDEFID);
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
        modalResult_ = IDCANCEL;
        return 0;
      }
      break;
    case WM_CLOSE:
      modalResult_ = IDCANCEL;
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}
