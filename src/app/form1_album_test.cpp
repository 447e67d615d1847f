// The shelf and the album and folder commands of the main window under Wine: opening albums
// into the folder tree, new and edited albums through the properties dialog, deleting
// albums and folders after confirmation.
#include <gtest/gtest.h>

#include "album/album_file.h"
#include "album/property_form.h"
#include "app/form1.h"
#include "win/test_files.h"
#include "win/test_dialogs.h"
#include "win/text.h"

using app::ActionId;
using win::TempFolder;

namespace {

std::vector<std::uint8_t> Library() {
  TFolderList none, two;
  two.push_back({"C:\\写真\\表", std::make_unique<TFolderRecord>(TFolderRecord{5, {"memo"}, 1})});
  two.push_back({"D:\\ソ能", std::make_unique<TFolderRecord>()});
  std::vector<AlbumRef> albums = {
      AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, none},
      AlbumRef{"かぞく", 0xFF0000, "ＭＳ Ｐゴシック", 0x00FFFF, two},
      AlbumRef{"二〇二六年", 0x00FF00, "ＭＳ ゴシック", 0, none},
  };
  return WriteAlbumLibrary(albums);
}

struct Node {
  std::string text;
  int image, selectedImage;
  TFolderRecord* record;
};

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

Node NodeOf(HWND tree, HTREEITEM item) {
  wchar_t text[512] = {};
  TVITEMW it{};
  it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  it.hItem = item;
  it.pszText = text;
  it.cchTextMax = 512;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
  return {win::Narrow(text), it.iImage, it.iSelectedImage, reinterpret_cast<TFolderRecord*>(it.lParam)};
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM parent) {
  std::vector<HTREEITEM> out;
  for (HTREEITEM c = Next(tree, parent, TVGN_CHILD); c; c = Next(tree, c, TVGN_NEXT)) out.push_back(c);
  return out;
}

int NodeCount(HWND tree) { return static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)); }

class FormShelf : public testing::Test {
 protected:
  FormShelf() { TempFolder::Write(lib, Library()); }
  TempFolder dir;
  std::string lib = dir.File("Quiran.Alb");
  win::ScriptedDialogs dialogs;
};

TEST_F(FormShelf, OpeningAnAlbumBuildsTheTreeAndPullsTheBookDown) {
  TForm1 f(lib);
  ASSERT_EQ(f.Books.size(), 3u);
  HWND tree = f.TreeView1.Handle();
  // A folder from an old library has no record yet: opening the album gives it the default.
  f.Books[1]->Data().push_back({"E:\\古い", nullptr});

  f.BookShape1Click(*f.Books[1]);
  EXPECT_EQ(f.CurrentBook, f.Books[1].get());
  EXPECT_EQ(f.Books[0]->Top(), 0);
  EXPECT_EQ(f.Books[1]->Top(), 20);
  ASSERT_NE(f.RootNode, nullptr);
  Node root = NodeOf(tree, f.RootNode);
  EXPECT_EQ(root.text, "かぞく");
  EXPECT_EQ(root.image, 0);
  EXPECT_EQ(root.selectedImage, 0);
  auto kids = Children(tree, f.RootNode);
  ASSERT_EQ(kids.size(), 3u);
  Node a = NodeOf(tree, kids[0]), b = NodeOf(tree, kids[1]), c = NodeOf(tree, kids[2]);
  EXPECT_EQ(a.text, "C:\\写真\\表");
  EXPECT_EQ(a.image, 3);  // Kind 1
  EXPECT_EQ(a.selectedImage, 4);
  EXPECT_EQ(a.record, f.Books[1]->Data()[0].Record.get());
  EXPECT_EQ(b.text, "D:\\ソ能");
  EXPECT_EQ(b.image, 1);
  EXPECT_EQ(b.selectedImage, 2);
  ASSERT_NE(f.Books[1]->Data()[2].Record, nullptr);
  EXPECT_EQ(c.record, f.Books[1]->Data()[2].Record.get());
  EXPECT_EQ(c.record->SizeIndex, 3);
  EXPECT_EQ(c.record->Kind, 0);
  EXPECT_TRUE(SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(f.RootNode), TVIS_EXPANDED) &
              TVIS_EXPANDED);
  EXPECT_TRUE(f.ActionEnabled(ActionId::DelAlbum));
  EXPECT_TRUE(f.ActionEnabled(ActionId::AddFolderAction));

  // Another book: the first goes back up and the tree shows the new album.
  f.BookShape1Click(*f.Books[2]);
  EXPECT_EQ(f.Books[1]->Top(), 0);
  EXPECT_EQ(f.Books[2]->Top(), 20);
  EXPECT_EQ(NodeOf(tree, f.RootNode).text, "二〇二六年");
  EXPECT_EQ(NodeCount(tree), 1);

  // The empty shelf closes the album.
  f.BookShape1Click(f.PaintBox1);
  EXPECT_EQ(f.CurrentBook, nullptr);
  EXPECT_EQ(f.RootNode, nullptr);
  EXPECT_EQ(NodeCount(tree), 0);
  EXPECT_EQ(f.Books[2]->Top(), 0);
  EXPECT_FALSE(f.ActionEnabled(ActionId::DelAlbum));
  EXPECT_FALSE(f.ActionEnabled(ActionId::AddFolderAction));
}

TEST_F(FormShelf, DeletingTheMiddleAlbumAsksThenClosesTheGap) {
  TForm1 f(lib);
  ASSERT_EQ(f.Books.size(), 3u);
  EXPECT_EQ(f.PaintBox1.Width(), 256);
  f.BookShape1Click(*f.Books[1]);
  f.PopupBook = f.Books[1].get();

  dialogs.answers = {IDNO};
  f.ExecuteCommand(app::cmd::DelAlbum);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "アルバム「かぞく」を削除します。\r\n（実際のフォルダーは削除されません。）\r\nよろしいですか？");
  EXPECT_EQ(dialogs.messages[0].caption, "削除の確認");
  EXPECT_EQ(dialogs.messages[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2));
  EXPECT_EQ(f.Books.size(), 3u);
  EXPECT_EQ(NodeCount(f.TreeView1.Handle()), 3);

  dialogs.answers = {IDYES};
  f.ExecuteCommand(app::cmd::DelAlbum);
  ASSERT_EQ(f.Books.size(), 2u);
  EXPECT_EQ(f.Books[0]->Caption(), "旅行");
  EXPECT_EQ(f.Books[1]->Caption(), "二〇二六年");
  EXPECT_EQ(f.Books[1]->Left(), 52);
  EXPECT_EQ(f.Books[1]->Tag(), 2);
  EXPECT_EQ(f.Books[1]->Top(), 0);
  EXPECT_EQ(f.CurrentBook, nullptr);
  EXPECT_EQ(f.PopupBook, nullptr);
  EXPECT_EQ(NodeCount(f.TreeView1.Handle()), 0);
  EXPECT_FALSE(f.ActionEnabled(ActionId::AddFolderAction));
  f.ExecuteCommand(app::cmd::DelAlbum);  // no album open: nothing is asked
  EXPECT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(f.PaintBox1.Width(), 256);  // the paint area never shrinks
}

TEST_F(FormShelf, FoldersAreAddedAndTheFirstMatchIsDeletedWhateverTheLetterCase) {
  TForm1 f(lib);
  f.BookShape1Click(*f.Books[0]);
  HWND tree = f.TreeView1.Handle();

  dialogs.folders = {std::nullopt, "C:\\写真\\Abc", "c:\\写真\\aBC", "C:\\表"};
  f.ExecuteCommand(app::cmd::AddFolderAction);  // cancelled: nothing added
  EXPECT_EQ(NodeCount(tree), 1);
  for (int i = 0; i < 3; ++i) f.ExecuteCommand(app::cmd::AddFolderAction);
  EXPECT_EQ(dialogs.browseTitles, std::vector<std::string>(4, "フォルダー追加"));
  TFolderList& folders = f.Books[0]->Data();
  ASSERT_EQ(folders.size(), 3u);
  auto kids = Children(tree, f.RootNode);
  ASSERT_EQ(kids.size(), 3u);
  Node second = NodeOf(tree, kids[1]);
  EXPECT_EQ(second.text, "c:\\写真\\aBC");
  EXPECT_EQ(second.image, 1);
  EXPECT_EQ(second.selectedImage, 2);
  EXPECT_EQ(second.record, folders[1].Record.get());
  EXPECT_EQ(second.record->SizeIndex, 3);

  // The root node cannot be deleted; No keeps everything.
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(f.RootNode));
  f.ExecuteCommand(app::cmd::DelFolderAction);
  EXPECT_TRUE(dialogs.messages.empty());
  f.SetActionEnabled(ActionId::DelFolderAction, true);  // as when the folder is shown
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(kids[1]));
  dialogs.answers = {IDNO};
  f.ExecuteCommand(app::cmd::DelFolderAction);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "フォルダー\"c:\\写真\\aBC\"を削除します。\r\n（実際のフォルダーは削除されません。）\r\nよろしいですか？");
  EXPECT_EQ(dialogs.messages[0].caption, "削除の確認");
  EXPECT_EQ(folders.size(), 3u);
  EXPECT_EQ(NodeCount(tree), 4);

  // Yes: the selected node leaves the tree, the first entry with that path the album.
  f.SetActionEnabled(ActionId::DelFolderAction, true);
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(kids[1]));
  TFolderRecord* kept = folders[1].Record.get();
  dialogs.answers = {IDYES};
  f.ExecuteCommand(app::cmd::DelFolderAction);
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].Path, "c:\\写真\\aBC");
  EXPECT_EQ(folders[1].Path, "C:\\表");
  kids = Children(tree, f.RootNode);
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(NodeOf(tree, kids[0]).text, "C:\\写真\\Abc");
  EXPECT_EQ(NodeOf(tree, kids[1]).text, "C:\\表");
  // The remaining node of that folder refers to a record the album still holds.
  EXPECT_EQ(NodeOf(tree, kids[0]).record, kept);
  EXPECT_EQ(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
}

TEST_F(FormShelf, AFolderPathTooLongForTheLibraryIsRefusedWhenAdded) {
  TForm1 f(lib);
  f.BookShape1Click(*f.Books[0]);
  std::string path = "C:\\" + std::string(120, 'a') + "\\" + std::string(70, 'b') + "\\写真と表と" + std::string(51, 'c');
  ASSERT_EQ(path.size(), 256u);
  dialogs.folders = {path};
  SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(app::cmd::AddFolderAction, 0), 0);  // as the menu does
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find(path), std::string::npos);
  EXPECT_TRUE(f.Books[0]->Data().empty());
  EXPECT_EQ(NodeCount(f.TreeView1.Handle()), 1);
}

TEST_F(FormShelf, PathsDifferingInATrailByteAreDifferentFolders) {
  // "ヂ" (83 61) and "ャ" (83 41) differ only in a trail byte that looks like "a" and "A": a
  // byte-wise case-blind compare would take one for the other.
  TForm1 f(lib);
  f.BookShape1Click(*f.Books[0]);
  HWND tree = f.TreeView1.Handle();
  dialogs.folders = {"C:\\\x83\x61", "C:\\\x83\x41"};
  f.ExecuteCommand(app::cmd::AddFolderAction);
  f.ExecuteCommand(app::cmd::AddFolderAction);
  auto kids = Children(tree, f.RootNode);
  ASSERT_EQ(kids.size(), 2u);
  f.SetActionEnabled(ActionId::DelFolderAction, true);
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(kids[1]));
  dialogs.answers = {IDYES};
  f.ExecuteCommand(app::cmd::DelFolderAction);
  ASSERT_EQ(f.Books[0]->Data().size(), 1u);
  EXPECT_EQ(f.Books[0]->Data()[0].Path, "C:\\\x83\x61");
}

TEST_F(FormShelf, NewAlbumsStartFromTheLastValuesAndCancelChangesNothing) {
  TForm1 f(lib);
  TPropertyForm props;
  f.PropertyForm = &props;
  f.BookShape1Click(*f.Books[0]);

  props.OnShown = [](TPropertyForm& p) { PostMessageW(p.CancelButton(), BM_CLICK, 0, 0); };
  f.ExecuteCommand(app::cmd::NewAlbum);
  EXPECT_EQ(f.Books.size(), 3u);

  props.OnShown = [](TPropertyForm& p) { PostMessageW(p.OkButton(), BM_CLICK, 0, 0); };
  f.ExecuteCommand(app::cmd::NewAlbum);
  ASSERT_EQ(f.Books.size(), 4u);
  const TBookShape& first = *f.Books[3];
  EXPECT_EQ(first.Caption(), "新規アルバム");
  EXPECT_EQ(first.Color(), 0xFF0000u);
  EXPECT_EQ(first.Font().Color, 0xFFFFFFu);
  EXPECT_EQ(first.Font().Name, FontDesc().Name);
  EXPECT_TRUE(first.Font().Bold);
  EXPECT_EQ(first.Font().Points(), 14);
  EXPECT_EQ(first.Left(), 156);
  EXPECT_EQ(first.Height(), 280);
  EXPECT_EQ(first.Tag(), 4);
  EXPECT_EQ(f.PaintBox1.Width(), 256);  // 206 fits in 256
  EXPECT_EQ(NodeOf(f.TreeView1.Handle(), f.RootNode).text, "旅行");  // the new album is not opened

  // The second starts from the first one's values; its edits are taken.
  dialogs.colors = {0x00AA00};
  std::string shown;
  props.OnShown = [&](TPropertyForm& p) {
    wchar_t text[64] = {};
    GetWindowTextW(p.CaptionEdit(), text, 64);
    shown = win::Narrow(text);
    SetWindowTextW(p.CaptionEdit(), L"かぞく２");
    SendMessageW(p.CoverColorItem().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(p.CoverColorItem().Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PostMessageW(p.OkButton(), BM_CLICK, 0, 0);
  };
  f.ExecuteCommand(app::cmd::NewAlbum);
  EXPECT_EQ(shown, "新規アルバム");
  ASSERT_EQ(f.Books.size(), 5u);
  EXPECT_EQ(f.Books[4]->Caption(), "かぞく２");
  EXPECT_EQ(f.Books[4]->Color(), 0x00AA00u);
  EXPECT_EQ(f.Books[4]->Left(), 208);
  EXPECT_EQ(f.PaintBox1.Width(), 356);  // 258 is past 256: one spare width more
}

TEST_F(FormShelf, PropertiesOfTheRightClickedBookChangeThatBookOnly) {
  TForm1 f(lib);
  TPropertyForm props;
  f.PropertyForm = &props;
  f.BookShape1Click(*f.Books[0]);
  f.PopupBook = f.Books[2].get();

  std::string shownCaption;
  std::uint32_t shownColor = 0;
  props.OnShown = [&](TPropertyForm& p) {
    shownCaption = p.AlbumCaption();
    shownColor = p.CoverColor();
    SetWindowTextW(p.CaptionEdit(), L"別の名前");
    PostMessageW(p.CancelButton(), BM_CLICK, 0, 0);
  };
  f.ExecuteCommand(app::cmd::N5);
  EXPECT_EQ(shownCaption, "二〇二六年");
  EXPECT_EQ(shownColor, 0x00FF00u);
  EXPECT_EQ(f.Books[2]->Caption(), "二〇二六年");  // cancelled

  props.OnShown = [&](TPropertyForm& p) {
    SetWindowTextW(p.CaptionEdit(), L"別の名前");
    PostMessageW(p.OkButton(), BM_CLICK, 0, 0);
  };
  f.ExecuteCommand(app::cmd::N5);
  EXPECT_EQ(f.Books[2]->Caption(), "別の名前");
  EXPECT_EQ(f.Books[2]->Font().Points(), 14);
  EXPECT_EQ(f.Books[2]->Font().Name, "ＭＳ ゴシック");
  EXPECT_EQ(f.Books[0]->Caption(), "旅行");
  EXPECT_EQ(NodeOf(f.TreeView1.Handle(), f.RootNode).text, "旅行");
}

TEST(FormShelfRealDialog, DeletingAnAlbumAnsweredNoByTheRealMessageBoxKeepsIt) {
  TempFolder dir;
  std::string lib = dir.File("Quiran.Alb");
  TempFolder::Write(lib, Library());
  TForm1 f(lib);
  f.BookShape1Click(*f.Books[0]);
  {
    win::AnswerRealDialog no(IDNO);
    f.ExecuteCommand(app::cmd::DelAlbum);
  }
  EXPECT_EQ(f.Books.size(), 3u);
  EXPECT_EQ(f.CurrentBook, f.Books[0].get());
  EXPECT_NE(f.RootNode, nullptr);
}

}  // namespace
