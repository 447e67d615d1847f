// The hover popup: its size for texts of one, two and three lines, the shadow, shown without
// taking the focus, and hidden by its timer or by the mouse.
#include "catalogue/hint_form.h"

#include <gtest/gtest.h>

#include "win/canvas.h"
#include "win/text.h"

namespace {

SIZE WindowSize(const THintForm& f) {
  RECT r{};
  GetWindowRect(f.Handle(), &r);
  return {r.right - r.left, r.bottom - r.top};
}

// Width and height of the text's lines in the popup's font.
SIZE TextSize(const std::string& line) {
  HDC dc = GetDC(nullptr);
  win::Font font = win::CreateFontFrom(FontDesc{});
  SIZE size{};
  {
    win::SelectGuard g(dc, font);
    const std::wstring w = win::Wide(line);
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  }
  ReleaseDC(nullptr, dc);
  return size;
}

const RECT* ToPtr(const RECT& r) { return &r; }

class Active : public win::Window {
 public:
  Active() {
    CreateArgs a;
    a.x = a.y = 100;
    a.width = a.height = 200;
    CreateWindowOf(a);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
  }
};

}  // namespace

TEST(HintForm, SizeFollowsTheTextsLines) {
  THintForm f;
  const std::string size = "SIZE:W4000×H3000 (Dot)", date = "DATE:2026/12/09 (水)";
  const int lineH = TextSize(size).cy;

  f.SetHintText(size);
  EXPECT_EQ(f.HintText(), size);
  const SIZE one = WindowSize(f);
  // The text box: the widest line + 10, then 10 more; the text's height + 6. The window is
  // 3 pixels larger, showing a strip of the shadow.
  EXPECT_EQ(one.cx, TextSize(size).cx + 23);
  EXPECT_EQ(one.cy, lineH + 9);
  EXPECT_TRUE(EqualRect(&f.Image1.BoundsRect(), ToPtr(RECT{0, 0, one.cx - 3, one.cy - 3})));
  EXPECT_TRUE(EqualRect(&f.Shape1.BoundsRect(), ToPtr(RECT{4, 4, one.cx + 1, one.cy + 1})));

  f.SetHintText(size + "\r\n" + date);
  EXPECT_EQ(WindowSize(f).cx, one.cx);
  EXPECT_EQ(WindowSize(f).cy, one.cy + lineH);

  // A comment line wider than the others makes the box wider.
  const std::string comment = "海辺で撮った夕焼けの写真、三枚目のもの";
  f.SetHintText(size + "\r\n" + date + "\r\n" + comment);
  EXPECT_EQ(WindowSize(f).cx, std::max(TextSize(comment).cx, TextSize(size).cx) + 23);
  EXPECT_EQ(WindowSize(f).cy, one.cy + 2 * lineH);

  f.SetHintText("");
  EXPECT_EQ(f.HintText(), "   ");
  EXPECT_EQ(WindowSize(f).cy, one.cy);
}

TEST(HintForm, ShownOnTopWithoutTakingTheFocusAndHiddenByTimerOrMouse) {
  THintForm f;
  EXPECT_FALSE(f.Visible());
  EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(GetClassLongW(f.Handle(), GCL_STYLE) & CS_SAVEBITS);
  EXPECT_FALSE(GetWindowLongW(f.Handle(), GWL_STYLE) & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  Active main;
  const HWND active = GetActiveWindow();
  ASSERT_EQ(active, main.Handle());

  f.SetHintText("SIZE:W 640×H 480 (Dot)");
  f.ShowAt(300, 250);
  EXPECT_TRUE(f.Visible());
  EXPECT_TRUE(f.Timer1Enabled());
  EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetActiveWindow(), active);
  RECT r{};
  GetWindowRect(f.Handle(), &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 250);
  // Clicking the popup does not activate it either.
  EXPECT_EQ(SendMessageW(f.Handle(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(f.Handle()),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);

  f.Timer1Timer();
  EXPECT_FALSE(f.Visible());
  EXPECT_FALSE(f.Timer1Enabled());
  EXPECT_EQ(GetActiveWindow(), active);

  // The mouse over the text box hides it; the timer runs on.
  f.ShowAt(300, 250);
  SendMessageW(f.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
  EXPECT_FALSE(f.Visible());
  EXPECT_TRUE(f.Timer1Enabled());
  EXPECT_EQ(GetActiveWindow(), active);
}

TEST(HintForm, PaintsTheTextBoxOverTheShadow) {
  THintForm f;
  f.SetHintText("SIZE:W 640×H 480 (Dot)\r\n海");
  const SIZE s = WindowSize(f);
  win::MemoryBitmap bitmap(s.cx, s.cy);
  SendMessageW(f.Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(bitmap.Dc()), 0);
  f.PaintGraphics(bitmap.Dc(), {0, 0, s.cx, s.cy});
  EXPECT_EQ(bitmap.Pixel(s.cx - 1, 2), THintForm::kColor);      // beside the shadow's top
  EXPECT_EQ(bitmap.Pixel(s.cx - 2, s.cy - 2), 0x808080u);       // the shadow's strip
  EXPECT_EQ(bitmap.Pixel(2, s.cy - 2), THintForm::kColor);      // beside the shadow's left
  EXPECT_EQ(bitmap.Pixel(1, 1), GetSysColor(COLOR_INFOBK));     // the text box
  int ink = 0;
  for (int y = 3; y < s.cy - 3; ++y)
    for (int x = 5; x < s.cx - 3; ++x) {
      const std::uint32_t c = bitmap.Pixel(x, y);
      ink += (c & 0xFF) < 96 && (c >> 8 & 0xFF) < 96 && (c >> 16 & 0xFF) < 96;  // the black text
    }
  EXPECT_GT(ink, 30);
}
