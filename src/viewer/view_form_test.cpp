// The viewer window under Wine: its size at each zoom and on the screen, what it paints from
// the source picture, drag scrolling, the clipboard, and a picture that cannot be loaded.
#include "viewer/view_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/jpeg_image.h"
#include "viewer/row_decoder.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/win_test_util.h"
#include "win/app.h"
#include "win/canvas.h"
#include "win/test_dialogs.h"

using imgtest::TempDir;

namespace {

class ViewForm : public testing::Test {
 protected:
  void SetUp() override { InitPictureFormats(); }
  void TearDown() override {
    TViewForm::DestroyAll();
    DonePictureFormats();
  }
  // A viewer showing a photograph-like picture of the given size, loaded from a BMP file.
  TViewForm& Open(int w, int h, std::uint32_t seed = 1) {
    source_ = testpic::PhotoLike(w, h, seed);
    TViewForm& v = TViewForm::Create();
    v.OpenPicture(dir_.File("p" + std::to_string(w) + "x" + std::to_string(h) + ".bmp", Bmp(source_)));
    return v;
  }
  // An uncompressed 24-bit BMP file of the pixels, so that what is drawn can be compared.
  static imgtest::Bytes Bmp(const PixelBuffer& p) {
    const std::uint32_t image = static_cast<std::uint32_t>(p.Size()), size = 54 + image;
    imgtest::Bytes b(54);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
      for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, p.Width(), 4), put(22, p.Height(), 4);
    put(26, 1, 2), put(28, 24, 2), put(34, image, 4);
    for (int y = p.Height() - 1; y >= 0; --y) b.insert(b.end(), p.Row(y), p.Row(y) + p.Stride());
    return b;
  }
  // A decoder of source_ that reports `first` rows done, then the rest once `go` is set, a
  // row at a time; it stops when told. `ended` is set when it has returned.
  std::unique_ptr<TRowDecoder> Slow(int first, std::atomic<bool>& go, std::atomic<bool>& ended) {
    return std::make_unique<TRowDecoder>([this, first, &go, &ended](TRowsTarget& target) {
      PixelBuffer& p = target.Pixels();
      p.Allocate(source_.Width(), source_.Height());
      for (int y = 0; y < p.Height(); ++y) {
        std::copy(source_.Row(y), source_.Row(y) + source_.Stride(), p.Row(y));
        bool wanted = true;
        while (wanted && y + 1 == first && !go) {
          wanted = target.RowsDone(y + 1);
          Sleep(1);
        }
        if (!wanted || !target.RowsDone(y + 1)) break;
        if (y >= first) Sleep(1);
      }
      ended = true;
    });
  }
  // Handles messages until the condition holds (or 20 seconds pass).
  static bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < 20000) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      win::Application::ProcessMessages();
    }
    return done();
  }
  static RECT WindowRect(const TViewForm& v) {
    RECT r{};
    GetWindowRect(v.Handle(), &r);
    return r;
  }

  TempDir dir_;
  PixelBuffer source_;
};

// The viewers' windows not shown.
BOOL CALLBACK CollectHiddenViewer(HWND h, LPARAM lp) noexcept {
  try {
    if (dynamic_cast<TViewForm*>(win::Window::FromHandle(h)) && !IsWindowVisible(h))
      reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

TEST_F(ViewForm, SizesFollowTheZoomAndStayOnTheScreen) {
  TViewForm& v = Open(1000, 800);
  EXPECT_EQ(v.Zoom, 100);
  EXPECT_EQ(v.Text(), v.FileName);
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{1000, 800}));
  RECT c = v.ClientRect();
  EXPECT_EQ(c.right, 1000);  // the window fits the picture exactly: no scroll bars
  EXPECT_EQ(c.bottom, 800);

  v.ExecuteCommand(TViewForm::ZoomCommand(25));
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{250, 200}));
  c = v.ClientRect();
  // As wide as the picture, or as its caption needs (the test folder's path is long).
  const RECT w25 = WindowRect(v);
  EXPECT_EQ(w25.right - w25.left, std::max<int>(250 + (w25.right - w25.left - c.right), v.CaptionWidth()));
  EXPECT_EQ(c.bottom, 200);

  // 400 %: 4000 x 3200, the window capped at the screen less 10 and moved onto the screen.
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(v.Handle(), nullptr, sw - 300, sh - 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  v.ExecuteCommand(TViewForm::ZoomCommand(400));
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{4000, 3200}));
  RECT w = WindowRect(v);
  EXPECT_EQ(w.right - w.left, sw - 10);
  EXPECT_EQ(w.bottom - w.top, sh - 10);
  EXPECT_LE(w.right, sw);
  EXPECT_LE(w.bottom, sh);
  // Both scroll bars cover the whole paint area.
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE;
  ASSERT_TRUE(GetScrollInfo(v.Handle(), SB_HORZ, &si));
  EXPECT_EQ(si.nMax, 3999);
  EXPECT_EQ(static_cast<int>(si.nPage), v.ClientRect().right);
  ASSERT_TRUE(GetScrollInfo(v.Handle(), SB_VERT, &si));
  EXPECT_EQ(si.nMax, 3199);

  // Zooming out again scrolls back into range.
  v.SetScrollPosition(SB_HORZ, 3000);
  v.ExecuteCommand(TViewForm::ZoomCommand(50));
  EXPECT_EQ(v.ScrollPosition().x, 0);
  EXPECT_EQ(v.Zoom, 50);

  TViewForm& small = Open(3, 3);
  small.ExecuteCommand(TViewForm::ZoomCommand(75));
  EXPECT_EQ(small.PaintSize(), (viewer::Extent{2, 2}));
}

TEST_F(ViewForm, ATinyPictureGetsAWindowWideEnoughForItsCaption) {
  TViewForm& v = Open(3, 3);
  v.Show();
  const RECT w = WindowRect(v);
  // Its caption, the whole path, fits beside the title bar's icon and buttons.
  EXPECT_GE(w.right - w.left, v.CaptionWidth());
  EXPECT_GT(v.CaptionWidth(), 200);
  EXPECT_EQ(v.ClientRect().bottom, 3);
}

TEST_F(ViewForm, FullScreenShowsThePictureAloneAndEscOrAClickReturns) {
  TViewForm& v = Open(1600, 1200, 4);
  v.Show();
  v.ExecuteCommand(TViewForm::ZoomCommand(25));
  const RECT windowed = WindowRect(v);
  const LONG_PTR style = GetWindowLongPtrW(v.Handle(), GWL_STYLE);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  GetMonitorInfoW(MonitorFromWindow(v.Handle(), MONITOR_DEFAULTTONEAREST), &mi);
  for (int way = 0; way < 3; ++way) {
    v.ExecuteCommand(TViewForm::kFullScreen1);
    ASSERT_TRUE(v.FullScreen());
    const RECT full = WindowRect(v);
    EXPECT_TRUE(EqualRect(&full, &mi.rcMonitor));
    EXPECT_FALSE(GetWindowLongPtrW(v.Handle(), GWL_STYLE) & (WS_CAPTION | WS_HSCROLL | WS_VSCROLL));
    // The picture, reduced to the screen's height and centred, on black.
    UpdateWindow(v.Handle());
    const RECT c = v.ClientRect();
    const viewer::Bounds at = viewer::FitOnScreen({1600, 1200}, {c.right, c.bottom});
    win::MemoryBitmap shot(c.right, c.bottom);
    HDC dc = GetDC(v.Handle());
    BitBlt(shot.Dc(), 0, 0, c.right, c.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(v.Handle(), dc);
    if (at.X > 0) {
      EXPECT_EQ(shot.Pixel(at.X / 2, c.bottom / 2), 0u);
    }
    const std::uint32_t got = shot.Pixel(at.X + at.W / 2, at.Y + at.H / 2), want = source_.Pixel(800, 600);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(static_cast<int>(got >> shift & 0xFF), static_cast<int>(want >> shift & 0xFF), 40);
    // Back by Esc, by a click, or by the menu item again: the window as it was.
    if (way == 0) SendMessageW(v.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    if (way == 1) SendMessageW(v.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    if (way == 2) v.ExecuteCommand(TViewForm::kFullScreen1);
    EXPECT_FALSE(v.FullScreen());
    const RECT back = WindowRect(v);
    EXPECT_TRUE(EqualRect(&back, &windowed)) << way;
    EXPECT_EQ(GetWindowLongPtrW(v.Handle(), GWL_STYLE), style);
  }
  // Esc in the window closes the viewer.
  SendMessageW(v.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  win::Application::ProcessMessages();
  EXPECT_EQ(TViewForm::Count(), 0);
}

TEST_F(ViewForm, ContextMenuHasTheZoomItemsUnchecked) {
  TViewForm& v = Open(40, 30);
  HMENU popup = v.PopupMenu1();
  ASSERT_EQ(GetMenuItemCount(popup), 6);
  HMENU view = GetSubMenu(popup, 1);
  ASSERT_TRUE(view);
  EXPECT_EQ(GetMenuItemCount(view), 9);
  EXPECT_EQ(GetMenuDefaultItem(view, FALSE, 0), static_cast<UINT>(TViewForm::ZoomCommand(100)));
  for (int tag : {25, 50, 75, 100, 200, 300, 400}) {
    const UINT state = GetMenuState(view, static_cast<UINT>(TViewForm::ZoomCommand(tag)), MF_BYCOMMAND);
    EXPECT_NE(state, static_cast<UINT>(-1)) << tag;
    EXPECT_FALSE(state & MF_CHECKED) << tag;
  }
  v.ExecuteCommand(TViewForm::ZoomCommand(200));
  EXPECT_FALSE(GetMenuState(view, static_cast<UINT>(TViewForm::ZoomCommand(200)), MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(ViewForm, PaintsTheDamagedPartFromTheSourcePixels) {
  TViewForm& v = Open(400, 300, 5);
  v.ExecuteCommand(TViewForm::ZoomCommand(400));
  // A 100 x 80 part in the middle of the 1600 x 1200 paint area.
  win::MemoryBitmap bmp(100, 80);
  SetViewportOrgEx(bmp.Dc(), -798, -601, nullptr);
  IntersectClipRect(bmp.Dc(), 798, 601, 898, 681);
  win::Canvas canvas(bmp.Dc());
  v.PaintBox1Paint(canvas);
  for (int y = 0; y < 80; y += 7)
    for (int x = 0; x < 100; x += 3)
      ASSERT_EQ(bmp.Pixel(x, y), source_.Pixel((798 + x) / 4, (601 + y) / 4)) << x << "," << y;
}

TEST_F(ViewForm, DraggingScrollsAndStopsAtTheStart) {
  TViewForm& v = Open(400, 300);
  v.ExecuteCommand(TViewForm::ZoomCommand(400));
  v.Show();
  v.SetScrollPosition(SB_HORZ, 100);
  v.SetScrollPosition(SB_VERT, 50);
  auto send = [&](UINT msg, WPARAM keys, int x, int y) { SendMessageW(v.Handle(), msg, keys, MAKELPARAM(x, y)); };
  send(WM_LBUTTONDOWN, MK_LBUTTON, 300, 200);
  EXPECT_EQ(v.DragStart.x, 400);  // paint-area coordinates
  EXPECT_EQ(v.DragStart.y, 250);
  EXPECT_EQ(GetCapture(), v.Handle());
  // The picture follows the mouse: dragged left and up, the view scrolls right and down.
  send(WM_MOUSEMOVE, MK_LBUTTON, 260, 170);
  EXPECT_EQ(v.ScrollPosition().x, 140);
  EXPECT_EQ(v.ScrollPosition().y, 80);
  send(WM_MOUSEMOVE, MK_LBUTTON, 300, 200);  // back where it was grabbed
  EXPECT_EQ(v.ScrollPosition().x, 100);
  EXPECT_EQ(v.ScrollPosition().y, 50);
  // Past the start stops at 0; the scroll bars follow, both at the latest when the drag ends.
  send(WM_MOUSEMOVE, MK_LBUTTON, 700, 600);
  EXPECT_EQ(v.ScrollPosition().x, 0);
  EXPECT_EQ(v.ScrollPosition().y, 0);
  EXPECT_TRUE(GetScrollPos(v.Handle(), SB_HORZ) == 0 || GetScrollPos(v.Handle(), SB_VERT) == 0);
  send(WM_LBUTTONUP, 0, 700, 600);
  EXPECT_NE(GetCapture(), v.Handle());
  EXPECT_EQ(GetScrollPos(v.Handle(), SB_HORZ), 0);
  EXPECT_EQ(GetScrollPos(v.Handle(), SB_VERT), 0);
  // Without the button held the mouse scrolls nothing.
  send(WM_MOUSEMOVE, 0, 100, 100);
  EXPECT_EQ(v.ScrollPosition().x, 0);
  // Beyond the far end the scroll bar keeps the position within its range.
  v.SetScrollPosition(SB_HORZ, 100000);
  EXPECT_EQ(v.ScrollPosition().x, 1600 - v.ClientRect().right);
}

TEST_F(ViewForm, CopyPutsThePictureOnTheClipboardAsABitmap) {
  TViewForm& v = Open(30, 20, 3);
  v.Copy1Click();
  ASSERT_TRUE(OpenClipboard(v.Handle()));
  HANDLE data = GetClipboardData(CF_DIB);
  ASSERT_TRUE(data);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(data));
  EXPECT_EQ(header->biWidth, 30);
  EXPECT_EQ(header->biHeight, 20);
  EXPECT_EQ(header->biBitCount, 24);
  // Bottom row first: the top-left pixel is in the last row.
  const auto* rows = reinterpret_cast<const std::uint8_t*>(header + 1);
  const std::uint8_t* topLeft = rows + static_cast<std::size_t>(PixelBuffer::StrideFor(30)) * 19;
  EXPECT_EQ(topLeft[0] << 16 | topLeft[1] << 8 | topLeft[2], source_.Pixel(0, 0));
  GlobalUnlock(data);
  CloseClipboard();
}

TEST_F(ViewForm, APictureThatCannotBeLoadedLeavesTheViewerAsItWas) {
  TViewForm& v = Open(40, 30);
  const std::string shown = v.FileName;
  EXPECT_THROW(v.OpenPicture(dir_.File("bad.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'})), Exception);
  try {
    v.OpenPicture(dir_.File("x.qqq", {1, 2, 3}));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "拡張子 .qqq の画像形式は処理できません");
  }
  EXPECT_EQ(v.FileName, shown);
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{40, 30}));
}

TEST_F(ViewForm, ClosingDestroysTheViewerAndRemovesItsEntry) {
  TViewForm& v = Open(40, 30);
  std::vector<int> removed;
  v.SetMenuItem(1234);
  v.OnRemoveMenuItem = [&](int command) { removed.push_back(command); };
  EXPECT_EQ(TViewForm::Count(), 1);
  v.ExecuteCommand(TViewForm::kClose1);
  win::Application::ProcessMessages();
  EXPECT_EQ(TViewForm::Count(), 0);
  EXPECT_EQ(removed, std::vector<int>{1234});
}

TEST_F(ViewForm, ItsWindowShowsThePictureAtEveryZoom) {
  TViewForm& v = Open(400, 300, 9);
  v.Show();
  for (int zoom : {100, 50, 25, 75, 200, 400}) {
    v.ExecuteCommand(TViewForm::ZoomCommand(zoom));
    UpdateWindow(v.Handle());
    const RECT c = v.ClientRect();
    win::MemoryBitmap shot(c.right, c.bottom);
    HDC dc = GetDC(v.Handle());
    BitBlt(shot.Dc(), 0, 0, c.right, c.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(v.Handle(), dc);
    // A point inside the picture shows the source pixel under it (give or take a neighbour).
    const int x = std::min<int>(c.right, v.PaintSize().W) / 2, y = std::min<int>(c.bottom, v.PaintSize().H) / 2;
    const std::uint32_t got = shot.Pixel(x, y);
    const std::uint32_t want = source_.Pixel((x + v.ScrollPosition().x) * 100 / zoom, (y + v.ScrollPosition().y) * 100 / zoom);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(static_cast<int>(got >> shift & 0xFF), static_cast<int>(want >> shift & 0xFF), 40) << "zoom " << zoom;
  }
}

// While the worker decodes, a paint draws the rows done from the picture at the zoom and the
// window's colour below them; the rest comes as it is done, and the picture ends whole.
TEST_F(ViewForm, PaintsTheRowsDoneAndTheWindowColourBelowThem) {
  source_ = testpic::PhotoLike(400, 300, 6);
  std::atomic<bool> go{false}, ended{false};
  TViewForm& v = TViewForm::Create();
  v.ExecuteCommand(TViewForm::ZoomCommand(75));
  v.DecodePicture(dir_.Path() + "slow.jpg", {400, 300}, TJPEGImage::Class, Slow(121, go, ended));
  v.Show();
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{300, 225}));
  ASSERT_TRUE(PumpUntil([&] { return v.RowsPainted() == 121; }));
  EXPECT_TRUE(v.Decoding());
  EXPECT_TRUE(v.Picture.Pixels().Empty());
  // 75 %: three paint rows show four source rows; 121 rows ready draw 90 paint rows.
  win::MemoryBitmap bmp(300, 225);
  win::Canvas canvas(bmp.Dc());
  v.PaintBox1Paint(canvas);
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  // A reduced stretch may take a neighbour of the source pixel under a paint pixel.
  auto fromSource = [&](std::uint32_t got, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int sx = std::clamp(x * 4 / 3 + dx, 0, 399), sy = std::clamp(y * 4 / 3 + dy, 0, 120);
        if (got == source_.Pixel(sx, sy)) return true;
      }
    return false;
  };
  for (int y = 0; y < 225; ++y)
    for (int x = 0; x < 300; x += 13) {
      if (y < 90)
        ASSERT_TRUE(fromSource(bmp.Pixel(x, y), x, y)) << x << "," << y;
      else
        ASSERT_EQ(bmp.Pixel(x, y), face) << x << "," << y;
    }
  go = true;
  ASSERT_TRUE(PumpUntil([&] { return !v.Decoding(); }));
  EXPECT_TRUE(ended);
  ASSERT_EQ(v.Picture.Width(), 400);
  for (int y = 0; y < 300; ++y)
    ASSERT_TRUE(std::equal(source_.Row(y), source_.Row(y) + 1200, v.Picture.Pixels().Row(y))) << y;
  EXPECT_EQ(v.Picture.Graphic()->ClassType().Name, std::string("TJPEGImage"));
  win::MemoryBitmap after(300, 225);
  win::Canvas afterCanvas(after.Dc());
  v.PaintBox1Paint(afterCanvas);
  EXPECT_NE(after.Pixel(150, 200), face);
}

// A viewer opened from the list holds its scroll bars back while the picture is decoded: the
// window shows without them, the rows are painted, and once the picture is whole the bars
// come and the window stands as a viewer opened with them from the start.
TEST_F(ViewForm, ScrollBarsHeldBackComeOnceThePictureIsWhole) {
  const int w = GetSystemMetrics(SM_CXSCREEN) + 300, h = GetSystemMetrics(SM_CYSCREEN) + 200;
  TViewForm& plain = Open(w, h, 5);
  plain.MoveTo(40, 30);
  plain.ExecuteCommand(TViewForm::ZoomCommand(100));  // sized again from that corner
  const RECT expected = WindowRect(plain);
  const auto style = [](const TViewForm& v) { return GetWindowLongPtrW(v.Handle(), GWL_STYLE); };
  ASSERT_EQ(style(plain) & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);

  std::atomic<bool> go{false}, ended{false};
  TViewForm& v = TViewForm::Create();
  v.HoldScrollBars();
  v.MoveTo(40, 30);
  v.DecodePicture(dir_.Path() + "held.jpg", {w, h}, TJPEGImage::Class, Slow(50, go, ended));
  v.Show();
  ASSERT_TRUE(PumpUntil([&] { return v.RowsPainted() == 50; }));
  EXPECT_TRUE(v.ScrollBarsHeld());
  EXPECT_EQ(style(v) & (WS_HSCROLL | WS_VSCROLL), 0);
  // A size change meanwhile brings no bars either.
  SetWindowPos(v.Handle(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(style(v) & (WS_HSCROLL | WS_VSCROLL), 0);
  v.ExecuteCommand(TViewForm::ZoomCommand(100));
  go = true;
  ASSERT_TRUE(PumpUntil([&] { return !v.Decoding() && !v.ScrollBarsHeld(); }));
  EXPECT_TRUE(ended);
  EXPECT_EQ(style(v) & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
  const RECT got = WindowRect(v);
  EXPECT_EQ(got.left, expected.left);
  EXPECT_EQ(got.top, expected.top);
  EXPECT_EQ(got.right, expected.right);
  EXPECT_EQ(got.bottom, expected.bottom);
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE;
  ASSERT_TRUE(GetScrollInfo(v.Handle(), SB_HORZ, &si));
  EXPECT_EQ(si.nMax, w - 1);
  EXPECT_EQ(static_cast<int>(si.nPage), v.ClientRect().right);
  ASSERT_TRUE(GetScrollInfo(v.Handle(), SB_VERT, &si));
  EXPECT_EQ(si.nMax, h - 1);
  EXPECT_EQ(static_cast<int>(si.nPage), v.ClientRect().bottom);
  // The bars work as ever: the view scrolls to the far end and no further.
  SendMessageW(v.Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(v.ScrollPosition().y, h - v.ClientRect().bottom);

  // A picture that fits the screen gets none, held or not, and a window as tall as it (as
  // wide as it or as its caption needs).
  TViewForm& small = TViewForm::Create();
  small.HoldScrollBars();
  small.OpenPicture(dir_.File("small.bmp", Bmp(testpic::PhotoLike(320, 240, 6))));
  small.Show();
  ASSERT_TRUE(PumpUntil([&] { return !small.ScrollBarsHeld(); }));
  EXPECT_EQ(style(small) & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_GE(small.ClientRect().right, 320);
  EXPECT_EQ(small.ClientRect().bottom, 240);
}

// Once a viewer opened from the list has its picture in place, a window is made ahead for the
// next one: the next viewer takes it, there is never more than one, and it goes with the
// viewers, or alone when its window is destroyed.
TEST_F(ViewForm, TheNextViewerTakesTheWindowMadeAhead) {
  const auto hidden = [] {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), &CollectHiddenViewer, reinterpret_cast<LPARAM>(&found));
    return found;
  };
  TViewForm& v = TViewForm::Create();
  v.HoldScrollBars();
  v.OpenPicture(dir_.File("first.bmp", Bmp(testpic::PhotoLike(200, 150, 3))));
  v.Show();
  ASSERT_TRUE(PumpUntil([&] { return !v.ScrollBarsHeld(); }));
  const std::vector<HWND> ahead = hidden();
  ASSERT_EQ(ahead.size(), 1u);
  EXPECT_EQ(TViewForm::Count(), 1);

  TViewForm& next = TViewForm::Create();
  EXPECT_EQ(next.Handle(), ahead[0]);
  EXPECT_EQ(TViewForm::Count(), 2);
  EXPECT_EQ(hidden().size(), 1u);  // only the one taken, not shown yet
  next.OpenPicture(dir_.File("next.bmp", Bmp(testpic::PhotoLike(90, 60, 4))));
  EXPECT_EQ(next.Picture.Width(), 90);

  TViewForm::MakeSpare();
  TViewForm::MakeSpare();
  std::vector<HWND> now = hidden();
  ASSERT_EQ(now.size(), 2u);
  const HWND spare = now[0] == next.Handle() ? now[1] : now[0];
  // Destroyed on its own, its object goes with it; the next viewer makes a window anew.
  DestroyWindow(spare);
  EXPECT_EQ(hidden().size(), 1u);
  TViewForm& third = TViewForm::Create();
  EXPECT_TRUE(IsWindow(third.Handle()));
  EXPECT_NE(third.Handle(), spare);
  EXPECT_EQ(TViewForm::Count(), 3);

  TViewForm::MakeSpare();
  now = hidden();
  ASSERT_EQ(now.size(), 3u);  // next, third and the one made ahead
  TViewForm::DestroyAll();
  for (HWND h : now) EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(TViewForm::Count(), 0);
  EXPECT_TRUE(hidden().empty());
}

// Closing a viewer while its worker decodes: the worker is stopped and has ended before the
// window is gone, and its reports still queued do nothing.
TEST_F(ViewForm, ClosingMidDecodeEndsTheWorkerBeforeTheWindowGoes) {
  source_ = testpic::PhotoLike(200, 600, 7);
  std::atomic<bool> go{false}, ended{false};
  TViewForm& v = TViewForm::Create();
  v.DecodePicture(dir_.Path() + "slow.jpg", {200, 600}, TJPEGImage::Class, Slow(40, go, ended));
  v.Show();
  ASSERT_TRUE(PumpUntil([&] { return v.RowsPainted() > 0; }));
  go = true;  // decoding on, a row a millisecond
  Sleep(30);
  const HWND window = v.Handle();
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(TViewForm::Count(), 0);
  Sleep(50);
  win::Application::ProcessMessages();
  EXPECT_EQ(TViewForm::Count(), 0);
}

// Another picture opened in a viewer while it decodes one: the first decoding stops, and
// its reports neither draw its rows nor put its picture in place of the new one.
TEST_F(ViewForm, OpeningAnotherPictureMidDecodeDropsTheFirst) {
  TViewForm& v = Open(40, 30, 2);
  const PixelBuffer second = source_;
  const std::string secondPath = v.FileName;
  source_ = testpic::PhotoLike(300, 500, 8);
  std::atomic<bool> go{false}, ended{false};
  v.DecodePicture(dir_.Path() + "slow.jpg", {300, 500}, TJPEGImage::Class, Slow(50, go, ended));
  v.Show();
  ASSERT_TRUE(PumpUntil([&] { return v.RowsPainted() > 0; }));
  go = true;
  v.OpenPicture(secondPath);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(v.Decoding());
  Sleep(50);
  win::Application::ProcessMessages();
  EXPECT_EQ(v.PaintSize(), (viewer::Extent{40, 30}));
  ASSERT_EQ(v.Picture.Width(), 40);
  EXPECT_EQ(v.Picture.Pixels().Pixel(5, 5), second.Pixel(5, 5));
  win::MemoryBitmap bmp(40, 30);
  win::Canvas canvas(bmp.Dc());
  v.PaintBox1Paint(canvas);
  EXPECT_EQ(bmp.Pixel(20, 25), second.Pixel(20, 25));
}

// A decoding that fails before any row is done closes its viewer and then says why; one that
// fails part-way keeps the rows done.
TEST_F(ViewForm, ADecodingThatFailsKeepsTheRowsDoneOrClosesTheViewer) {
  win::ScriptedDialogs dialogs;
  std::vector<int> removed;
  TViewForm& v = TViewForm::Create();
  v.SetMenuItem(77);
  v.OnRemoveMenuItem = [&](int command) { removed.push_back(command); };
  v.DecodePicture(dir_.Path() + "bad.png", {50, 40}, TJPEGImage::Class,
                  std::make_unique<TRowDecoder>([](TRowsTarget&) { throw EInvalidGraphic("壊れています"); }));
  v.Show();
  ASSERT_TRUE(PumpUntil([&] { return TViewForm::Count() == 0; }));
  EXPECT_EQ(removed, std::vector<int>{77});
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "壊れています");

  TViewForm& w = TViewForm::Create();
  source_ = testpic::PhotoLike(60, 50, 3);
  w.DecodePicture(dir_.Path() + "half.jpg", {60, 50}, TJPEGImage::Class,
                  std::make_unique<TRowDecoder>([this](TRowsTarget& target) {
                    PixelBuffer& p = target.Pixels();
                    p.Allocate(60, 50);
                    for (int y = 0; y < 20; ++y) std::copy(source_.Row(y), source_.Row(y) + source_.Stride(), p.Row(y));
                    target.RowsDone(20);
                    throw EInvalidGraphic("途中で終わっています");
                  }));
  w.Show();
  ASSERT_TRUE(PumpUntil([&] { return dialogs.messages.size() == 2; }));
  EXPECT_EQ(dialogs.messages[1].text, "途中で終わっています");
  ASSERT_EQ(TViewForm::Count(), 1);
  ASSERT_EQ(w.Picture.Height(), 50);
  EXPECT_EQ(w.Picture.Pixels().Pixel(30, 19), source_.Pixel(30, 19));
  EXPECT_EQ(w.Picture.Pixels().Pixel(30, 20), GetSysColor(COLOR_BTNFACE));
}
