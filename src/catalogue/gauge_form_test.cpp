// The progress dialog: its layout, the count text and bar, cancelling by button and by Esc.
#include "catalogue/gauge_form.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "win/app.h"

namespace {
RECT ChildRect(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

TEST(GaugeForm, LayoutCountsAndBar) {
  TGaugeForm g;
  EXPECT_FALSE(IsWindowVisible(g.Handle()));
  RECT client = g.ClientRect();
  EXPECT_EQ(client.right, 265);
  EXPECT_EQ(client.bottom, 86);
  EXPECT_EQ(g.Text(), "サムネイル作成中");
  RECT bar = ChildRect(g.Handle(), g.ProgressBar1.Handle());
  EXPECT_EQ(bar.left, 8);
  EXPECT_EQ(bar.top, 37);
  EXPECT_EQ(bar.right - bar.left, 249);
  RECT button = ChildRect(g.Handle(), g.BitBtn1.Handle());
  EXPECT_EQ(button.left, 76);
  EXPECT_EQ(button.top, 60);
  EXPECT_EQ(button.right - button.left, 113);
  EXPECT_EQ(g.BitBtn1.Text(), "キャンセル");
  EXPECT_EQ(g.Label3D1.Caption(), "x/x");
  EXPECT_EQ(g.Label3D1.Left(), 64);

  g.SetPosition(3);
  g.SetMaxCount(40);  // the bar keeps the current count
  EXPECT_EQ(g.Label3D1.Caption(), "3／40");
  EXPECT_EQ(SendMessageW(g.ProgressBar1.Handle(), PBM_GETRANGE, FALSE, 0), 40);
  EXPECT_EQ(SendMessageW(g.ProgressBar1.Handle(), PBM_GETPOS, 0, 0), 3);
  g.SetPosition(17);
  EXPECT_EQ(g.Label3D1.Caption(), "17／40");
  EXPECT_EQ(SendMessageW(g.ProgressBar1.Handle(), PBM_GETPOS, 0, 0), 17);
  g.SetDirName("C:\\写真\\ソ\\");
  EXPECT_EQ(g.DirNameLabel.Caption(), "C:\\写真\\ソ\\");
}

TEST(GaugeForm, CancelledByButtonOrEscUntilShownAgain) {
  TGaugeForm g;
  g.BitBtn1Click();  // a hidden dialog cannot be cancelled
  EXPECT_FALSE(g.Cancelled());
  g.Show();
  EXPECT_TRUE(IsWindowVisible(g.Handle()));
  EXPECT_TRUE(win::Application::BusyCursor());
  SendMessageW(g.BitBtn1.Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(g.Cancelled());
  g.Hide();
  EXPECT_FALSE(win::Application::BusyCursor());
  g.Show();
  EXPECT_FALSE(g.Cancelled());
  // Esc, as the program's message loop hands it to the window it was typed in.
  MSG esc{};
  esc.hwnd = g.BitBtn1.Handle();
  esc.message = WM_KEYDOWN;
  esc.wParam = VK_ESCAPE;
  esc.lParam = 0x00010001;
  win::Window* top = win::Window::TopLevelOf(esc.hwnd);
  ASSERT_EQ(top, &g);
  ASSERT_TRUE(top->TranslateKeys(esc));
  EXPECT_TRUE(g.Cancelled());
  g.Hide();
  EXPECT_FALSE(IsWindowVisible(g.Handle()));

  EUserCancel e("印刷処理を中止します。");
  EXPECT_EQ(e.Message(), "印刷処理を中止します。");
}
