// Tests of the thin Win32 layer, run in-process under Wine.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "win/app.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/speed_button.h"
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

// A path with a character that Shift-JIS lacks must not turn into another path: "Café" is not
// "Cafe" (best-fit), and "?" is a wildcard.
TEST(WinText, CharactersWithoutAShiftJisFormAreNeverTakenForOthers) {
  const std::wstring cafe = L"C:\\Café", smile = L"C:\\写真\U0001F600";
  EXPECT_NE(Narrow(cafe), "C:\\Cafe");
  EXPECT_EQ(NarrowExact(cafe), std::nullopt);
  EXPECT_EQ(NarrowExact(smile), std::nullopt);
  EXPECT_EQ(NarrowExact(L"C:\\写真\\表ソ"), "C:\\写真\\表ソ");
  EXPECT_EQ(NarrowPath(L"C:\\写真"), "C:\\写真");
  try {
    NarrowPath(cafe);
    ADD_FAILURE() << "a path without a Shift-JIS form was taken";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("Shift-JIS"), std::string::npos);
  }
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

TEST(WinCanvas, TextIsDrawnAtTheCanvasResolution) {
  MemoryBitmap bmp(400, 100);
  FontDesc font;
  font.SetPoints(12);
  Canvas screen(bmp.Dc()), printer(bmp.Dc(), 300);
  EXPECT_EQ(screen.PixelsPerInch(), 96);
  EXPECT_EQ(printer.PixelsPerInch(), 300);
  SIZE small = screen.TextExtent("写真", font), large = printer.TextExtent("写真", font);
  EXPECT_NEAR(large.cy, small.cy * 300 / 96, 3);
  EXPECT_NEAR(large.cx, small.cx * 300 / 96, 4);
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

TEST(WinWindow, SpeedButtonShowsItsPressAndClicksWhenReleasedOverIt) {
  Host host;
  SpeedButton button;
  button.SetParent(&host);
  button.SetBounds(10, 10, 60, 20);
  button.SetCaption("FILE作成日");
  int clicks = 0;
  button.OnClick = [&](GraphicControl&) { ++clicks; };
  auto send = [&](UINT msg, int x, int y) { SendMessageW(host.Handle(), msg, 0, MAKELPARAM(x, y)); };
  // Drawn pressed (its top-left edge in shadow) while held over it; moving off shows it raised,
  // moving back pressed again.
  auto corner = [&] {
    MemoryBitmap bmp(200, 200);
    host.PaintGraphics(bmp.Dc(), {0, 0, 200, 200});
    return bmp.Pixel(10, 10);
  };
  const std::uint32_t raised = corner();
  send(WM_LBUTTONDOWN, 20, 15);
  EXPECT_TRUE(button.Down());
  EXPECT_NE(corner(), raised);
  send(WM_MOUSEMOVE, 150, 150);
  EXPECT_FALSE(button.Down());
  EXPECT_EQ(corner(), raised);
  send(WM_MOUSEMOVE, 30, 15);
  EXPECT_TRUE(button.Down());
  send(WM_LBUTTONUP, 30, 15);
  EXPECT_FALSE(button.Down());
  EXPECT_EQ(clicks, 1);
  // Released elsewhere: no click. A quick second click (a double click) is a click.
  send(WM_LBUTTONDOWN, 20, 15);
  send(WM_LBUTTONUP, 150, 150);
  EXPECT_EQ(clicks, 1);
  send(WM_LBUTTONDBLCLK, 20, 15);
  send(WM_LBUTTONUP, 20, 15);
  EXPECT_EQ(clicks, 2);
  // A disabled button does nothing.
  button.SetEnabled(false);
  send(WM_LBUTTONDOWN, 20, 15);
  send(WM_LBUTTONUP, 20, 15);
  EXPECT_FALSE(button.Down());
  EXPECT_EQ(clicks, 2);
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

// The reporter is called because something failed, quite likely memory: when showing the
// message fails too, nothing may leave it (on i686 that would end the program).
TEST(WinErrors, TheReporterRaisesNothingEvenWhenItsMessageCannotBeShown) {
  static_assert(noexcept(Application::HandleCurrentException()));
  struct NoMemory : ScriptedDialogs {
    int MessageDlg(HWND, const std::string&, const std::string&, UINT) override { throw std::bad_alloc(); }
  } dialogs;
  EXPECT_NO_THROW({
    try {
      throw std::bad_alloc();
    } catch (...) {
      Application::HandleCurrentException();
    }
  });
  EXPECT_EQ(dialogs.lastResortMessages, 1);
}

namespace {
class Failing : public GraphicControl {
 public:
  void Paint(Canvas&) override { throw Exception("描けません"); }
};
// A control whose owner-drawn items all fail to draw.
class FailingList : public Control {
 public:
  bool OnReflect(UINT msg, WPARAM, LPARAM, LRESULT&) override {
    if (msg == WM_DRAWITEM) throw Exception("項目を描けません");
    return false;
  }
};
}  // namespace

TEST(WinErrors, AFailureToPaintDrawsWhatCanBeDrawnAndIsShownOnce) {
  ScriptedDialogs dialogs;
  Host host;
  Box left(0x0000FF), right(0x00FF00);
  Failing middle;
  left.SetParent(&host);
  middle.SetParent(&host);
  right.SetParent(&host);
  left.SetBounds(0, 0, 10, 10);
  middle.SetBounds(10, 0, 10, 10);
  right.SetBounds(20, 0, 10, 10);
  MemoryBitmap bmp(30, 10);
  host.PaintGraphics(bmp.Dc(), {0, 0, 30, 10});
  host.PaintGraphics(bmp.Dc(), {0, 0, 30, 10});
  EXPECT_EQ(bmp.Pixel(25, 5), 0x00FF00u);  // drawn after the failing one
  FailingList list;
  list.CreateControl(L"LISTBOX", host.Handle(), 9, LBS_OWNERDRAWFIXED);
  for (UINT item = 0; item < 3; ++item) {
    DRAWITEMSTRUCT dis{ODT_LISTBOX, 9, item, ODA_DRAWENTIRE, 0, list.Handle(), bmp.Dc(), {0, 0, 30, 10}, 0};
    SendMessageW(host.Handle(), WM_DRAWITEM, 9, reinterpret_cast<LPARAM>(&dis));
  }
  EXPECT_TRUE(dialogs.messages.empty());  // nothing is shown while painting
  Application::ProcessMessages();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "描けません");
}

TEST(WinErrors, AFailureWhenTheWindowIsGoneIsShownAndGoesNoFurther) {
  ScriptedDialogs dialogs;
  struct FailsAtTheEnd : Host {
    void OnDestroyed() override { throw Exception("後始末に失敗しました"); }
  } host;
  EXPECT_NO_THROW(DestroyWindow(host.Handle()));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "後始末に失敗しました");
}

// A window destroyed before its windowless controls leaves none of them pointing at it: each
// one's later destruction must not touch the freed window.
TEST(WinWindow, EveryHostedControlIsDetachedWhenItsHostGoesFirst) {
  auto host = std::make_unique<Host>();
  std::vector<std::unique_ptr<Box>> boxes;
  for (int i = 0; i < 5; ++i) {
    boxes.push_back(std::make_unique<Box>(0xFF));
    boxes.back()->SetParent(host.get());
  }
  host.reset();
  for (auto& box : boxes) {
    EXPECT_EQ(box->Parent(), nullptr);
    if (box->Parent()) box.release();  // (a control left attached would touch freed memory)
  }
}

// A control's object destroyed while its parent lives: the system class still sees the
// window's destruction, so a tree view reports every item it deletes.
TEST(WinWindow, AControlDestroyedByItsObjectIsDestroyedByItsSystemClass) {
  struct Parent : Host {
    int deleted = 0;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == TVN_DELETEITEMW) ++deleted;
      return Host::HandleMessage(msg, wp, lp);
    }
  } parent;
  auto tree = std::make_unique<Control>();
  tree->CreateControl(WC_TREEVIEWW, parent.Handle(), 7, WS_VISIBLE);
  HWND h = tree->Handle();
  for (const wchar_t* text : {L"写真", L"表"}) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(h, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
  }
  tree.reset();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(parent.deleted, 2);
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
