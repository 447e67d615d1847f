// The print command of the main window under Wine: the album's node ticks all its folders in
// the print dialog, a folder's node that folder alone.
#include <gtest/gtest.h>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/gauge_form.h"
#include "imaging/jpeg_image.h"
#include "imaging/win_test_util.h"
#include "print/print_form.h"
#include "print/print_test_util.h"
#include "print/qz_printer.h"
#include "win/test_dialogs.h"
#include "win/test_files.h"

namespace {

TEST(FormPrint, ThePrintCommandShowsTheDialogWithTheSelectedFoldersTicked) {
  ASSERT_NO_FATAL_FAILURE(printtest::UsePdfPrinter());
  imgtest::TempDir lib;
  const std::string base = lib.Path();
  for (const char* name : {"旅行", "温泉", "Photos"}) CreateDirectoryW(win::Wide(base + name).c_str(), nullptr);
  TFolderList folders = printtest::FolderList({base + "旅行", base + "温泉", base + "Photos"});
  std::vector<AlbumRef> albums = {AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
  win::TempFolder::Write(lib.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
  win::ScriptedDialogs dialogs;
  TQzPrinter qz;
  TForm1 form(lib.Path() + "Quiran.Alb");
  TGaugeForm gauge;
  TPrintForm print;
  print.GaugeForm = &gauge;
  form.GaugeForm = &gauge;
  form.PrintForm = &print;
  form.BookShape1Click(*form.Books[0]);

  std::vector<std::string> listed;
  std::vector<bool> ticked;
  print.OnShown = [&](TPrintForm& p) {
    listed.clear();
    ticked.clear();
    for (int i = 0; i < p.DirCheckList.Count(); ++i) {
      listed.push_back(p.DirCheckList.Item(i));
      ticked.push_back(p.DirCheckList.Checked(i));
    }
    EXPECT_FALSE(IsWindowEnabled(form.Handle()));  // the dialog is modal
    p.Close();
  };
  form.TreeView1.Select(form.RootNode);
  form.TreeView1Click();
  ASSERT_TRUE(form.ActionEnabled(app::ActionId::PrintAction));
  form.ExecuteCommand(app::cmd::PrintAction);
  EXPECT_EQ(listed, (std::vector<std::string>{base + "旅行", base + "温泉", base + "Photos"}));
  EXPECT_EQ(ticked, (std::vector<bool>{true, true, true}));

  HWND tree = form.TreeView1.Handle();
  auto child = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form.RootNode)));
  child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
  form.TreeView1.Select(child);
  form.TreeView1Click();
  form.ExecuteCommand(app::cmd::PrintAction);
  EXPECT_EQ(ticked, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  EXPECT_TRUE(dialogs.messages.empty());
}

// The job's progress, its cancel and the real message box that says so, as a user meets them:
// the print dialog stays modal through all of it, and the progress dialog names the job.
TGaugeForm* gauge = nullptr;
HWND mainWindow = nullptr, printDialog = nullptr, boxOwner = nullptr;
std::string captionWhilePrinting;
bool mainEnabledWhileBoxUp = true;
void CALLBACK CancelThenAnswer(HWND, UINT, UINT_PTR, DWORD) {
  if (gauge->Visible() && gauge->Position() >= 2 && !gauge->Cancelled()) {
    captionWhilePrinting = gauge->Text();
    gauge->BitBtn1Click();
  }
  HWND box = FindWindowW(L"#32770", nullptr);
  if (!box || !IsWindowVisible(box)) return;
  boxOwner = GetWindow(box, GW_OWNER);
  mainEnabledWhileBoxUp = IsWindowEnabled(mainWindow) != FALSE;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(FormPrint, ACancelledJobKeepsThePrintDialogModalThroughItsMessage) {
  ASSERT_NO_FATAL_FAILURE(printtest::UsePdfPrinter());
  imgtest::TempDir lib;
  const std::string folder = lib.Path() + "写真";
  CreateDirectoryW(win::Wide(folder).c_str(), nullptr);
  PixelBuffer photo(64, 48);
  for (int i = 0; i < 12; ++i) win::TempFolder::Write(folder + "\\P" + std::to_string(10 + i) + ".JPG", EncodeJpeg(photo, 90));
  TFolderList folders = printtest::FolderList({folder});
  std::vector<AlbumRef> albums = {AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
  win::TempFolder::Write(lib.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
  TQzPrinter qz;
  TForm1 form(lib.Path() + "Quiran.Alb");
  win::Application::SetMainWindow(form.Handle());
  ShowWindow(form.Handle(), SW_SHOW);
  TGaugeForm gaugeForm;
  TPrintForm print;
  print.GaugeForm = &gaugeForm;
  form.GaugeForm = &gaugeForm;
  form.PrintForm = &print;
  form.BookShape1Click(*form.Books[0]);
  form.TreeView1.Select(form.RootNode);
  form.TreeView1Click();

  gauge = &gaugeForm;
  mainWindow = form.Handle();
  printDialog = print.Handle();
  bool modalAfterward = false, shownAfterward = false;
  print.OnShown = [&](TPrintForm& p) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &CancelThenAnswer);
    SendMessageW(p.Handle(), WM_COMMAND, MAKEWPARAM(TPrintForm::kPrintBtnId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(p.PrintBtn.Handle()));
    KillTimer(nullptr, timer);
    modalAfterward = !IsWindowEnabled(form.Handle()) && IsWindowEnabled(p.Handle());
    shownAfterward = IsWindowVisible(p.Handle()) != FALSE;
    p.Close();
  };
  form.ExecuteCommand(app::cmd::PrintAction);
  win::Application::SetMainWindow(nullptr);
  EXPECT_EQ(captionWhilePrinting, "印刷中");
  EXPECT_EQ(boxOwner, printDialog);  // the box belongs to the dialog the user is in
  EXPECT_FALSE(mainEnabledWhileBoxUp);
  EXPECT_TRUE(modalAfterward);
  EXPECT_TRUE(shownAfterward);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));  // the dialog closed: the main window is back
  // The progress dialog shows the thumbnails' caption again for them.
  gaugeForm.Show();
  EXPECT_EQ(gaugeForm.Text(), "サムネイル作成中");
  gaugeForm.Hide();
}

}  // namespace
