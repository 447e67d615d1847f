// Folders in the main window under Wine: selecting a folder node shows its pictures at the
// folder's thumbnail size, selecting another leaves it (its files written), the root node and
// the enabling, sorting and sizes from the menus, the list's thumbnail commands, and a folder
// that cannot be left.
#include <gtest/gtest.h>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/gauge_form.h"
#include "catalogue/item_text.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/win_test_util.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/test_dialogs.h"

using app::ActionId;
using imgtest::TempDir;

namespace {

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

class FormFolders : public testing::Test {
 protected:
  void SetUp() override {
    InitPictureFormats();
    for (int i = 0; i < 4; ++i)
      pictures_.File("p" + std::to_string(3 - i) + ".jpg",
                     CompressPixels(testpic::PhotoLike(160 + 40 * i, 120, static_cast<std::uint32_t>(i + 1)), 90));
    other_.File("one.jpg", CompressPixels(testpic::PhotoLike(64, 48, 9), 90));
    TFolderList folders;
    // Album folders are stored without a trailing "\".
    folders.push_back({pictures_.win::TempFolder::Path(), std::make_unique<TFolderRecord>(TFolderRecord{5, {}, 0})});
    folders.push_back({other_.win::TempFolder::Path(), std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
    win::TempFolder::Write(lib_.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
    form_ = std::make_unique<TForm1>(lib_.Path() + "Quiran.Alb");
    gauge_ = std::make_unique<TGaugeForm>();
    form_->GaugeForm = gauge_.get();
    form_->BookShape1Click(*form_->Books[0]);
    folderA_ = Child(0);
    folderB_ = Child(1);
  }
  void TearDown() override {
    form_.reset();
    gauge_.reset();
    DonePictureFormats();
  }
  HTREEITEM Child(int n) {
    HWND tree = form_->TreeView1.Handle();
    auto c = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form_->RootNode)));
    while (n-- > 0) c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)));
    return c;
  }
  void Click(HTREEITEM node) {
    form_->TreeView1.Select(node);
    form_->TreeView1Click();
  }
  // Folder A shown again once its files exist, a comment typed on its first picture, and its
  // catalogue held open by another program so that it cannot be replaced; returns the
  // handle that holds it.
  HANDLE TypeInAFolderThatCannotBeWritten() {
    Click(folderA_);
    Click(folderB_);  // A's files now exist
    Click(folderA_);
    form_->Folder.Items[0].Entry->Comment = "typed";
    HANDLE lock = CreateFileW(win::Wide(pictures_.Path() + kCatalogueFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(lock, INVALID_HANDLE_VALUE);
    return lock;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const TFileItem& i : form_->Folder.Items) out.push_back(i.Name);
    return out;
  }
  void SelectItem(int i) { SendMessageW(form_->ListBox1.Handle(), LB_SETCURSEL, static_cast<WPARAM>(i), 0); }

  TempDir lib_, pictures_, other_;
  win::ScriptedDialogs dialogs_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<TGaugeForm> gauge_;
  HTREEITEM folderA_ = nullptr, folderB_ = nullptr;
};

}  // namespace

TEST_F(FormFolders, SelectingFoldersShowsAndLeavesThem) {
  TForm1& f = *form_;
  // A key in the tree selects the first folder; it is shown once the tree is done with the key.
  f.TreeView1.Select(f.RootNode);
  SendMessageW(f.TreeView1.Handle(), WM_KEYDOWN, VK_DOWN, 0);
  win::Application::ProcessMessages();
  ASSERT_EQ(f.ShownNode, folderA_);
  EXPECT_EQ(f.ListBox1.Count(), 4);
  EXPECT_EQ(f.Folder.Items.size(), 4u);
  for (const TFileItem& i : f.Folder.Items) EXPECT_TRUE(i.Entry && i.Entry->Thumbnail) << i.Name;
  EXPECT_FALSE(IsWindowVisible(gauge_->Handle()));
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  // The folder's own size: "極大", items 294 x 131.
  EXPECT_EQ(f.ThumbSize, 5);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N15));
  EXPECT_FALSE(f.MenuItemChecked(app::cmd::N13));
  EXPECT_EQ(f.ListBox1.ItemWidth(), 294);
  EXPECT_EQ(f.ListBox1.ItemHeight(), 131);
  EXPECT_TRUE(f.ActionEnabled(ActionId::DelFolderAction));
  EXPECT_TRUE(f.ActionEnabled(ActionId::PrintAction));
  UpdateWindow(f.ListBox1.Handle());  // the items draw

  // Selecting the shown folder again does nothing: nothing is written.
  f.Folder.Items[0].Entry->Comment = "海辺で";
  f.TreeView1Click();
  EXPECT_FALSE(win::FileExists(pictures_.Path() + kCatalogueFileName));

  // The root node: the folder is left, its files written; printing the album stays possible.
  Click(f.RootNode);
  EXPECT_EQ(f.ShownNode, f.RootNode);
  EXPECT_EQ(f.ListBox1.Count(), 0);
  EXPECT_TRUE(f.Folder.Items.empty());
  EXPECT_TRUE(win::FileExists(pictures_.Path() + kCatalogueFileName));
  EXPECT_TRUE(win::FileExists(pictures_.Path() + kCacheFileName));
  EXPECT_FALSE(f.ActionEnabled(ActionId::DelFolderAction));
  EXPECT_TRUE(f.ActionEnabled(ActionId::PrintAction));

  // Back again: the comment is there; the other folder has the default size "中".
  Click(folderA_);
  const std::string commented = f.Folder.Items[0].Name;
  EXPECT_EQ(f.Folder.Items[0].Entry->Comment, "海辺で");
  Click(folderB_);
  EXPECT_EQ(f.ThumbSize, 3);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N13));
  EXPECT_EQ(f.ListBox1.Count(), 1);

  // Sorting by name stays in force for the folders shown afterwards.
  f.ExecuteCommand(app::cmd::SortByName1);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::SortByName1));
  EXPECT_EQ(f.SortKind, 1);
  Click(folderA_);
  EXPECT_EQ(Names(), (std::vector<std::string>{"P0.JPG", "P1.JPG", "P2.JPG", "P3.JPG"}));
  // "無し" keeps the order shown.
  f.ExecuteCommand(app::cmd::N26);
  EXPECT_EQ(f.SortKind, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"P0.JPG", "P1.JPG", "P2.JPG", "P3.JPG"}));

  // A size from the menu is the folder's own from now on.
  f.ExecuteCommand(app::cmd::N12);
  EXPECT_EQ(f.ThumbSize, 2);
  EXPECT_EQ(f.TreeView1.RecordOf(folderA_)->SizeIndex, 2);
  EXPECT_EQ(f.ListBox1.ItemWidth(), 48 + 150);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N12));

  // The window closes with the folder shown: its files are written.
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  TCatalogue stored = ParseCatalogue(win::ReadFileBytes(pictures_.Path() + kCatalogueFileName));
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[0].Name, "P0.JPG");
  for (const auto& [name, entry] : stored) EXPECT_EQ(entry.Comment, name == commented ? "海辺で" : "") << name;
}

TEST_F(FormFolders, ListCommandsMakeThumbnailsAndFollowTheSelection) {
  TForm1& f = *form_;
  Click(folderA_);
  // Without a selected item only the whole-folder command is on.
  f.PopupMenu2Popup();
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::N6));
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::View1));
  EXPECT_TRUE(f.MenuItemEnabled(app::cmd::N8));
  SelectItem(1);
  f.PopupMenu2Popup();
  EXPECT_TRUE(f.MenuItemEnabled(app::cmd::N6));
  EXPECT_TRUE(f.MenuItemEnabled(app::cmd::N21));

  // One thumbnail made again: the comment and date stay.
  TPictureEntry& e = *f.Folder.Items[1].Entry;
  e.Comment = "note";
  e.Date = 46000;
  TThumbnailPtr old = e.Thumbnail;
  f.ExecuteCommand(app::cmd::N6);
  EXPECT_NE(f.Folder.Items[1].Entry->Thumbnail, old);
  EXPECT_EQ(f.Folder.Items[1].Entry->Comment, "note");
  EXPECT_EQ(f.Folder.Items[1].Entry->Date, 46000);

  // The missing ones: made while the window waits, which is enabled again afterwards.
  f.Folder.Items[2].Entry->Thumbnail = nullptr;
  f.Folder.Items[3].Entry.reset();
  f.ExecuteCommand(app::cmd::N8);
  EXPECT_TRUE(f.Folder.Items[2].Entry->Thumbnail);
  EXPECT_TRUE(f.Folder.Items[3].Entry && f.Folder.Items[3].Entry->Thumbnail);
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  EXPECT_FALSE(IsWindowVisible(gauge_->Handle()));

  // A right click in the list opens its menu, enabled for the list as it is then.
  f.EnableMenuItem(app::cmd::N8, false);
  UINT_PTR closer = SetTimer(nullptr, 0, 50, &CloseMenu);
  SendMessageW(f.ListBox1.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(f.ListBox1.Handle()), MAKELPARAM(20, 20));
  KillTimer(nullptr, closer);
  EXPECT_TRUE(f.MenuItemEnabled(app::cmd::N8));

  // On the root node the folder commands are off.
  Click(f.RootNode);
  f.PopupMenu2Popup();
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::N8));
}

TEST_F(FormFolders, AFolderThatCannotBeLeftStaysShownAndSelected) {
  TForm1& f = *form_;
  HANDLE lock = TypeInAFolderThatCannotBeWritten();
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  f.TreeView1.Select(folderB_);
  dialogs_.answers = {IDCANCEL};
  EXPECT_THROW(f.TreeView1Click(), EAbort);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].flags, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONSTOP));
  EXPECT_EQ(f.ShownNode, folderA_);
  EXPECT_EQ(f.TreeView1.Selected(), folderA_);
  EXPECT_EQ(f.ListBox1.Count(), 4);
  EXPECT_EQ(f.Folder.Items[0].Entry->Comment, "typed");
  CloseHandle(lock);
  // Once it can be written, the folder is left with the comment stored.
  Click(folderB_);
  EXPECT_EQ(f.ShownNode, folderB_);
  EXPECT_EQ(ParseCatalogue(win::ReadFileBytes(pictures_.Path() + kCatalogueFileName))[0].Entry.Comment, "typed");
}

// Closing the window when the folder's files cannot be written: "はい" tries again and a
// second failure is reported again; only "いいえ" closes without them.
TEST_F(FormFolders, EveryFailedStoreOnClosingIsReportedUntilTheUserGivesUp) {
  TForm1& f = *form_;
  HANDLE lock = TypeInAFolderThatCannotBeWritten();
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  dialogs_.answers = {IDYES, IDYES, IDNO};
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  CloseHandle(lock);
  ASSERT_EQ(dialogs_.messages.size(), 3u);
  for (const auto& m : dialogs_.messages)
    EXPECT_NE(m.text.find(kCatalogueFileName), std::string::npos) << m.text;
  EXPECT_FALSE(f.Handle());
  EXPECT_EQ(ParseCatalogue(win::ReadFileBytes(pictures_.Path() + kCatalogueFileName))[0].Entry.Comment, "");
}

TEST_F(FormFolders, LeavingAFolderThatCannotBeWrittenAsksAndStaysUnlessTheUserGivesUp) {
  TForm1& f = *form_;
  HANDLE lock = TypeInAFolderThatCannotBeWritten();
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  // Tried again and failed again, then "キャンセル": the folder stays shown with the comment.
  dialogs_.answers = {IDYES, IDCANCEL};
  EXPECT_THROW(Click(folderB_), EAbort);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(f.ShownNode, folderA_);
  EXPECT_EQ(f.TreeView1.Selected(), folderA_);
  EXPECT_EQ(f.Folder.Items[0].Entry->Comment, "typed");
  // "いいえ": left without saving.
  dialogs_.answers = {IDNO};
  Click(folderB_);
  EXPECT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_EQ(f.ShownNode, folderB_);
  CloseHandle(lock);
  EXPECT_EQ(ParseCatalogue(win::ReadFileBytes(pictures_.Path() + kCatalogueFileName))[0].Entry.Comment, "");
}

namespace {
TForm1* endingForm = nullptr;
void CALLBACK EndSessionOnceUnderWay(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!endingForm || endingForm->GaugeForm->Position() < 3) return;
  KillTimer(nullptr, timer);
  SendMessageW(endingForm->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  endingForm = nullptr;
}
}  // namespace

// Windows logs off while "全ファイルサムネイル作成" runs: the run stops and the folder's files
// are written, with the comment typed before.
TEST_F(FormFolders, LogoffWhileThumbnailsAreMadeStoresTheFolder) {
  TForm1& f = *form_;
  for (int i = 0; i < 40; ++i)
    other_.File("big" + std::to_string(i) + ".jpg",
                CompressPixels(testpic::PhotoLike(1200, 900, static_cast<std::uint32_t>(i + 20)), 90));
  Click(folderB_);
  ASSERT_EQ(f.Folder.Items.size(), 41u);
  for (TFileItem& i : f.Folder.Items) i.Entry->Thumbnail.reset();
  f.Folder.Items[5].Entry->Comment = "typed before the logoff";
  const std::string name = f.Folder.Items[5].Name;
  endingForm = &f;
  UINT_PTR timer = SetTimer(nullptr, 0, 1, &EndSessionOnceUnderWay);
  f.ExecuteCommand(app::cmd::N8);
  KillTimer(nullptr, timer);
  EXPECT_FALSE(endingForm);  // the session ended while the run was under way
  std::string stored = "(no catalogue)";
  if (win::FileExists(other_.Path() + kCatalogueFileName))
    for (const TCatalogueItem& c : ParseCatalogue(win::ReadFileBytes(other_.Path() + kCatalogueFileName)))
      if (c.Name == name) stored = c.Entry.Comment;
  EXPECT_EQ(stored, "typed before the logoff");
  EXPECT_LT(gauge_->Position(), 41);  // the run stopped
}

TEST_F(FormFolders, TheKeyboardIsInTheListAfterALoadAndTabMovesBetweenTreeAndList) {
  TForm1& f = *form_;
  ShowWindow(f.Handle(), SW_SHOW);
  SetForegroundWindow(f.Handle());
  SetFocus(f.TreeView1.Handle());
  // A folder chosen with the mouse: its pictures take the keyboard once they are shown.
  Click(folderA_);
  EXPECT_EQ(GetActiveWindow(), f.Handle());
  EXPECT_EQ(GetFocus(), f.ListBox1.Handle());
  // Tab and Shift+Tab go between the two (the program's loop gives the key to the window first).
  auto tab = [&](HWND from) {
    MSG m{};
    m.hwnd = from;
    m.message = WM_KEYDOWN;
    m.wParam = VK_TAB;
    return f.TranslateKeys(m);
  };
  EXPECT_TRUE(tab(f.ListBox1.Handle()));
  EXPECT_EQ(GetFocus(), f.TreeView1.Handle());
  EXPECT_TRUE(tab(f.TreeView1.Handle()));
  EXPECT_EQ(GetFocus(), f.ListBox1.Handle());
  // Chosen with the arrow keys: the keyboard stays in the tree, to walk on.
  SetFocus(f.TreeView1.Handle());
  f.TreeView1.Select(folderB_);
  f.TreeView1Click(true);
  EXPECT_EQ(f.ShownNode, folderB_);
  EXPECT_EQ(GetFocus(), f.TreeView1.Handle());
  // After making all thumbnails the window is active again, the keyboard where it was.
  Click(folderA_);
  f.Folder.Items[2].Entry.reset();
  f.ExecuteCommand(app::cmd::N8);
  EXPECT_TRUE(f.Folder.Items[2].Entry);
  EXPECT_EQ(GetActiveWindow(), f.Handle());
  EXPECT_EQ(GetFocus(), f.ListBox1.Handle());
  ShowWindow(f.Handle(), SW_HIDE);
}

TEST_F(FormFolders, ARightClickSelectsThePictureUnderTheMouseForTheMenu) {
  TForm1& f = *form_;
  Click(folderA_);
  SelectItem(-1);
  const RECT r = f.ListBox1.ItemRect(2);
  SendMessageW(f.ListBox1.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(r.left + 10, r.top + 10));
  EXPECT_EQ(f.ListBox1.Selected(), 2);
  f.PopupMenu2Popup();
  for (int command : {app::cmd::View1, app::cmd::N21, app::cmd::N6}) EXPECT_TRUE(f.MenuItemEnabled(command));
  // On empty list space: no picture is meant.
  const RECT client = f.ListBox1.ClientRect();
  ASSERT_EQ(f.ListBox1.ItemAt(client.right - 2, client.bottom - 2), -1);
  SendMessageW(f.ListBox1.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(client.right - 2, client.bottom - 2));
  EXPECT_EQ(f.ListBox1.Selected(), -1);
  f.PopupMenu2Popup();
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::View1));
}

TEST_F(FormFolders, ASortKeepsTheSamePictureSelected) {
  TForm1& f = *form_;
  Click(folderA_);
  f.ExecuteCommand(app::cmd::SortByName1);
  SelectItem(0);
  ASSERT_EQ(f.Folder.Items[0].Name, "P0.JPG");
  f.ExecuteCommand(app::cmd::N23);  // by size: the widest picture, P0, goes last
  const int selected = f.ListBox1.Selected();
  ASSERT_GE(selected, 0);
  EXPECT_EQ(f.Folder.Items[static_cast<std::size_t>(selected)].Name, "P0.JPG");
  EXPECT_NE(selected, 0);
}

TEST_F(FormFolders, AMissingFolderIsSaidAndCannotBePrinted) {
  TForm1& f = *form_;
  Click(folderA_);
  // The previous folder's hover text does not stay in the status bar.
  const RECT r = f.ListBox1.ItemRect(0);
  SendMessageW(f.ListBox1.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(r.left + 5, r.top + 5));
  EXPECT_FALSE(f.StatusText(2).empty());
  const std::string path = other_.win::TempFolder::Path();
  ASSERT_TRUE(MoveFileW(win::Wide(path).c_str(), win::Wide(path + "_gone").c_str()));
  Click(folderB_);
  EXPECT_TRUE(f.StatusText(2).empty());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, MissingFolderText(path));
  EXPECT_EQ(f.ListBox1.Count(), 0);
  EXPECT_FALSE(f.ActionEnabled(ActionId::PrintAction));
  EXPECT_TRUE(f.ActionEnabled(ActionId::DelFolderAction));  // it may be taken off the album
  MoveFileW(win::Wide(path + "_gone").c_str(), win::Wide(path).c_str());
  // There again: shown, and printable.
  Click(folderA_);
  Click(folderB_);
  EXPECT_EQ(f.ListBox1.Count(), 1);
  EXPECT_TRUE(f.ActionEnabled(ActionId::PrintAction));
  EXPECT_EQ(dialogs_.messages.size(), 1u);
}
