#include "print/print_form.h"

#include <windowsx.h>

#include <algorithm>

#include "win/resource_ids.h"
#include "print/print_job.h"
#include "print/print_layout.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/modal.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

constexpr int kClientWidth = 435, kClientHeight = 334;
constexpr int kItemHeight = 57;
// The style list's context menu: present, its entries do nothing yet.
constexpr int kAddStyleId = 301, kEditStyleId = 302, kDeleteStyleId = 303;

// A bitmap resource as 24-bit pixels (any depth it is stored in).
PixelBuffer LoadBitmapPixels(int resource) {
  win::Bitmap bitmap(static_cast<HBITMAP>(
      LoadImageW(win::Application::Instance(), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) throw Exception("画像のリソースを読めません");
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  PixelBuffer pixels(info.bmWidth, info.bmHeight);
  BITMAPINFO bi = win::Dib24Info(info.bmWidth, info.bmHeight);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.Data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return pixels;
}

void Copy(HDC target, int x, int y, const win::MemoryBitmap& bitmap) {
  BitBlt(target, x, y, bitmap.Width(), bitmap.Height(), bitmap.Dc(), 0, 0, SRCCOPY);
}

RECT ToRect(const print::Rect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

}  // namespace

std::pair<std::string, std::string> FolderLine(const std::string& path) {
  // The folder's own name first: a narrow list then shows what tells the folders apart.
  std::string folder = path;
  if (sjis::EndsWithChar(folder, '\\') && folder.size() > 3) folder.pop_back();  // "C:\" stays
  std::string name(sjis::ExtractFileName(folder)), where = path;
  if (name.empty()) name = path, where.clear();  // a drive's root is its own name
  if (!win::FolderExists(path)) where = where.empty() ? "見つかりません" : "見つかりません: " + where;
  return {name, where};
}

TPrintForm::TPrintForm() { FormCreate(); }

TPrintForm::~TPrintForm() {
  // The styles go from the last to the first, as they were made.
  while (!Styles.empty()) Styles.pop_back();
  // Destroy the window while the controls it holds are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TPrintForm::FormCreate() {
  CreateWindowOf(DialogArgs("印刷のプロパティ", kClientWidth, kClientHeight));

  PreviewScale = 1.0;
  fontDesc_.Name = "ＭＳ Ｐゴシック";
  fontDesc_.Height = -12;
  font_ = win::CreateFontFrom(fontDesc_);

  SizeListItem.Create(hwnd_, kSizeListItemId, 8, 21, 169, kItemHeight, font_);
  SizeListItem.OnDrawItem = [this](const DRAWITEMSTRUCT& dis) { SizeListItemDrawItem(dis); };
  SizeListItem.OnChange = [this] { SizeListItemChange(); };
  DirCheckList.Create(hwnd_, kDirCheckListId, 8, 104, 169, 89, font_, true);
  DirCheckList.SetItemHeight(12);
  DirCheckList.Display = [this](int i) { return folderLines_.at(static_cast<std::size_t>(i)); };
  DirCheckList.OnClick = [this] { DirCheckListClick(); };
  PrinterNameMemo.CreateControl(L"EDIT", hwnd_, kPrinterNameMemoId,
                                WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 16, 216, 161, 26);
  BitBtn1.CreateControl(L"BUTTON", hwnd_, kBitBtn1Id, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 48, 248, 129, 25,
                        "プリンターの設定");
  PrintBtn.CreateControl(L"BUTTON", hwnd_, kPrintBtnId, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 48, 276, 129, 25,
                         "印刷開始");
  BitBtn3.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 48, 304, 129, 25,
                        "閉じる");
  for (HWND c : {PrinterNameMemo.Handle(), BitBtn1.Handle(),
                 PrintBtn.Handle(), BitBtn3.Handle()})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  SetButtonGlyph(BitBtn1, 0);
  SetButtonGlyph(PrintBtn, 1);
  SetButtonGlyph(BitBtn3, 2);
  PrintBtn.Enable(false);

  FontDesc sectionFont;
  sectionFont.Name = "ＭＳ ゴシック";
  sectionFont.Height = -14;
  const std::pair<TLabel3D*, const char*> sections[] = {
      {&Label3D1, "スタイル"}, {&Label3D2, "印刷対象フォルダー"}, {&Label3D5, "使用プリンター"}};
  const int tops[] = {5, 88, 200};
  for (int i = 0; i < 3; ++i) {
    TLabel3D& l = *sections[i].first;
    l.SetFont(sectionFont);
    l.SetStyle(lsRaised);
    l.SetShadowXOffset(0);
    l.SetShadowYOffset(0);
    l.SetCaption(sections[i].second);
    l.SetBounds(8, tops[i], 10, 16);
    l.SetParent(this);
  }

  // The preview panel's graphic controls, bottom to top: the paper label, the page's shadow
  // and the page.
  FontDesc sizeFont = fontDesc_;
  sizeFont.Bold = true;
  SizeLabel.SetFont(sizeFont);
  SizeLabel.SetStyle(lsRaised);
  SizeLabel.SetShadowXOffset(2);
  SizeLabel.SetShadowYOffset(2);
  SizeLabel.SetCaption("SIZE:");
  SizeLabel.SetBounds(kPreviewLeft + 8, 8, 10, 16);
  SizeLabel.SetParent(this);
  ShadowShape.SetColor(win::SysColor(COLOR_BTNSHADOW));
  ShadowShape.SetBounds(kPreviewLeft + 26 + 8, 36 + 8, 191, 270);
  ShadowShape.SetParent(this);
  PaintBox1.SetBounds(kPreviewLeft + 26, 36, 191, 270);
  PaintBox1.OnPaint = [this](win::Canvas& c) { PaintBox1Paint(c); };
  PaintBox1.SetParent(this);

  popupMenu1_.Reset(CreatePopupMenu());
  AppendMenuW(popupMenu1_, MF_STRING, kAddStyleId, win::Wide("スタイル追加…").c_str());
  AppendMenuW(popupMenu1_, MF_STRING, kEditStyleId, win::Wide("スタイル編集…").c_str());
  AppendMenuW(popupMenu1_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popupMenu1_, MF_STRING, kDeleteStyleId, win::Wide("スタイル削除").c_str());

  Image1 = LoadBitmapPixels(IDB_PRINTSAMPLE);

  Styles = MakePrintStyles();
  for (const TKoumokuSize& s : Styles) SizeListItem.AddItem(s.Title);
}

void TPrintForm::SetButtonGlyph(win::Control& button, int index) {
  // The glyphs stand on magenta, which becomes the button's face.
  PixelBuffer strip = LoadBitmapPixels(IDB_PRINTGLYPHS);
  const int size = strip.Height();
  PixelBuffer glyph(size, size);
  const std::uint32_t face = win::SysColor(COLOR_BTNFACE);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const std::uint32_t c = strip.Pixel(index * size + x, y);
      glyph.SetPixel(x, y, c == 0xFF00FF ? face : c);
    }
  BITMAPINFO bi = win::Dib24Info(size, size);
  HDC screen = GetDC(nullptr);
  glyphs_[index].Reset(CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, glyph.Data(), &bi, DIB_RGB_COLORS));
  ReleaseDC(nullptr, screen);
  if (glyphs_[index])
    SendMessageW(button.Handle(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(glyphs_[index].Get()));
}

const TKoumokuSize& TPrintForm::Style() const {
  const int i = StyleIndex();
  return Styles[static_cast<std::size_t>(i >= 0 && i < static_cast<int>(Styles.size()) ? i : 1)];
}

void TPrintForm::SetFolders(const TFolderList& list) {
  DirCheckList.Clear();
  folderLines_.clear();
  for (const TFolderEntry& folder : list) {
    folderLines_.push_back(FolderLine(folder.Path));  // asked of the disk once, not at every paint
    DirCheckList.Add(folder.Path);
  }
  Folders = &list;
  DirCheckListClick();
}

void TPrintForm::SetFolderChecked(int index, bool checked) {
  DirCheckList.SetChecked(index, checked);
  DirCheckListClick();
}

void TPrintForm::DirCheckListClick() {
  bool any = false;
  for (int i = 0; i < DirCheckList.Count() && !any; ++i) any = DirCheckList.Checked(i);
  PrintBtn.Enable(any);
}

void TPrintForm::DrawStyleSample(win::MemoryBitmap& bitmap, const TKoumokuSize& style, const RECT& target) const {
  const print::Rect cell = GetCellRect(style);
  const print::SampleFrame f =
      print::FitSample(bitmap.Width(), bitmap.Height(), cell.Right, cell.Bottom,
                       {target.left, target.top, target.right, target.bottom});
  win::Canvas canvas(bitmap.Dc());
  canvas.FillRect(ToRect(f.Frame), 0xFFFFFF);
  const int x0 = f.Frame.Left, y0 = f.Frame.Top;
  const std::pair<const TRectExt*, std::uint32_t> areas[] = {{&style.CaptionArea, RGB(0, 0, 255)},
                                                             {&style.SizeArea, RGB(128, 0, 128)},
                                                             {&style.ExtraLineArea, RGB(255, 0, 255)},
                                                             {&style.ExtraBoxArea, RGB(128, 128, 0)}};
  for (const auto& [area, color] : areas)
    canvas.FillRect(ToRect(print::ScaleRect(area->Rect, f.Scale).Offset(x0, y0)), color);
  const print::Rect picture = print::ScaleRect(style.PictureRect, f.Scale).Offset(x0, y0);
  canvas.DrawPixels(Image1, picture.Left, picture.Top, picture.Width(), picture.Height(), HALFTONE);
}

void TPrintForm::SizeListItemDrawItem(const DRAWITEMSTRUCT& dis) {
  if (dis.itemID >= Styles.size()) return;
  const TKoumokuSize& style = Styles[dis.itemID];
  const RECT& r = dis.rcItem;
  win::Canvas canvas(dis.hDC);
  canvas.FillRect(r, 0xFFFFFF);
  canvas.FillRect({r.left, r.top, r.left + kItemHeight, r.top + kItemHeight}, win::SysColor(COLOR_BTNFACE));
  // The square's relief: each line stops short of its end point, as GDI draws lines.
  const POINT grey[] = {{r.left, r.bottom - 2}, {r.left + 55, r.bottom - 2}, {r.left + 55, r.top - 1}};
  const POINT white[] = {{r.left, r.bottom - 1}, {r.left, r.top}, {r.left + 56, r.top}};
  const POINT black[] = {{r.left, r.bottom - 1}, {r.left + 56, r.bottom - 1}, {r.left + 56, r.top - 1}};
  canvas.PolyLine(grey, RGB(128, 128, 128));
  canvas.PolyLine(white, RGB(255, 255, 255));
  canvas.PolyLine(black, RGB(0, 0, 0));

  win::MemoryBitmap sample(52, 52);
  win::Canvas(sample.Dc()).FillRect({0, 0, 52, 52}, win::SysColor(COLOR_BTNFACE));
  DrawStyleSample(sample, style, {0, 0, 52, 52});
  Copy(dis.hDC, r.left + 2, r.top + 2, sample);

  RECT text = r;
  text.left = r.left + 58;
  if (dis.itemState & ODS_SELECTED) canvas.FillRect(text, RGB(255, 255, 0));
  // Black text, its three lines in the middle of the item. Each line stays one line: the
  // closed list's field is narrower than the open list, and a title wrapped there would push
  // the sizes out of the item.
  HDC dc = dis.hDC;
  win::SelectGuard g(dc, font_);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const std::string all = StyleListText(style);
  std::vector<std::wstring> lines;
  for (std::size_t from = 0;;) {
    const std::size_t end = all.find("\r\n", from);  // CR LF are single bytes, never trail bytes
    lines.push_back(win::Wide(all.substr(from, end == std::string::npos ? std::string::npos : end - from)));
    if (end == std::string::npos) break;
    from = end + 2;
  }
  const int lineHeight = tm.tmHeight;
  int top = r.top + ((r.bottom - r.top) - lineHeight * static_cast<int>(lines.size())) / 2;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, 0);
  for (const std::wstring& line : lines) {
    RECT row{text.left, top, text.right, top + lineHeight};
    ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &row, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    top += lineHeight;
  }
}

void TPrintForm::SizeListItemChange() { PaintBox1.Invalidate(); }

void TPrintForm::ShowPrinterName() {
  const std::vector<std::string>& names = QzPrinter().GetPrinterNames();
  const int index = QzPrinter().GetIndex();
  PrinterNameMemo.SetText(index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(index)]
                                                                               : std::string());
}

void TPrintForm::FormShow() {
  ShowPrinterName();
  SizeListItem.SetItemIndex(1);
  UpdatePaper();
  int widest = 0;
  for (int i = 0; i < DirCheckList.Count(); ++i) widest = std::max(widest, DirCheckList.LineWidth(i));
  DirCheckList.SetHorizontalExtent(widest + 16);
}

void TPrintForm::UpdatePaper() {
  TQzPrinter& printer = QzPrinter();
  const SIZE paper = printer.GetPhysicalSize();
  const print::PreviewPage page = print::FitPaper(paper.cx, paper.cy);
  PreviewScale = page.Scale;
  PaintBox1.SetBounds(kPreviewLeft + page.Page.Left, page.Page.Top, page.Page.Width(), page.Page.Height());
  ShadowShape.SetBounds(kPreviewLeft + page.Page.Left + 8, page.Page.Top + 8, page.Page.Width(), page.Page.Height());
  PrintableSize = printer.GetPrintableSize();
  PhysicalOffset = printer.GetPhysicalOffset();
  // The painting uses what is read here, so a repaint never has to ask the printer.
  dpiX_ = printer.GetResolution().cx;
  horzSizeMm_ = GetDeviceCaps(printer.Handle(), HORZSIZE);
  vertSizeMm_ = GetDeviceCaps(printer.Handle(), VERTSIZE);
  PaintBox1.Invalidate();
  // The paper's name last: a paper the driver does not list (a size of the user's own) fails
  // here with its message, and the preview still shows it.
  SizeLabel.SetCaption("SIZE:");
  const std::vector<std::string>& names = printer.GetPaperSizeNames();
  const int index = printer.GetPaperSizeIndex();
  if (index >= 0 && index < static_cast<int>(names.size())) SizeLabel.SetCaption("SIZE:" + names[static_cast<std::size_t>(index)]);
}

void TPrintForm::PaintBox1Paint(win::Canvas& canvas) {
  const double s = PreviewScale;
  canvas.FillRect({0, 0, PaintBox1.Width(), PaintBox1.Height()}, win::SysColor(COLOR_ACTIVECAPTION));
  const int left = print::RoundEven(PhysicalOffset.x * s), top = print::RoundEven(PhysicalOffset.y * s);
  const RECT printable{left, top, left + print::RoundEven(PrintableSize.cx * s),
                       top + print::RoundEven(PrintableSize.cy * s)};
  canvas.FillRect(printable, 0xFFFFFF);
  {
    win::Pen dotted(CreatePen(PS_DOT, 1, 0));
    win::SelectGuard p(canvas.Dc(), dotted), b(canvas.Dc(), GetStockObject(NULL_BRUSH));
    SetBkMode(canvas.Dc(), TRANSPARENT);
    Rectangle(canvas.Dc(), printable.left, printable.top, printable.right, printable.bottom);
  }

  const double k = dpiX_ * s / 25.4;
  const TKoumokuSize& style = Style();
  const print::Rect cellMm = GetCellRect(style);
  const print::Rect cell = print::ScaleRect(cellMm, k);
  // A style whose cell does not fit this paper shows the page without cells.
  const print::PageGrid grid = print::GridMm(horzSizeMm_, vertSizeMm_, cellMm.Right, cellMm.Bottom);
  if (grid.Empty() || cell.Right <= 0 || cell.Bottom <= 0) return;
  win::MemoryBitmap bitmap(cell.Right, cell.Bottom);
  DrawStyleSample(bitmap, style, {0, 0, bitmap.Width(), bitmap.Height()});
  {
    win::Pen silver(CreatePen(PS_SOLID, 1, RGB(192, 192, 192)));
    win::SelectGuard p(bitmap.Dc(), silver), b(bitmap.Dc(), GetStockObject(NULL_BRUSH));
    Rectangle(bitmap.Dc(), 0, 0, bitmap.Width(), bitmap.Height());
  }
  // One diagram, copied to every place of the grid.
  for (int i = 0; i < grid.Columns; ++i)
    for (int j = 0; j < grid.Rows; ++j) {
      const print::Point corner = print::CellCornerMm(grid, i, j);
      Copy(canvas.Dc(), print::RoundEven(corner.X * k), print::RoundEven(corner.Y * k), bitmap);
    }
}

void TPrintForm::BitBtn1Click() {
  if (!PrinterSetupDialog1.Execute(hwnd_)) return;
  ShowPrinterName();
  UpdatePaper();
}

void TPrintForm::PrintBtnClick() {
  if (!GaugeForm) return;
  // While the job lets messages through, only the progress dialog takes input: a second click
  // here would start a job inside the job.
  struct Disabled {
    HWND hwnd;
    explicit Disabled(HWND h) : hwnd(h) { EnableWindow(hwnd, FALSE); }
    ~Disabled() {
      EnableWindow(hwnd, TRUE);
      SetActiveWindow(hwnd);
    }
  } disabled(hwnd_);
  PrintCheckedFolders(*this, *GaugeForm);
}

void TPrintForm::ShowModal(HWND owner) {
  // A printer that cannot be read leaves the dialog usable: the failure is shown, and the
  // dialog opens with what could be set up.
  win::Application::Guard([this] { FormShow(); });
  win::RunModal(hwnd_, owner, modalResult_, [this] {
    if (OnShown) OnShown(*this);
  });
  // The album may be deleted once the dialog is closed: no reference to its list stays.
  Folders = nullptr;
}

void TPrintForm::Close() { modalResult_ = IDCANCEL; }

void TPrintForm::FormPaint() {
  win::PaintDc pdc(hwnd_);
  // The preview panel: a raised edge, a border of the face colour and a lowered bevel inside.
  RECT panel{kPreviewLeft, 0, kClientWidth, kClientHeight};
  DrawEdge(pdc.Dc(), &panel, BDR_RAISEDOUTER, BF_RECT | BF_ADJUST);
  InflateRect(&panel, -2, -2);
  DrawEdge(pdc.Dc(), &panel, EDGE_SUNKEN, BF_RECT);
  PaintGraphics(pdc.Dc(), pdc.PaintRect());
}

LRESULT TPrintForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      FormPaint();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kBitBtn1Id:
          if (HIWORD(wp) == BN_CLICKED) BitBtn1Click();
          return 0;
        case kPrintBtnId:
          if (HIWORD(wp) == BN_CLICKED) PrintBtnClick();
          return 0;
        case IDCANCEL:
          Close();
          return 0;
      }
      break;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == SizeListItem.Handle()) {
        TrackPopupMenu(popupMenu1_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), 0, hwnd_,
                       nullptr);
        return 0;
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}
