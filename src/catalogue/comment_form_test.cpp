// The file comment dialog as a real window under Wine: its layout and keyboard order, the date
// and comment it is given and hands back, and the file-date button.
#include "catalogue/comment_form.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <cmath>

#include "catalogue/date_value.h"
#include "win/test_dialogs.h"
#include "win/test_files.h"
#include "win/text.h"

namespace {

using Box = std::array<long, 4>;  // left, top, right, bottom

Box BoxOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
Box GraphicBounds(const win::GraphicControl& c) { return BoxOf(c.BoundsRect()); }

// A click of the left mouse button at a point of the dialog's client area.
void ClickAt(HWND dialog, int x, int y) {
  SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// Sets a file's last-write time to a local date and time.
void SetLocalWriteTime(const std::string& path, const SYSTEMTIME& local) {
  SYSTEMTIME utc{};
  FILETIME ft{};
  ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
  HANDLE h = CreateFileW(win::Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
}

// At WM_APP: notes where the keyboard focus is, then cancels the dialog.
LRESULT CALLBACK NoteFocusThenCancel(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  if (msg != WM_APP) return DefSubclassProc(h, msg, wp, lp);
  *reinterpret_cast<HWND*>(ref) = GetFocus();
  PostMessageW(GetDlgItem(h, IDCANCEL), BM_CLICK, 0, 0);
  return 0;
}

}  // namespace

TEST(CommentForm, LayoutTextsAndKeyboardOrder) {
  TCommentForm form;
  EXPECT_FALSE(form.Visible());
  form.SetFileName("P0.JPG");
  EXPECT_EQ(form.Text(), "P0.JPGのプロパティ");
  EXPECT_EQ(form.FileName(), "P0.JPG");
  const RECT client = form.ClientRect();
  EXPECT_EQ(client.right, 323);
  EXPECT_EQ(client.bottom, 207);
  const LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_DLGFRAME);
  EXPECT_FALSE(style & WS_THICKFRAME);

  EXPECT_EQ(GraphicBounds(form.Label3D1)[0], 8);
  EXPECT_EQ(GraphicBounds(form.Label3D1)[1], 8);
  EXPECT_EQ(GraphicBounds(form.Label3D2)[1], 40);
  EXPECT_EQ(form.Label3D1.Caption(), "日付：");
  EXPECT_EQ(form.Label3D2.Caption(), "コメント：");
  EXPECT_EQ(form.Label3D2.Style(), lsRaised);
  EXPECT_EQ(form.Label3D2.Font().Height, -14);
  EXPECT_EQ(BoxOf(form.DateTimePicker1.Bounds()), (Box{48, 6, 234, 26}));
  EXPECT_EQ(GraphicBounds(form.SpeedButton1), (Box{240, 5, 313, 27}));
  EXPECT_EQ(form.SpeedButton1.Caption(), "FILE作成日");
  EXPECT_EQ(BoxOf(form.Memo1.Bounds()), (Box{16, 56, 313, 169}));
  EXPECT_EQ(BoxOf(form.BitBtn1.Bounds()), (Box{224, 176, 315, 201}));
  EXPECT_EQ(BoxOf(form.BitBtn2.Bounds()), (Box{112, 176, 203, 201}));
  EXPECT_EQ(form.BitBtn1.Text(), "閉じる");
  EXPECT_EQ(form.BitBtn2.Text(), "キャンセル");

  // A date picker with the drop-down calendar, showing the date only; a memo with both scroll
  // bars whose lines do not wrap.
  const LONG picker = GetWindowLongW(form.DateTimePicker1.Handle(), GWL_STYLE);
  EXPECT_TRUE(picker & DTS_LONGDATEFORMAT);
  EXPECT_FALSE(picker & (DTS_UPDOWN | DTS_TIMEFORMAT | DTS_SHOWNONE));
  const LONG memo = GetWindowLongW(form.Memo1.Handle(), GWL_STYLE);
  for (LONG bit : {ES_MULTILINE, ES_WANTRETURN, ES_AUTOHSCROLL, WS_HSCROLL, WS_VSCROLL}) EXPECT_TRUE(memo & bit) << bit;

  bool shown = false;
  form.OnShown = [&](TCommentForm& f) {
    shown = true;
    // The memo has the keyboard; Tab goes on to OK, cancel and the date, and back to the memo.
    EXPECT_EQ(GetFocus(), f.Memo1.Handle());
    HWND order[] = {f.Memo1.Handle(), f.BitBtn1.Handle(), f.BitBtn2.Handle(), f.DateTimePicker1.Handle()};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetNextDlgTabItem(f.Handle(), order[i], FALSE), order[(i + 1) % 4]) << i;
    // The file-date button takes no focus: the memo keeps it.
    ClickAt(f.Handle(), 250, 10);
    EXPECT_EQ(GetFocus(), f.Memo1.Handle());
    // Tab typed in the memo moves on to OK (the dialog loop is running once this returns).
    PostMessageW(f.Memo1.Handle(), WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(f.Memo1.Handle(), WM_KEYUP, VK_TAB, 0xC0000001);
    PostMessageW(f.Handle(), WM_APP, 0, 0);  // comes after the keys
  };
  // Once the keys are through: where the focus went, then cancel.
  HWND focusAfterTab = nullptr;
  SetWindowSubclass(form.Handle(), &NoteFocusThenCancel, 1, reinterpret_cast<DWORD_PTR>(&focusAfterTab));
  win::ScriptedDialogs dialogs;  // the click above finds no file: its message is answered here
  EXPECT_FALSE(form.Execute());
  RemoveWindowSubclass(form.Handle(), &NoteFocusThenCancel, 1);
  EXPECT_TRUE(shown);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(focusAfterTab, form.BitBtn1.Handle());
  EXPECT_EQ(form.GetComment(), "");

  // OK, by its button or by the close box, Enter and Esc.
  form.OnShown = [](TCommentForm& f) { PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0); };
  EXPECT_TRUE(form.Execute());
  form.OnShown = [](TCommentForm& f) { PostMessageW(f.Handle(), WM_CLOSE, 0, 0); };
  EXPECT_FALSE(form.Execute());
}

TEST(CommentForm, DateAndCommentGoInAndComeBack) {
  TCommentForm form;
  // Date and time come back to the millisecond.
  const double when = DateValueOf({2024, 2, 29, 13, 45, 30, 250});
  form.SetDate(when);
  EXPECT_NEAR(form.GetDate(), when, 0.5 / 86400000);
  form.SetDate(DateValueOf({1999, 12, 31}));
  EXPECT_EQ(form.GetDate(), DateValueOf({1999, 12, 31}));
  // A date the picker cannot show is offered as today, not as the date shown before.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  form.SetDate(DateValueOf({1200, 1, 1}));
  EXPECT_EQ(std::floor(form.GetDate()), DateValueOf({now.wYear, now.wMonth, now.wDay}));

  // Lines, double-byte characters whose trail bytes are "\" and a letter, and a long text.
  const std::string text = "一行目 ソヂ\r\n二行目\\x";
  form.SetComment(text);
  EXPECT_EQ(form.GetComment(), text);
  std::string longText;
  for (int i = 0; i < 20000; ++i) longText += "表";
  form.SetComment(longText);
  EXPECT_EQ(form.GetComment(), longText);
}

TEST(CommentForm, FileDateButtonTakesTheLastWriteTimeOrSaysTheFileIsGone) {
  win::TempFolder folder;
  const std::string path = folder.File("写真ソ.jpg");
  win::TempFolder::Write(path, {1, 2, 3});
  // 07:08:09.5 on a summer day: a DOS file date keeps 07:08:08.
  SetLocalWriteTime(path, SYSTEMTIME{2021, 7, 0, 6, 7, 8, 9, 500});
  TCommentForm form;
  win::ScriptedDialogs dialogs;
  form.SetFileName("写真ソ.JPG");
  form.SetFilePath(path);
  form.SetDate(DateValueOf({2000, 1, 1}));
  // Clicked as the user clicks it.
  const RECT& b = form.SpeedButton1.BoundsRect();
  ClickAt(form.Handle(), b.left + 5, b.top + 5);
  EXPECT_NEAR(form.GetDate(), DateValueOf({2021, 7, 6, 7, 8, 8}), 0.5 / 86400000);
  EXPECT_TRUE(dialogs.messages.empty());

  // The file is gone: the date stays and the user is told.
  DeleteFileW(win::Wide(path).c_str());
  form.SetDate(DateValueOf({2000, 1, 1}));
  form.SpeedButton1Click();
  EXPECT_EQ(form.GetDate(), DateValueOf({2000, 1, 1}));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find(path), std::string::npos);
  EXPECT_NE(dialogs.messages[0].text.find("見つかりません"), std::string::npos);
}
