// Tests of the thin Win32 layer, run in-process under Wine.
#include <gtest/gtest.h>

#include "win/app.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/test_dialogs.h"
#include "win/text.h"
#include "win/window.h"

using namespace win;

TEST(WinText, ShiftJisRoundTripsThroughUtf16) {
  std::string sjis = "写真\\表ソ能 abc";  // trail bytes 0x5C in 表, ソ and 能
  std::wstring w = Wide(sjis);
  EXPECT_EQ(w, L"写真\\表ソ能 abc");
  EXPECT_EQ(Narrow(w), sjis);
  EXPECT_EQ(Wide(""), L"");
}

TEST(WinText, JapaneseUpperCaseKeepsDoubleByteCharacters) {
  // Full-width letters are upper-cased too; the trail byte "a" of ヂ (83 61) is untouched.
  EXPECT_EQ(UpperJa("photo.jpg"), "PHOTO.JPG");
  EXPECT_EQ(UpperJa("ａｂｃ"), "ＡＢＣ");
  EXPECT_EQ(UpperJa("\x83\x61.jpg"), "\x83\x61.JPG");
  EXPECT_EQ(CompareTextJa("C:\\写真\\Abc", "c:\\写真\\aBC"), 0);
  EXPECT_LT(CompareTextJa("a", "b"), 0);
}

TEST(WinCanvas, DrawsIntoAMemoryBitmapAndReadsItBack) {
  MemoryBitmap bmp(40, 30);
  Canvas c(bmp.Dc());
  c.FillRect({0, 0, 40, 30}, 0xFFFFFF);
  c.FillRect({10, 5, 20, 15}, 0x0000FF);  // red in 0x00BBGGRR
  EXPECT_EQ(bmp.Pixel(10, 5), 0x0000FFu);
  EXPECT_EQ(bmp.Pixel(19, 14), 0x0000FFu);
  EXPECT_EQ(bmp.Pixel(20, 14), 0xFFFFFFu);  // right and bottom are excluded
  c.Line({0, 20}, {5, 20}, 0x00FF00);
  EXPECT_EQ(bmp.Pixel(4, 20), 0x00FF00u);
  EXPECT_EQ(bmp.Pixel(5, 20), 0xFFFFFFu);  // the end point is not drawn
}

TEST(WinCanvas, PixelBufferIsDrawnTopRowFirst) {
  PixelBuffer pic(2, 2);
  pic.SetPixel(0, 0, 0x0000FF);
  pic.SetPixel(1, 0, 0x00FF00);
  pic.SetPixel(0, 1, 0xFF0000);
  pic.SetPixel(1, 1, 0x123456);
  MemoryBitmap bmp(4, 4);
  Canvas(bmp.Dc()).DrawPixels(pic, 0, 0, 4, 4);
  EXPECT_EQ(bmp.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(bmp.Pixel(3, 1), 0x00FF00u);
  EXPECT_EQ(bmp.Pixel(1, 3), 0xFF0000u);
  EXPECT_EQ(bmp.Pixel(3, 3), 0x123456u);
  EXPECT_EQ(bmp.ToPixels().Pixel(2, 2), 0x123456u);
}

TEST(WinCanvas, JapaneseTextIsDrawn) {
  MemoryBitmap bmp(80, 20);
  Canvas c(bmp.Dc());
  c.FillRect({0, 0, 80, 20}, 0xFFFFFF);
  FontDesc font;
  font.Height = -14;
  SIZE size = c.TextExtent("写真", font);
  EXPECT_GT(size.cx, 10);
  c.TextOut(0, 0, "写真", font);
  int dark = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 80; ++x) dark += bmp.Pixel(x, y) != 0xFFFFFF;
  EXPECT_GT(dark, 20);
}

// Wine's GetGuiResources always answers 0, so leaks are found the hard way: Wine's GDI handle
// table holds about 65,000 objects, and leaking one object per round would exhaust it.
TEST(WinHandles, OwnersFreeTheirObjectsOnceSoRepeatedDrawingNeverRunsOut) {
  for (int i = 0; i < 66000; ++i) {
    Brush a(CreateSolidBrush(0x123456));
    ASSERT_TRUE(a) << "GDI objects ran out after " << i << " rounds";
    Brush b(std::move(a));
    EXPECT_FALSE(a);
    Brush c;
    c = std::move(b);
    MemoryBitmap bmp(8, 8);
    Canvas canvas(bmp.Dc());
    canvas.Rectangle({0, 0, 8, 8}, 0xFF, 0);
    canvas.TextOut(0, 0, "a", FontDesc{});
  }
}

namespace {
class Host : public Window {
 public:
  Host() {
    CreateArgs a;
    a.style = WS_OVERLAPPEDWINDOW;
    a.width = 200;
    a.height = 200;
    CreateWindowOf(a);
  }
  std::function<void()> onTimer;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_USER) throw Exception("失敗しました");
    return Window::HandleMessage(msg, wp, lp);
  }
};

class Box : public GraphicControl {
 public:
  explicit Box(std::uint32_t color) : color_(color) {}
  void Paint(Canvas& c) override { c.FillRect({0, 0, Width(), Height()}, color_); }
  std::uint32_t color_;
};
}  // namespace

TEST(WinWindow, GraphicControlsPaintInZOrderAndTakeMouseEvents) {
  Host host;
  Box under(0x0000FF), over(0x00FF00);
  under.SetParent(&host);
  over.SetParent(&host);
  under.SetBounds(0, 0, 20, 20);
  over.SetBounds(10, 0, 20, 20);
  MemoryBitmap bmp(40, 20);
  host.PaintGraphics(bmp.Dc(), {0, 0, 40, 20});
  EXPECT_EQ(bmp.Pixel(5, 5), 0x0000FFu);
  EXPECT_EQ(bmp.Pixel(15, 5), 0x00FF00u);  // the later control is on top

  int clicks = 0, rightUps = 0;
  over.OnClick = [&](GraphicControl&) { ++clicks; };
  over.OnMouseUp = [&](GraphicControl&, int button, int x, int y) {
    if (button == 1) {
      ++rightUps;
      EXPECT_EQ(x, 5);
      EXPECT_EQ(y, 6);
    }
  };
  SendMessageW(host.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 6));
  SendMessageW(host.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(15, 6));
  SendMessageW(host.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(15, 6));
  SendMessageW(host.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(15, 6));
  EXPECT_EQ(clicks, 1);  // a right click is not a click
  EXPECT_EQ(rightUps, 1);
  // Pressed inside, released outside: no click.
  SendMessageW(host.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 6));
  SendMessageW(host.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(host.GraphicAt({35, 5}), nullptr);
}

TEST(WinWindow, AFailureInsideAWindowProcedureIsShownAndTheProgramRunsOn) {
  ScriptedDialogs dialogs;
  Host host;
  SendMessageW(host.Handle(), WM_USER, 0, 0);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "失敗しました");
  EXPECT_TRUE(dialogs.messages[0].flags & MB_ICONSTOP);
  Application::Guard([] { throw EAbort(); });  // the silent abort shows nothing
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST(WinWindow, ObjectIsUnlinkedWhenItsWindowIsDestroyed) {
  Host host;
  HWND h = host.Handle();
  EXPECT_EQ(Window::FromHandle(h), &host);
  DestroyWindow(h);
  EXPECT_EQ(host.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(h));
}

// The real colour chooser and folder browser, cancelled: nothing is chosen, nothing fails.
TEST(WinDialogs, RealColourChooserAndFolderBrowserCancelled) {
  {
    AnswerRealDialog cancel(IDCANCEL);
    EXPECT_EQ(CurrentDialogs().PickColor(nullptr, 0x0000FF), std::nullopt);
  }
  {
    AnswerRealDialog cancel(IDCANCEL);
    EXPECT_EQ(CurrentDialogs().BrowseFolder(nullptr, "フォルダー追加"), std::nullopt);
  }
}
