#include "album/property_form.h"

#include <windowsx.h>

#include <algorithm>

#include "win/app.h"
#include "win/canvas.h"
#include "win/modal.h"
#include "win/text.h"

// ---- TColorPanel ----

void TColorPanel::Create(HWND parent, int id, int x, int y, int w, int h, bool lowered) {
  lowered_ = lowered;
  CreateArgs a;
  a.style = WS_CHILD | WS_VISIBLE;
  a.x = x, a.y = y, a.width = w, a.height = h;
  a.parent = parent;
  a.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  CreateWindowOf(a);
}

void TColorPanel::SetColor(std::uint32_t color) {
  color_ = color;
  Invalidate();
}

void TColorPanel::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void TColorPanel::SetFont(const FontDesc& font) {
  font_ = font;
  Invalidate();
}

LRESULT TColorPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills every pixel
    case WM_PAINT:
      Paint();
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      bool click = pressed_;
      pressed_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      RECT r = ClientRect();
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (click && PtInRect(&r, p) && OnClick) OnClick(*this);
      return 0;
    }
  }
  return Window::HandleMessage(msg, wp, lp);
}

void TColorPanel::Paint() {
  win::PaintDc pdc(hwnd_);
  win::Canvas canvas(pdc.Dc());
  RECT r = ClientRect();
  canvas.FillRect(r, color_);
  DrawEdge(pdc.Dc(), &r, lowered_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  if (!caption_.empty()) {
    InflateRect(&r, -1, -1);
    canvas.DrawText(r, caption_, font_, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }
}

// ---- TPropertyForm ----

namespace {
constexpr int kClientWidth = 367, kClientHeight = 187, kTopAreaHeight = 60;

FontDesc LabelFont() {
  FontDesc f;
  f.Name = "ＭＳ Ｐゴシック";
  f.Height = -14;
  f.Bold = true;
  return f;
}

int CALLBACK CollectFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM lp) {
  // An enumeration callback is a Win32 frame: nothing may be thrown through it.
  try {
    reinterpret_cast<std::vector<std::string>*>(lp)->push_back(win::Narrow(lf->lfFaceName));
  } catch (...) {
    return 0;
  }
  return 1;
}
}  // namespace

TPropertyForm::TPropertyForm() { FormCreate(); }

TPropertyForm::~TPropertyForm() {
  // Destroy the window while the controls it holds are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

std::vector<std::string> TPropertyForm::VerticalFaces() {
  std::vector<std::string> all;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &lf, &CollectFace, reinterpret_cast<LPARAM>(&all), 0);
  ReleaseDC(nullptr, dc);
  std::vector<std::string> faces;
  for (const std::string& name : all)
    if (name.size() > 1 && name.front() == '@') faces.push_back(name.substr(1));
  std::sort(faces.begin(), faces.end(),
            [](const std::string& a, const std::string& b) { return win::CompareTextJa(a, b) < 0; });
  // One entry per face: the same family is reported once per character set.
  faces.erase(std::unique(faces.begin(), faces.end(),
                          [](const std::string& a, const std::string& b) { return a == b; }),
              faces.end());
  return faces;
}

void TPropertyForm::FormCreate() {
  CreateWindowOf(DialogArgs("アルバムのプロパティ", kClientWidth, kClientHeight));

  FontDesc uiFont;
  uiFont.Name = "ＭＳ Ｐゴシック";
  uiFont.Height = -12;
  dialogFont_ = win::CreateFontFrom(uiFont);

  captionEdit_.CreateControl(L"EDIT", hwnd_, kCaptionEditId, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                             WS_EX_CLIENTEDGE, 112, 6, 241, 20);
  // The drop-down height includes the list that opens below the 20-pixel box.
  fontName_.CreateControl(L"COMBOBOX", hwnd_, kFontNameId, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                          0, 112, 70, 160, 240);
  okButton_.CreateControl(L"BUTTON", hwnd_, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 280, 127, 85, 25,
                          "OK");
  cancelButton_.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 280, 159, 85,
                              25, "キャンセル");
  for (HWND c : {captionEdit_.Handle(), fontName_.Handle(), okButton_.Handle(), cancelButton_.Handle()})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_.Get()), FALSE);

  coverColorItem_.Create(hwnd_, kCoverColorId, 112, 30, 160, 20, false);
  coverColorItem_.Tag = 0;
  fontColorItem_.Create(hwnd_, kFontColorId, 112, 94, 160, 20, false);
  fontColorItem_.Tag = 1;
  samplePanel_.Create(hwnd_, kSampleId, 16, 144, 257, 33, true);
  coverColorItem_.OnClick = [this](TColorPanel& p) { CoverColorItemClick(p); };
  fontColorItem_.OnClick = [this](TColorPanel& p) { CoverColorItemClick(p); };

  const char* texts[5] = {"アルバム名称：", "カバー色：", "文字フォント：", "文字色：", "サンプル"};
  const POINT places[5] = {{8, 8}, {8, 32}, {8, 72}, {8, 96}, {16, 128}};
  for (int i = 0; i < 5; ++i) {
    TLabel3D& l = labels_[i];
    FontDesc f = LabelFont();
    f.Color = win::SysColor(COLOR_WINDOWTEXT);
    l.SetFont(f);
    l.SetUpColor(0x808080);
    l.SetDownColor(0xFFFFFF);
    l.SetShadowXOffset(0);
    l.SetShadowYOffset(0);
    l.SetCaption(texts[i]);
    if (i < 4) {
      l.SetAutoSize(false);
      l.SetAlignment(taRightJustify);
      l.SetBounds(places[i].x, places[i].y, 100, 16);
    } else {
      l.SetBounds(places[i].x, places[i].y, 10, 16);
    }
    l.SetParent(this);
  }

  SetCoverColor(0xFF0000);
  albumFont_ = FontDesc{};
  SetAlbumCaption("新規アルバム");
  albumFont_.Color = 0xFFFFFF;
  faces_ = VerticalFaces();
  for (const std::string& face : faces_)
    SendMessageW(fontName_.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::Wide(face).c_str()));
  SetAlbumFont(albumFont_);
}

void TPropertyForm::SetAlbumCaption(const std::string& text) {
  albumCaption_ = text;
  samplePanel_.SetCaption(text);
  if (captionEdit_.Text() != text) captionEdit_.SetText(text);  // EN_CHANGE follows
}

void TPropertyForm::SetCoverColor(std::uint32_t color) {
  coverColor_ = color;
  coverColorItem_.SetColor(color);
  samplePanel_.SetColor(color);
}

void TPropertyForm::SetAlbumFont(const FontDesc& font) {
  albumFont_ = font;
  FontDesc sample = font;
  fontColorItem_.SetColor(font.Color);
  int index = -1;
  for (std::size_t i = 0; i < faces_.size(); ++i)
    if (win::CompareTextJa(faces_[i], font.Name) == 0) {
      index = static_cast<int>(i);
      break;
    }
  SendMessageW(fontName_.Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  sample.SetPoints(12);
  samplePanel_.SetFont(sample);
}

void TPropertyForm::CaptionEditChange() {
  albumCaption_ = captionEdit_.Text();
  samplePanel_.SetCaption(albumCaption_);
}

void TPropertyForm::FontNameChange() {
  LRESULT i = SendMessageW(fontName_.Handle(), CB_GETCURSEL, 0, 0);
  if (i < 0 || static_cast<std::size_t>(i) >= faces_.size()) return;
  albumFont_.Name = faces_[static_cast<std::size_t>(i)];
  FontDesc sample = samplePanel_.Font();
  sample.Name = albumFont_.Name;
  samplePanel_.SetFont(sample);
}

void TPropertyForm::CoverColorItemClick(TColorPanel& sender) {
  auto chosen = win::CurrentDialogs().PickColor(hwnd_, sender.Color());
  if (!chosen) return;
  sender.SetColor(*chosen);
  if (sender.Tag == 1) {
    FontDesc sample = samplePanel_.Font();
    sample.Color = *chosen;
    samplePanel_.SetFont(sample);
    albumFont_.Color = *chosen;
  } else {
    samplePanel_.SetColor(*chosen);
    coverColor_ = *chosen;
  }
}

bool TPropertyForm::Execute(HWND owner) {
  return win::RunModal(hwnd_, owner, modalResult_, [this] {
           SetFocus(captionEdit_.Handle());
           SendMessageW(captionEdit_.Handle(), EM_SETSEL, 0, -1);
           if (OnShown) OnShown(*this);
         }) == IDOK;
}

void TPropertyForm::CloseWith(int result) { modalResult_ = result; }

void TPropertyForm::FormPaint() {
  win::PaintDc pdc(hwnd_);
  // The top area (name and cover colour) ends with an etched line.
  RECT line{0, kTopAreaHeight - 2, kClientWidth, kTopAreaHeight};
  DrawEdge(pdc.Dc(), &line, EDGE_ETCHED, BF_BOTTOM);
  PaintGraphics(pdc.Dc(), pdc.PaintRect());
}

LRESULT TPropertyForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      FormPaint();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kCaptionEditId:
          if (HIWORD(wp) == EN_CHANGE) CaptionEditChange();
          return 0;
        case kFontNameId:
          if (HIWORD(wp) == CBN_SELCHANGE) FontNameChange();
          return 0;
        case IDOK:
          CloseWith(IDOK);
          return 0;
        case IDCANCEL:
          CloseWith(IDCANCEL);
          return 0;
      }
      break;
    case WM_CLOSE:
      CloseWith(IDCANCEL);
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}
