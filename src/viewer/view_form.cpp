#include "viewer/view_form.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "imaging/resample.h"
#include "viewer/row_decoder.h"
#include "win/app.h"
#include "win/error.h"
#include "win/text.h"

using viewer::Extent;

namespace {

constexpr int kZoomBase = 1000;  // a zoom item's command is this plus its tag
constexpr int kLineStep = 16;    // pixels per scroll-bar arrow click
// The worker's report that more rows are done; wParam is the decoder's generation.
constexpr UINT kRowsMessage = WM_APP + 1;
// Scroll bars held back while the window opened come now (posted by the paint that finished
// the picture).
constexpr UINT kBarsMessage = WM_APP + 2;

// The viewers open now; each is destroyed with its window.
std::vector<std::unique_ptr<TViewForm>>& OpenViewers() {
  static std::vector<std::unique_ptr<TViewForm>> viewers;
  return viewers;
}

// A viewer's window made ahead, hidden, for the next picture opened: Wine takes 10-35 ms to
// make a window, as long as decoding the first rows of a photograph. It is no open viewer
// (neither listed above nor counted) until Create takes it, and goes with its window too.
std::unique_ptr<TViewForm>& Spare() {
  static std::unique_ptr<TViewForm> spare;
  return spare;
}

// The program's custom cursors: the open hand over a picture, the closed one while dragging.
HCURSOR handOpen = nullptr, handClose = nullptr;

// The context menu: the zoom items in the "表示" submenu, the others beside it.
struct ItemDef {
  const char* Caption;  // null: a separator
  int Command;
  bool Default = false;
};
const ItemDef kZoomItems[] = {
    {"100%", kZoomBase + 100, true}, {nullptr, 0}, {" 25%", kZoomBase + 25},  {" 50%", kZoomBase + 50},
    {" 75%", kZoomBase + 75},        {nullptr, 0}, {"200%", kZoomBase + 200}, {"300%", kZoomBase + 300},
    {"400%", kZoomBase + 400},
};

void AppendItem(HMENU menu, const ItemDef& item, HMENU sub = nullptr) {
  std::wstring text = item.Caption ? win::Wide(item.Caption) : std::wstring();
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  if (!item.Caption) {
    mii.fMask = MIIM_FTYPE;
    mii.fType = MFT_SEPARATOR;
  } else {
    mii.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | (sub ? MIIM_SUBMENU : 0u);
    mii.wID = static_cast<UINT>(item.Command);
    mii.fState = item.Default ? MFS_DEFAULT : 0u;
    mii.dwTypeData = text.data();
    mii.hSubMenu = sub;
  }
  if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mii))
    throw Exception("メニューを作成できません");
}

win::Menu MakePopupMenu() {
  win::Menu popup(CreatePopupMenu()), view(CreatePopupMenu());
  if (!popup || !view) throw Exception("メニューを作成できません");
  for (const ItemDef& item : kZoomItems) AppendItem(view, item);
  AppendItem(popup, {"コピー", TViewForm::kCopy1});
  AppendItem(popup, {"表示", 0}, view);
  view.Detach();  // the context menu owns its submenu now
  AppendItem(popup, {nullptr, 0});
  AppendItem(popup, {"全画面表示", TViewForm::kFullScreen1});
  AppendItem(popup, {nullptr, 0});
  AppendItem(popup, {"閉じる", TViewForm::kClose1});
  return popup;
}

}  // namespace

TViewForm& TViewForm::Create() {
  std::unique_ptr<TViewForm> view = std::move(Spare());
  if (!view) view.reset(new TViewForm);
  OpenViewers().push_back(std::move(view));
  return *OpenViewers().back();
}

void TViewForm::MakeSpare() noexcept {
  if (Spare()) return;
  try {
    Spare().reset(new TViewForm);
  } catch (...) {
    // Without one the next viewer makes its own window, as the first one did.
  }
}

int TViewForm::Count() { return static_cast<int>(OpenViewers().size()); }

void TViewForm::DestroyAll() {
  auto& viewers = OpenViewers();
  while (!viewers.empty()) {
    TViewForm* last = viewers.back().get();
    if (last->hwnd_) DestroyWindow(last->hwnd_);  // its object goes with it
    if (!viewers.empty() && viewers.back().get() == last) viewers.pop_back();
  }
  if (Spare() && Spare()->hwnd_) DestroyWindow(Spare()->hwnd_);  // its object goes with it
  Spare().reset();
}

TViewForm::~TViewForm() = default;

TViewForm::TViewForm() {
  CreateArgs a;
  a.style = WS_OVERLAPPEDWINDOW;  // the scroll bars come as the picture needs them
  a.width = 364;
  a.height = 302;
  a.background = nullptr;  // painted whole by WM_PAINT: no flicker while dragging
  CreateWindowOf(a);
  try {
    popup_ = MakePopupMenu();
    FormCreate();
  } catch (...) {
    DestroyUnlinked();
    throw;
  }
}

void TViewForm::FormCreate() {
  HINSTANCE instance = win::Application::Instance();
  handOpen = LoadCursorW(instance, L"HANDOPEN");
  handClose = LoadCursorW(instance, L"HANDCLOSE");
  Picture = TPicture();
  MenuItem = 0;
  Zoom = 100;
}

void TViewForm::OnDestroyed() {
  // Last of all: the object goes with its window.
  if (Spare().get() == this) {
    std::unique_ptr<TViewForm> self = std::move(Spare());
    return;
  }
  auto& viewers = OpenViewers();
  auto it = std::find_if(viewers.begin(), viewers.end(), [this](const auto& v) { return v.get() == this; });
  if (it == viewers.end()) return;
  std::unique_ptr<TViewForm> self = std::move(*it);
  viewers.erase(it);
}

void TViewForm::FormDestroy() {
  StopDecoding();
  if (MenuItem && OnRemoveMenuItem) OnRemoveMenuItem(std::exchange(MenuItem, 0));
}

Extent TViewForm::PaintSize() const { return viewer::PaintExtent(pictureSize_, Zoom); }

void TViewForm::OpenPicture(const std::string& path) {
  TPicture picture;
  picture.LoadFromFile(path);
  PreparePicture(path, {picture.Width(), picture.Height()});
  SetPicture(std::move(picture));
}

void TViewForm::PreparePicture(const std::string& path, Extent pictureSize) {
  StopDecoding();
  Picture = TPicture();
  pictureSize_ = pictureSize;
  FileName = path;
  SetText(path);
  scroll_ = {0, 0};
  const Extent paint = PaintSize();
  SizeAndFit(paint.W + 20, paint.H + 50);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TViewForm::SetPicture(TPicture picture) {
  StopDecoding();
  Picture = std::move(picture);
  const Extent size{Picture.Width(), Picture.Height()};
  if (!(size == pictureSize_)) {
    pictureSize_ = size;
    const Extent paint = PaintSize();
    SizeAndFit(paint.W + 20, paint.H + 50);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TViewForm::DecodePicture(const std::string& path, Extent pictureSize, const TGraphicClass& kind,
                              std::unique_ptr<TRowDecoder> decoder) {
  PreparePicture(path, pictureSize);
  decodedKind_ = &kind;
  decoder_ = std::move(decoder);
  decoder_->ReportTo(hwnd_, kRowsMessage, ++generation_);
}

void TViewForm::StopDecoding() {
  decoder_.reset();
  readyRows_ = 0;
}

void TViewForm::RowsArrived(WPARAM generation) {
  if (!decoder_ || generation != generation_) return;  // a report of a decoder stopped since
  decoder_->TakeReport();
  const bool finished = decoder_->Finished();  // before the count: when finished, it is final
  const int done = decoder_->Done();
  if (done > readyRows_) {
    // The paint rows that showed the window's colour and can show the picture now.
    const int height = decoder_->Rows().Height(), paint = PaintSize().H;
    const int from = viewer::ReadyPaintLength(readyRows_, height, paint);
    readyRows_ = done;
    const int to = viewer::ReadyPaintLength(readyRows_, height, paint);
    const RECT c = ClientRect();
    const RECT band{0, std::max(0L, from - scroll_.y), c.right, std::min(c.bottom, to - scroll_.y)};
    if (band.bottom > band.top) InvalidateRect(hwnd_, &band, FALSE);
  }
  if (finished) FinishDecoding();
}

void TViewForm::FinishDecoding() {
  std::unique_ptr<TRowDecoder> decoder = std::move(decoder_);  // its worker has ended
  const int done = std::exchange(readyRows_, 0);
  const std::exception_ptr failure = decoder->Failure();
  PixelBuffer rows = decoder->TakeRows();
  decoder.reset();
  if (failure && done == 0) {
    // Nothing to show: the viewer goes, and then its error is shown. Nothing of this object
    // may be touched once its window is destroyed.
    DestroyWindow(hwnd_);
    std::rethrow_exception(failure);
  }
  if (failure) {
    // What was decoded stays; the rest in the window's colour.
    const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
    for (int y = done; y < rows.Height(); ++y)
      for (int x = 0; x < rows.Width(); ++x) rows.SetPixel(x, y, face);
  }
  std::unique_ptr<TGraphic> graphic = decodedKind_->Create();
  graphic->SetPixels(std::move(rows));
  TPicture picture;
  picture.Assign(std::move(graphic));
  if (Extent{picture.Width(), picture.Height()} == pictureSize_)
    Picture = std::move(picture);  // what is on the screen already shows it
  else
    SetPicture(std::move(picture));
  // A paint follows even with no row left to draw: it brings scroll bars held back.
  if (barsHeld_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INTERNALPAINT);
  if (failure) std::rethrow_exception(failure);
}

void TViewForm::N4001Click(int command) {
  const int tag = command - kZoomBase;
  if (tag < viewer::kMinZoom || tag > viewer::kMaxZoom) return;
  Zoom = tag;
  const Extent paint = PaintSize();
  SizeAndFit(paint.W + 60, paint.H + 60);
  UpdateScrollBars();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

int TViewForm::ZoomCommand(int tag) { return kZoomBase + tag; }

void TViewForm::MoveTo(int x, int y) { SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }

int TViewForm::CaptionWidth() const {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return 0;
  win::Font font(CreateFontIndirectW(&ncm.lfCaptionFont));
  const std::wstring text = win::Wide(Text());
  HDC dc = GetDC(hwnd_);
  SIZE size{};
  {
    win::SelectGuard g(dc, font.Get());
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  }
  ReleaseDC(hwnd_, dc);
  // The icon, the three buttons, the frame's edges and a little air around the text.
  return size.cx + GetSystemMetrics(SM_CXSMICON) + 3 * GetSystemMetrics(SM_CXSIZE) +
         4 * GetSystemMetrics(SM_CXSIZEFRAME) + 16;
}

void TViewForm::SizeAndFit(int width, int height) {
  if (fullScreen_) LeaveFullScreen();
  // The first sizing shows the scroll bars the size needs, so that the frame is measured with
  // them. While they are held back the frame is the same at any size, and the window is sized
  // once: Wine takes several milliseconds for each sizing.
  if (!barsHeld_) {
    RECT w{};
    GetWindowRect(hwnd_, &w);
    SetWindowPos(hwnd_, nullptr, w.left, w.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Fit();
}

void TViewForm::Fit() {
  RECT w{};
  GetWindowRect(hwnd_, &w);
  const RECT c = ClientRect();
  const Extent paint = PaintSize(), screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  // The caption's width matters only to a window narrower than the screen allows.
  const int frameWidth = (w.right - w.left) - c.right;
  const int minWidth = paint.W + frameWidth + viewer::kScreenMargin <= screen.W ? CaptionWidth() : 0;
  const viewer::Bounds b = viewer::FitToScreen({w.left, w.top, w.right - w.left, w.bottom - w.top},
                                               {c.right, c.bottom}, paint, screen, minWidth);
  SetWindowPos(hwnd_, nullptr, b.X, b.Y, b.W, b.H, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateScrollBars();
}

void TViewForm::ReleaseScrollBars() {
  if (!barsHeld_) return;
  barsHeld_ = false;
  if (fullScreen_) return;  // leaving full screen brings them
  UpdateScrollBars();
  Fit();
}

void TViewForm::UpdateScrollBars() {
  if (updatingBars_ || fullScreen_ || barsHeld_) return;
  // Showing or hiding one bar changes the client area, and so the other bar's page: twice.
  // A bar is set only when it changes, and the frame is drawn once at the end: Wine draws a
  // scroll bar slowly (as long as 10 ms or more each time).
  updatingBars_ = true;
  const Extent paint = PaintSize();
  auto set = [this](int bar, int length, LONG page, LONG pos) {
    SCROLLINFO now{};
    now.cbSize = sizeof(now);
    now.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    SCROLLINFO si = now;
    si.nMax = std::max(0, length - 1);
    si.nPage = static_cast<UINT>(std::max(0L, page));
    si.nPos = pos;
    if (GetScrollInfo(hwnd_, bar, &now) && now.nMin == 0 && now.nMax == si.nMax && now.nPage == si.nPage &&
        now.nPos == si.nPos)
      return false;
    SetScrollInfo(hwnd_, bar, &si, FALSE);
    return true;
  };
  bool changed = false;
  for (int pass = 0; pass < 2; ++pass) {
    const RECT c = ClientRect();
    changed |= set(SB_HORZ, paint.W, c.right, scroll_.x);
    changed |= set(SB_VERT, paint.H, c.bottom, scroll_.y);
  }
  updatingBars_ = false;
  if (changed) RedrawWindow(hwnd_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  const RECT c = ClientRect();
  const POINT kept{std::clamp<LONG>(scroll_.x, 0, std::max(0L, paint.W - c.right)),
                   std::clamp<LONG>(scroll_.y, 0, std::max(0L, paint.H - c.bottom))};
  if (kept.x != scroll_.x || kept.y != scroll_.y) {
    scroll_ = kept;
    SetScrollPos(hwnd_, SB_HORZ, scroll_.x, TRUE);
    SetScrollPos(hwnd_, SB_VERT, scroll_.y, TRUE);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void TViewForm::SetScrollPosition(int bar, int pos) {
  if (fullScreen_) return;
  const Extent paint = PaintSize();
  const RECT c = ClientRect();
  const bool horz = bar == SB_HORZ;
  LONG& now = horz ? scroll_.x : scroll_.y;
  pos = std::clamp(pos, 0,
                   std::max(0, horz ? paint.W - static_cast<int>(c.right) : paint.H - static_cast<int>(c.bottom)));
  if (pos == now) return;
  const int delta = now - pos;
  now = pos;
  if (!dragging_) ShowScrollPosition(bar);
  // What stays in view is moved on the screen; only the uncovered strip is painted afresh.
  ScrollWindowEx(hwnd_, horz ? delta : 0, horz ? 0 : delta, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
}

void TViewForm::ShowScrollPosition(int bar) { SetScrollPos(hwnd_, bar, bar == SB_HORZ ? scroll_.x : scroll_.y, TRUE); }

void TViewForm::Paint() {
  win::PaintDc pdc(hwnd_);
  HDC dc = pdc.Dc();
  if (fullScreen_) {
    PaintFullScreen(dc);
    return;
  }
  const Extent paint = PaintSize();
  const RECT c = ClientRect();
  // The client area beside and below the picture in the window's colour.
  const RECT picture{-scroll_.x, -scroll_.y, paint.W - scroll_.x, paint.H - scroll_.y};
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  if (picture.right < c.right) {
    RECT r{std::max(0L, picture.right), 0, c.right, c.bottom};
    FillRect(dc, &r, face);
  }
  if (picture.bottom < c.bottom) {
    RECT r{0, std::max(0L, picture.bottom), std::min(c.right, picture.right), c.bottom};
    FillRect(dc, &r, face);
  }
  const int saved = SaveDC(dc);
  SetViewportOrgEx(dc, -scroll_.x, -scroll_.y, nullptr);
  IntersectClipRect(dc, 0, 0, paint.W, paint.H);
  try {
    win::Canvas canvas(dc);
    PaintBox1Paint(canvas);
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

const PixelBuffer& TViewForm::ShownPixels(int& rows) const {
  if (decoder_ && readyRows_ > 0) {
    rows = readyRows_;
    return decoder_->Rows();
  }
  rows = Picture.Height();
  return Picture.Pixels();
}

void TViewForm::PaintBox1Paint(win::Canvas& canvas) {
  int ready = 0;
  const PixelBuffer& pixels = ShownPixels(ready);
  RECT clip{};
  if (GetClipBox(canvas.Dc(), &clip) <= NULLREGION) return;
  rowsPainted_ = ready;
  // Rows not decoded yet in the window's colour.
  const Extent paint = PaintSize();
  const int readyPaint = viewer::ReadyPaintLength(ready, pixels.Height(), paint.H);
  if (readyPaint < clip.bottom) {
    const RECT rest{clip.left, std::max<LONG>(clip.top, readyPaint), clip.right, clip.bottom};
    FillRect(canvas.Dc(), &rest, GetSysColorBrush(COLOR_BTNFACE));
    clip.bottom = readyPaint;
    if (clip.bottom <= clip.top) return;
  }
  // Only the damaged part, from the source rows it shows: the zoomed picture as a whole
  // would be far too large to make.
  const viewer::SpanMap x = viewer::SourceSpan({clip.left, clip.right}, pixels.Width(), paint.W);
  const viewer::SpanMap y = viewer::SourceSpan({clip.top, clip.bottom}, pixels.Height(), paint.H);
  if (x.Source.From >= x.Source.To || y.Source.From >= y.Source.To) return;
  const int rows = y.Source.To - y.Source.From;
  // A header for just those rows: GDI never converts more of the picture than is drawn.
  BITMAPINFO bi = win::Dib24Info(pixels.Width(), rows);
  const int w = x.Dest.To - x.Dest.From, h = y.Dest.To - y.Dest.From;
  if (w == x.Source.To - x.Source.From && h == rows) {
    // At 100 % the rows are copied as they are, which is quicker than a stretch.
    SetDIBitsToDevice(canvas.Dc(), x.Dest.From, y.Dest.From, w, h, x.Source.From, 0, 0, rows, pixels.Row(y.Source.From),
                      &bi, DIB_RGB_COLORS);
    return;
  }
  const int mode = SetStretchBltMode(canvas.Dc(), COLORONCOLOR);
  StretchDIBits(canvas.Dc(), x.Dest.From, y.Dest.From, w, h, x.Source.From, 0, x.Source.To - x.Source.From, rows,
                pixels.Row(y.Source.From), &bi, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(canvas.Dc(), mode);
}

bool TViewForm::InPaintArea(POINT client) const {
  const Extent paint = PaintSize();
  const POINT p{client.x + scroll_.x, client.y + scroll_.y};
  return p.x >= 0 && p.y >= 0 && p.x < paint.W && p.y < paint.H;
}

void TViewForm::PaintBox1MouseDown(int button, int x, int y) {
  if (button != 0) return;
  dragging_ = true;
  DragStart = {x, y};
  SetCapture(hwnd_);
  if (handClose) SetCursor(handClose);
}

void TViewForm::PaintBox1MouseMove(bool leftHeld, int x, int y) {
  if (!dragging_ || !leftHeld) return;
  const int h = viewer::DragScrollPosition(DragStart.x, scroll_.x, x);
  const int v = viewer::DragScrollPosition(DragStart.y, scroll_.y, y);
  if (v != scroll_.y) SetScrollPosition(SB_VERT, v);
  if (h != scroll_.x) SetScrollPosition(SB_HORZ, h);
  // Drawing a scroll bar can take longer than drawing the picture (8 ms under Wine): the
  // picture follows the mouse at once, the bars one per move in turn, both when it ends.
  for (int bar : {nextBar_, 1 - nextBar_}) {
    if (GetScrollPos(hwnd_, bar) != (bar == SB_HORZ ? scroll_.x : scroll_.y)) {
      ShowScrollPosition(bar);
      nextBar_ = 1 - bar;
      break;
    }
  }
}

void TViewForm::PaintBox1MouseUp() {
  if (!dragging_) return;
  dragging_ = false;
  ShowScrollPosition(SB_HORZ);
  ShowScrollPosition(SB_VERT);
  if (GetCapture() == hwnd_) ReleaseCapture();
  SetCursor(handOpen ? handOpen : LoadCursorW(nullptr, IDC_ARROW));
}

void TViewForm::Copy1Click() {
  const PixelBuffer& pixels = Picture.Pixels();
  if (pixels.Empty()) return;
  // A packed bitmap, rows bottom first as every program reading the clipboard expects.
  const std::size_t stride = static_cast<std::size_t>(pixels.Stride());
  const std::size_t size = sizeof(BITMAPINFOHEADER) + stride * static_cast<std::size_t>(pixels.Height());
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) throw Exception("クリップボードに送るメモリが足りません");
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
  *header = win::Dib24Info(pixels.Width(), pixels.Height()).bmiHeader;
  header->biHeight = pixels.Height();
  header->biSizeImage = static_cast<DWORD>(stride * static_cast<std::size_t>(pixels.Height()));
  auto* rows = reinterpret_cast<std::uint8_t*>(header + 1);
  for (int y = 0; y < pixels.Height(); ++y)
    std::copy_n(pixels.Row(y), stride, rows + stride * static_cast<std::size_t>(pixels.Height() - 1 - y));
  GlobalUnlock(memory);
  if (!OpenClipboard(hwnd_)) {
    GlobalFree(memory);
    throw Exception("クリップボードを開けません");
  }
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_DIB, memory) != nullptr;
  CloseClipboard();
  if (!placed) {
    GlobalFree(memory);
    throw Exception("クリップボードに画像を置けません");
  }
}

void TViewForm::Close1Click() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TViewForm::FullScreen1Click() {
  if (fullScreen_)
    LeaveFullScreen();
  else
    EnterFullScreen();
}

void TViewForm::EnterFullScreen() {
  if (Picture.Pixels().Empty()) return;  // still being decoded
  HMONITOR monitor = MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (!GetMonitorInfoW(monitor, &mi)) return;
  const RECT& m = mi.rcMonitor;
  const viewer::Bounds at = viewer::FitOnScreen({Picture.Width(), Picture.Height()}, {m.right - m.left, m.bottom - m.top});
  // Reduced once, averaging: each repaint then copies it as it stands.
  fitted_ = ResamplePixels(Picture.Pixels(), at.W, at.H);
  windowed_.length = sizeof(windowed_);
  GetWindowPlacement(hwnd_, &windowed_);
  windowedStyle_ = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  PaintBox1MouseUp();
  fullScreen_ = true;
  ShowScrollBar(hwnd_, SB_BOTH, FALSE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, (windowedStyle_ & ~(WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL)) | WS_POPUP);
  SetWindowPos(hwnd_, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd_);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TViewForm::LeaveFullScreen() {
  if (!fullScreen_) return;
  fullScreen_ = false;
  fitted_ = PixelBuffer();
  SetWindowLongPtrW(hwnd_, GWL_STYLE, windowedStyle_);
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  SetWindowPlacement(hwnd_, &windowed_);
  UpdateScrollBars();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TViewForm::PaintFullScreen(HDC dc) {
  const RECT c = ClientRect();
  const viewer::Bounds at = viewer::FitOnScreen({fitted_.Width(), fitted_.Height()}, {c.right, c.bottom});
  // Black around the picture; the picture itself, once, over it.
  const RECT parts[] = {{0, 0, c.right, at.Y},
                        {0, at.Y + at.H, c.right, c.bottom},
                        {0, at.Y, at.X, at.Y + at.H},
                        {at.X + at.W, at.Y, c.right, at.Y + at.H}};
  for (const RECT& r : parts)
    if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (fitted_.Empty()) return;
  BITMAPINFO bi = win::Dib24Info(fitted_.Width(), fitted_.Height());
  SetDIBitsToDevice(dc, at.X, at.Y, at.W, at.H, 0, 0, 0, fitted_.Height(), fitted_.Data(), &bi, DIB_RGB_COLORS);
}

void TViewForm::ExecuteCommand(int command) {
  switch (command) {
    case kCopy1:
      Copy1Click();
      return;
    case kClose1:
      Close1Click();
      return;
    case kFullScreen1:
      FullScreen1Click();
      return;
  }
  LeaveFullScreen();
  N4001Click(command);
}

LRESULT TViewForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      // Once the picture is whole on the screen.
      if (barsHeld_ && !decoder_) PostMessageW(hwnd_, kBarsMessage, 0, 0);
      return 0;
    case kBarsMessage:
      ReleaseScrollBars();
      MakeSpare();  // the picture is in place: time to make the next viewer's window
      return 0;
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) UpdateScrollBars();
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const int bar = msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
      const RECT c = ClientRect();
      const int page = bar == SB_HORZ ? c.right : c.bottom;
      int pos = bar == SB_HORZ ? scroll_.x : scroll_.y;
      switch (LOWORD(wp)) {
        case SB_LINEUP:
          pos -= kLineStep;
          break;
        case SB_LINEDOWN:
          pos += kLineStep;
          break;
        case SB_PAGEUP:
          pos -= page;
          break;
        case SB_PAGEDOWN:
          pos += page;
          break;
        case SB_TOP:
          pos = 0;
          break;
        case SB_BOTTOM:
          pos = INT_MAX / 2;
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si{};
          si.cbSize = sizeof(si);
          si.fMask = SIF_TRACKPOS;
          GetScrollInfo(hwnd_, bar, &si);
          pos = si.nTrackPos;
          break;
        }
      }
      SetScrollPosition(bar, pos);
      return 0;
    }
    case WM_MOUSEWHEEL:
      SetScrollPosition(SB_VERT, scroll_.y - GET_WHEEL_DELTA_WPARAM(wp) * 3 * kLineStep / WHEEL_DELTA);
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        if (fullScreen_)
          LeaveFullScreen();
        else
          Close1Click();
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (fullScreen_) {
        LeaveFullScreen();
        return 0;
      }
      if (InPaintArea(at)) PaintBox1MouseDown(msg == WM_LBUTTONDOWN ? 0 : 2, at.x + scroll_.x, at.y + scroll_.y);
      return 0;
    case WM_MOUSEMOVE:
      PaintBox1MouseMove((wp & MK_LBUTTON) != 0, at.x + scroll_.x, at.y + scroll_.y);
      return 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
      PaintBox1MouseUp();
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd_) PaintBox1MouseUp();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && handOpen && !fullScreen_) {
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(hwnd_, &p);
        if (InPaintArea(p)) {
          SetCursor(dragging_ && handClose ? handClose : handOpen);
          return TRUE;
        }
      }
      break;
    case WM_CONTEXTMENU: {
      POINT p = at;
      if (lp == -1) {  // from the keyboard: at the client area's top-left corner
        p = {0, 0};
        ClientToScreen(hwnd_, &p);
      } else if (!fullScreen_) {
        POINT client = p;
        ScreenToClient(hwnd_, &client);
        if (!InPaintArea(client)) break;
      }
      CheckMenuItem(popup_, kFullScreen1, MF_BYCOMMAND | (fullScreen_ ? MF_CHECKED : MF_UNCHECKED));
      const int command =
          TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, p.x, p.y, 0, hwnd_, nullptr);
      if (command) ExecuteCommand(command);
      return 0;
    }
    case kRowsMessage:
      RowsArrived(wp);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}
