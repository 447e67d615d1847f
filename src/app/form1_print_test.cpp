// The print command of the main window under Wine: the album's node ticks all its folders in
// the print dialog, a folder's node that folder alone.
#include <gtest/gtest.h>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/gauge_form.h"
#include "imaging/win_test_util.h"
#include "print/print_form.h"
#include "print/print_test_util.h"
#include "print/qz_printer.h"
#include "win/test_dialogs.h"

namespace {

TEST(FormPrint, ThePrintCommandShowsTheDialogWithTheSelectedFoldersTicked) {
  ASSERT_NO_FATAL_FAILURE(printtest::UsePdfPrinter());
  imgtest::TempDir lib;
  TFolderList folders = printtest::FolderList({"C:\\写真\\旅行", "C:\\写真\\温泉", "D:\\Photos"});
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
  EXPECT_EQ(listed, (std::vector<std::string>{"C:\\写真\\旅行", "C:\\写真\\温泉", "D:\\Photos"}));
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

}  // namespace
