// The main window under Wine: its menus, commands and their enabling, the album library
// loaded at creation and saved at close, and the layout.
#include "app/form1.h"

#include <gtest/gtest.h>

#include "album/album_file.h"
#include "app/main_layout.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/sjis.h"
#include "win/test_files.h"
#include "win/app.h"
#include "win/file_io.h"
#include "win/test_dialogs.h"
#include "win/text.h"

using app::ActionId;
using win::TempFolder;

namespace {

// A menu as text: items separated by "|", sub-menus in brackets. Marks before a caption:
// "o" radio item, "*" checked, "!" default, "~" disabled.
std::string DumpMenu(HMENU menu) {
  std::string out;
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    mii.dwTypeData = text;
    mii.cch = 256;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii);
    if (i) out += "|";
    if (mii.fType & MFT_SEPARATOR) {
      out += "-";
      continue;
    }
    if (mii.fType & MFT_RADIOCHECK) out += "o";
    if (mii.fState & MFS_CHECKED) out += "*";
    if (mii.fState & MFS_DEFAULT) out += "!";
    if (mii.fState & MFS_DISABLED) out += "~";
    out += win::Narrow(text);
    if (mii.hSubMenu) out += "[" + DumpMenu(mii.hSubMenu) + "]";
  }
  return out;
}

bool ButtonEnabled(TForm1& f, int command) {
  return f.ToolBar1.ButtonEnabled(command) || f.ToolBar2.ButtonEnabled(command);
}

// Menu item and tool button agree with the action's state.
void ExpectActionShown(TForm1& f, ActionId id) {
  const app::ActionDef& a = app::ActionOf(id);
  bool on = f.ActionEnabled(id);
  EXPECT_EQ(f.MenuItemEnabled(a.Command), on) << a.Name;
  EXPECT_EQ(ButtonEnabled(f, a.Command), on) << a.Name;
}

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> EmptyLibrary() {
  auto b = Bytes(kAlbumMagic);
  for (std::uint8_t x : {0x1E, 0, 0, 0, 0, 0, 0, 0}) b.push_back(x);
  return b;
}

// Three albums; the second holds two folders, one of them twice.
std::vector<std::uint8_t> ThreeAlbums() {
  TFolderList none, two;
  two.push_back({"C:\\写真\\表", std::make_unique<TFolderRecord>(TFolderRecord{5, {"memo"}, 1})});
  two.push_back({"C:\\写真\\表", std::make_unique<TFolderRecord>()});
  std::vector<AlbumRef> albums = {
      AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, none},
      AlbumRef{"家族", 0xFF0000, "ＭＳ Ｐゴシック", 0x00FFFF, two},
      AlbumRef{"ソ能表", 0x00FF00, "ＭＳ ゴシック", 0, none},
  };
  return WriteAlbumLibrary(albums);
}

class FormLibrary : public testing::Test {
 protected:
  TempFolder dir;
  std::string lib = dir.File("Quiran.Alb");
  win::ScriptedDialogs dialogs;
};

}  // namespace

TEST(FormMenus, MenusHoldEveryItemWithExactCaptionsChecksAndDefaults) {
  TForm1 f(TempFolder().File("none.Alb"));
  EXPECT_EQ(DumpMenu(f.MainMenu()),
            "アルバム(&A)[新規アルバム\tCtrl+N|~アルバムの削除\tCtrl+Del|-|~印刷・・・|-|終了(&X)]"
            "|フォルダー(&F)[~フォルダーの追加|~フォルダーの削除]"
            "|設定(&T)[Susie Plugin の設定|ファイルのソート[o名前順|o拡張子別|oファイルサイズ順|o日付順|-|o*無し]]"
            "|ウインドウ(&W)[]|その他[Susie Plugin 情報]");
  EXPECT_EQ(DumpMenu(f.BookMenu()), "アルバムのプロパティ");
  EXPECT_EQ(DumpMenu(f.PopupMenu2()),
            "!表示…|コメント編集…|-|サムネイル作成|全ファイルサムネイル作成|-"
            "|サムネイルサイズ変更[o極小|o小|o*中|o大|o極大]|*備考欄の表示|~備考ウィンドウの表示");
  EXPECT_EQ(GetMenuDefaultItem(f.PopupMenu2(), FALSE, 0), static_cast<UINT>(app::cmd::View1));
  EXPECT_EQ(f.WindowMenu(), GetSubMenu(f.MainMenu(), 3));

  // Tags travel with the items: the sort kinds 1..4 and 0, the sizes 1..5.
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_DATA;
  GetMenuItemInfoW(f.MainMenu(), static_cast<UINT>(TForm1::CommandOf("SortByDate1")), FALSE, &mii);
  EXPECT_EQ(mii.dwItemData, 4u);
  GetMenuItemInfoW(f.PopupMenu2(), static_cast<UINT>(TForm1::CommandOf("N15")), FALSE, &mii);
  EXPECT_EQ(mii.dwItemData, 5u);

  // A radio item takes the check from the rest of its group only.
  f.CheckMenuItem(TForm1::CommandOf("SortByName1"));
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::SortByName1));
  EXPECT_FALSE(f.MenuItemChecked(app::cmd::N26));
  f.CheckMenuItem(app::cmd::N11);
  EXPECT_FALSE(f.MenuItemChecked(app::cmd::N13));
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::SortByName1));
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N20));
  EXPECT_EQ(TForm1::CommandOf("nothing"), 0);
}

TEST(FormActions, StartStatesShortcutsAndToolButtons) {
  TForm1 f(TempFolder().File("none.Alb"));
  for (const app::ActionDef& a : app::Actions()) {
    EXPECT_EQ(f.ActionEnabled(a.Id), a.EnabledAtStart) << a.Name;
    if (a.Id != ActionId::AddPictAction && a.Id != ActionId::DelPictAction) ExpectActionShown(f, a.Id);
    EXPECT_EQ(ButtonEnabled(f, a.Command), a.EnabledAtStart) << a.Name;
  }
  EXPECT_EQ(SendMessageW(f.ToolBar1.Handle(), TB_BUTTONCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageW(f.ToolBar2.Handle(), TB_BUTTONCOUNT, 0, 0), 5);
  TBBUTTON sep{};
  SendMessageW(f.ToolBar1.Handle(), TB_GETBUTTON, 4, reinterpret_cast<LPARAM>(&sep));
  EXPECT_TRUE(sep.fsStyle & BTNS_SEP);
  EXPECT_EQ(sep.iBitmap, 16);
  RECT button{};
  SendMessageW(f.ToolBar1.Handle(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
  EXPECT_EQ(button.right - button.left, 32);
  EXPECT_EQ(button.bottom - button.top, 32);
  EXPECT_EQ(f.ToolBar2.OnGetTip(app::cmd::AddFolderAction), "フォルダー追加");
  EXPECT_EQ(f.ToolBar2.OnGetTip(app::cmd::AddPictAction), "");
  // The tool tip asks the tool bar for the text of a button.
  HWND tips = reinterpret_cast<HWND>(SendMessageW(f.ToolBar1.Handle(), TB_GETTOOLTIPS, 0, 0));
  ASSERT_TRUE(tips);
  wchar_t tipText[80] = {};
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = f.ToolBar1.Handle();
  ti.uId = app::cmd::ExitAction;
  ti.lpszText = tipText;
  SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
  EXPECT_EQ(win::Narrow(tipText), "終了");

  ACCEL keys[8] = {};
  int n = CopyAcceleratorTableW(f.Accelerators(), keys, 8);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(keys[0].key, 'N');
  EXPECT_EQ(keys[0].cmd, app::cmd::NewAlbum);
  EXPECT_EQ(keys[1].key, VK_DELETE);
  EXPECT_EQ(keys[1].cmd, app::cmd::DelAlbum);
  EXPECT_TRUE(keys[1].fVirt & FCONTROL);
}

TEST(FormActions, EnablingReachesMenuItemsAndToolButtonsTogether) {
  TForm1 f(TempFolder().File("none.Alb"));
  auto shown = [&] {
    for (ActionId id : {ActionId::DelAlbum, ActionId::AddFolderAction, ActionId::DelFolderAction, ActionId::PrintAction})
      ExpectActionShown(f, id);
  };
  f.SelectionChanged(app::SelectionEvent::BookClicked);
  EXPECT_TRUE(f.ActionEnabled(ActionId::DelAlbum));
  EXPECT_TRUE(f.ActionEnabled(ActionId::AddFolderAction));
  shown();
  f.SelectionChanged(app::SelectionEvent::FolderShown);
  EXPECT_TRUE(f.ActionEnabled(ActionId::PrintAction));
  shown();
  f.CloseShownFolder();  // the shown folder is closed: no folder to delete or print
  EXPECT_FALSE(f.ActionEnabled(ActionId::DelFolderAction));
  EXPECT_FALSE(f.ActionEnabled(ActionId::PrintAction));
  shown();
  f.SetActionEnabled(ActionId::DelAlbum, false);
  shown();
  f.SelectionChanged(app::SelectionEvent::EmptyShelfClicked);
  EXPECT_EQ(f.ActionStates(), app::StartStates());
  shown();
}

TEST(FormActions, LongHintShowsInTheStatusBarForMenuItemsAndToolButtons) {
  TForm1 f(TempFolder().File("none.Alb"));
  SendMessageW(f.Handle(), WM_MENUSELECT, MAKEWPARAM(app::cmd::ExitAction, MF_HILITE),
               reinterpret_cast<LPARAM>(f.MainMenu()));
  EXPECT_EQ(f.StatusText(0), "アプリケーションを終了する。");
  SendMessageW(f.Handle(), WM_MENUSELECT, MAKEWPARAM(app::cmd::SusiePlugin1, MF_HILITE),
               reinterpret_cast<LPARAM>(f.MainMenu()));
  EXPECT_EQ(f.StatusText(0), "");
  SendMessageW(f.Handle(), WM_MENUSELECT, MAKEWPARAM(app::cmd::NewAlbum, MF_HILITE),
               reinterpret_cast<LPARAM>(f.MainMenu()));
  SendMessageW(f.Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closed
  EXPECT_EQ(f.StatusText(0), "");

  NMTBHOTITEM hot{};
  hot.hdr = {f.ToolBar1.Handle(), static_cast<UINT_PTR>(f.ToolBar1.Id()), static_cast<UINT>(TBN_HOTITEMCHANGE)};
  hot.idNew = app::cmd::PrintAction;
  hot.dwFlags = HICF_MOUSE | HICF_ENTERING;
  SendMessageW(f.Handle(), WM_NOTIFY, hot.hdr.idFrom, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(f.StatusText(0), "プリンターにサムネイル画像を印刷する。");
  hot.dwFlags = HICF_MOUSE | HICF_LEAVING;
  SendMessageW(f.Handle(), WM_NOTIFY, hot.hdr.idFrom, reinterpret_cast<LPARAM>(&hot));
  EXPECT_EQ(f.StatusText(0), "");
}

TEST(FormLayout, DesignSizesAndPanes) {
  TForm1 f(TempFolder().File("none.Alb"));
  RECT c = f.ClientRect();
  EXPECT_EQ(c.right, 752);
  EXPECT_EQ(c.bottom, 539);
  EXPECT_EQ(f.Text(), "Quiran？");
  RECT cool = f.CoolBar1.Bounds(), p1 = f.Panel1.Bounds(), s1 = f.Splitter1.Bounds(), p2 = f.Panel2.Bounds(),
       sb = f.StatusBar1.Bounds();
  EXPECT_GE(cool.bottom, 32);
  EXPECT_LE(cool.bottom, 40);
  EXPECT_EQ(p1.left, 0);
  EXPECT_EQ(p1.top, cool.bottom);
  EXPECT_EQ(p1.right, 164);
  EXPECT_EQ(p1.bottom, sb.top);
  EXPECT_EQ(s1.left, 164);
  EXPECT_EQ(s1.right, 168);
  EXPECT_EQ(p2.left, 168);
  EXPECT_EQ(p2.right, 752);
  EXPECT_EQ(sb.bottom, 539);
  int edges[3] = {};
  ASSERT_EQ(SendMessageW(f.StatusBar1.Handle(), SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 150);
  EXPECT_EQ(edges[1], 350);
  EXPECT_EQ(edges[2], -1);  // the last panel takes the rest of the bar

  EXPECT_EQ(SendMessageW(f.CoolBar1.Handle(), RB_GETROWCOUNT, 0, 0), 1);  // both bands on one row
  EXPECT_EQ(SendMessageW(f.CoolBar1.Handle(), RB_GETBANDCOUNT, 0, 0), 2);

  // The pictures are compiled in: eight action images, five tree images, the 124 x 124 tile.
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(f.ToolBar1.Handle(), TB_GETIMAGELIST, 0, 0));
  auto treeImages = reinterpret_cast<HIMAGELIST>(SendMessageW(f.TreeView1.Handle(), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
  EXPECT_EQ(ImageList_GetImageCount(images), 8);
  EXPECT_EQ(ImageList_GetImageCount(treeImages), 5);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(treeImages, &cx, &cy);
  EXPECT_EQ(cx, 24);
  EXPECT_EQ(cy, 24);
  BITMAP tile{};
  ASSERT_TRUE(GetObjectW(f.Image2, sizeof(tile), &tile));
  EXPECT_EQ(tile.bmWidth, 124);
  EXPECT_EQ(tile.bmHeight, 124);
  EXPECT_EQ(tile.bmBitsPixel, 24);

  RECT stage = f.StageItem.Bounds();
  EXPECT_EQ(stage.bottom - stage.top, 320);
  EXPECT_EQ(stage.left, 2);  // inside Panel1's bevel and border
  EXPECT_EQ(GetWindowLongW(f.StageItem.Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  // The paint area was narrower than the scroll box: it became the box's width plus 5.
  EXPECT_EQ(f.PaintBox1.Width(), stage.right - stage.left + 5);
  EXPECT_EQ(f.PaintBox1.Height(), 300);
  EXPECT_EQ(f.ShelfStripSize.cx, 496);
  EXPECT_EQ(f.ShelfStripSize.cy, 300);
  RECT tree = f.TreeView1.Bounds();
  EXPECT_EQ(tree.bottom - tree.top, 79);
  EXPECT_EQ(tree.left, 3);  // inside Panel2's bevel and border
  EXPECT_EQ(SendMessageW(f.TreeView1.Handle(), TVM_GETINDENT, 0, 0), 27);
  EXPECT_EQ(GetWindowLongW(f.TreeView1.Handle(), GWL_STYLE) & TVS_EDITLABELS, 0);
  RECT list = f.ListBox1.Bounds();
  EXPECT_EQ(list.top, tree.bottom + 4);
  EXPECT_EQ(list.bottom, p2.bottom - p2.top - 3);
  EXPECT_EQ(f.ListBox1.ItemWidth(), 222);
  EXPECT_EQ(f.ListBox1.ItemHeight(), 77);
  EXPECT_EQ(f.ThumbSize, 3);
  EXPECT_TRUE(f.ShowRemarks);
  EXPECT_EQ(f.HoverIndex, -1);
  EXPECT_EQ(f.SortKind, 0);
  EXPECT_GT(f.ColorDepth, 8);
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(f.ListBox1.Handle(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(win::Narrow(lf.lfFaceName), "ＭＳ Ｐゴシック");
}

TEST(FormLayout, SplittersResizeTheirPanesWithinTheMinimum) {
  TForm1 f(TempFolder().File("none.Alb"));
  f.Splitter1.SetSize(300);
  EXPECT_EQ(f.Panel1.Bounds().right, 300);
  EXPECT_EQ(f.Panel2.Bounds().left, 304);
  f.Splitter1.SetSize(20);
  EXPECT_EQ(f.Panel1.Bounds().right, 150);
  f.Splitter1.SetSize(740);
  EXPECT_EQ(f.Panel2.Bounds().left, 752 - 150);
  f.Splitter2.SetSize(200);
  EXPECT_EQ(f.TreeView1.Bounds().bottom - f.TreeView1.Bounds().top, 200);
  EXPECT_EQ(f.ListBox1.Bounds().top, f.TreeView1.Bounds().bottom + 4);
  // Dragging with the mouse: the pane follows the cursor.
  f.Splitter1.SetSize(164);
  SetCursorPos(400, 300);
  SendMessageW(f.Splitter1.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
  SetCursorPos(450, 300);
  SendMessageW(f.Splitter1.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(51, 10));
  SendMessageW(f.Splitter1.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(51, 10));
  EXPECT_EQ(f.Panel1.Bounds().right, 214);
  // Growing the window keeps the shelf's width; the right pane takes the rest.
  RECT w{};
  GetWindowRect(f.Handle(), &w);
  SetWindowPos(f.Handle(), nullptr, 0, 0, w.right - w.left + 100, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(f.Panel1.Bounds().right, 214);
  EXPECT_EQ(f.Panel2.Bounds().right, 852);
  // Made too narrow for a while, then wide again: the shelf gets its width back.
  SetWindowPos(f.Handle(), nullptr, 0, 0, 250, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(f.Panel1.Bounds().right, 150);
  ShowWindow(f.Handle(), SW_MINIMIZE);
  ShowWindow(f.Handle(), SW_RESTORE);
  SetWindowPos(f.Handle(), nullptr, 0, 0, w.right - w.left, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(f.Panel1.Bounds().right, 214);
  ShowWindow(f.Handle(), SW_HIDE);
}

TEST(FormLayout, ShelfPaintsTheStripAcrossThePaintArea) {
  TForm1 f(TempFolder().File("none.Alb"));
  f.SetPaintAreaWidth(1000);
  win::MemoryBitmap bmp(1000, 300);
  win::Canvas canvas(bmp.Dc());
  f.PaintBox1Paint(canvas);
  win::MemoryBitmap tile(124, 124);
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, f.Image2);
  BitBlt(tile.Dc(), 0, 0, 124, 124, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  for (int x : {0, 123, 124, 495, 496, 620, 999})
    for (int y : {0, 123, 124, 299}) EXPECT_EQ(bmp.Pixel(x, y), tile.Pixel(x % 124, y % 124)) << x << "," << y;
  // Light wood: every channel of the tile is bright.
  std::uint32_t p = tile.Pixel(60, 60);
  EXPECT_GT(p & 0xFF, 150u);
  EXPECT_GT((p >> 16) & 0xFF, 80u);
}

TEST_F(FormLibrary, FirstStartWithoutLibraryWritesThe28ByteLibraryAtClose) {
  {
    TForm1 f(lib);
    EXPECT_TRUE(f.Books.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    f.ExecuteCommand(app::cmd::ExitAction);
    EXPECT_FALSE(IsWindow(f.Handle()) && f.Handle());
  }
  EXPECT_EQ(TempFolder::Read(lib), EmptyLibrary());
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.Alb"});  // no temporary file left behind
}

TEST_F(FormLibrary, ThreeAlbumsAreLoadedAtStartAndSavedBackUnchanged) {
  TempFolder::Write(lib, ThreeAlbums());
  {
    TForm1 f(lib);
    ASSERT_EQ(f.Books.size(), 3u);
    const int lefts[] = {0, 52, 104};
    for (int i = 0; i < 3; ++i) {
      const TBookShape& b = *f.Books[static_cast<std::size_t>(i)];
      EXPECT_EQ(&b.Album(), f.Library.Albums()[static_cast<std::size_t>(i)].get());
      EXPECT_EQ(b.Left(), lefts[i]);
      EXPECT_EQ(b.Top(), 0);
      EXPECT_EQ(b.Width(), 50);
      EXPECT_EQ(b.Height(), 280);
      EXPECT_EQ(b.Tag(), i + 1);
      EXPECT_EQ(b.Parent(), &f.StageItem);
      EXPECT_TRUE(b.Font().Bold);
      EXPECT_EQ(b.Font().Points(), 14);
    }
    EXPECT_EQ(f.PaintBox1.Width(), 256);
    EXPECT_EQ(f.Books[0]->Caption(), "旅行");
    EXPECT_EQ(f.Books[0]->Color(), 0x0000FFu);
    EXPECT_EQ(f.Books[0]->Font().Name, "ＭＳ 明朝");
    EXPECT_EQ(f.Books[0]->Font().Color, 0xFFFFFFu);
    ASSERT_EQ(f.Books[1]->Data().size(), 2u);
    EXPECT_EQ(f.Books[1]->Data()[0].Path, "C:\\写真\\表");
    EXPECT_EQ(f.Books[1]->Data()[0].Record->Kind, 1);
    EXPECT_EQ(f.Books[2]->Caption(), "ソ能表");
    // The books are on the shelf: a click on the second reaches its handler's sender.
    EXPECT_EQ(f.StageItem.GraphicAt({60, 100}), f.Books[1].get());
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(f.Handle());
  }
  EXPECT_EQ(TempFolder::Read(lib), ThreeAlbums());
}

// A library that cannot be written never keeps the window from closing: the user may try
// again or close without saving, and the file on disk then stays as it was.
TEST_F(FormLibrary, UnwritableLibraryOffersToTryAgainOrToCloseWithoutSaving) {
  CreateDirectoryW(win::Wide(lib).c_str(), nullptr);  // a folder where the file should be
  {
    TForm1 f(lib);
    EXPECT_TRUE(dialogs.messages.empty());  // a folder is no library file: the shelf starts empty
    f.CreateBook().SetCaption("旅行");
    dialogs.answers = {IDYES, IDNO};
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text.rfind("ファイル " + lib + " を作成できません\r\n", 0), 0u);
    EXPECT_EQ(dialogs.messages[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONSTOP));
    EXPECT_EQ(dialogs.messages[0].caption, "Quiran");
    EXPECT_FALSE(f.Handle());  // closed without saving
  }
  EXPECT_EQ(GetFileAttributesW(win::Wide(lib).c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.Alb"});  // no temporary file was left

  // Trying again after the obstacle went saves the library.
  TForm1 g(lib);
  g.CreateBook().SetCaption("旅行");
  dialogs.answers = {IDYES};
  dialogs.onMessage = [&](const win::ScriptedDialogs::Message&) { RemoveDirectoryW(win::Wide(lib).c_str()); };
  SendMessageW(g.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialogs.messages.size(), 3u);
  EXPECT_FALSE(g.Handle());
  EXPECT_EQ(TempFolder::Read(lib).size(), 28u + 524u);
}

TEST_F(FormLibrary, TheLibraryIsSavedWhenWindowsEndsTheSession) {
  TForm1 f(lib);
  f.CreateBook().SetCaption("旅行");
  EXPECT_EQ(SendMessageW(f.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_FALSE(win::FileExists(lib));  // only asked: nothing is written yet
  SendMessageW(f.Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(TempFolder::Read(lib).size(), 28u + 524u);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FormLibrary, DamagedLibraryIsLeftAsItIsOrKeptAsideWithItsOlderCopies) {
  std::vector<std::uint8_t> damaged = ThreeAlbums();
  damaged.resize(damaged.size() - 100);  // the third album is cut short
  TempFolder::Write(lib, damaged);
  TempFolder::Write(lib + ".bad", Bytes("an older damaged file"));
  {
    TForm1 f(lib);
    ASSERT_EQ(f.Books.size(), 2u);  // the albums read whole
    EXPECT_EQ(f.Books[1]->Data().size(), 2u);
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);  // nothing changed: nothing is written
    EXPECT_FALSE(f.Handle());
  }
  EXPECT_EQ(TempFolder::Read(lib), damaged);
  {
    TForm1 f(lib);
    f.CreateBook().SetCaption("新規アルバム");
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(TempFolder::Read(lib + ".bad"), damaged);
  EXPECT_EQ(TempFolder::Read(lib + ".bad2"), Bytes("an older damaged file"));
  EXPECT_EQ(TempFolder::Read(lib).size(), 28u + 3 * 524u + 2 * 268u + 256u);
}

// A start that could not read the library (here: the file is locked) shows why, and closing
// leaves the file as it was, even when that could not be known beforehand.
TEST_F(FormLibrary, LibraryThatCannotBeReadIsReportedAndNeverWrittenOver) {
  std::vector<std::uint8_t> original = ThreeAlbums();
  TempFolder::Write(lib, original);
  HANDLE lock = CreateFileW(win::Wide(lib).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  {
    TForm1 f(lib);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "ファイル " + lib + " は開けません");
    EXPECT_TRUE(f.Books.empty());
    EXPECT_TRUE(f.ShelfStrip);  // the other steps were done
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(f.Handle());
    EXPECT_EQ(dialogs.messages.size(), 1u);
  }
  {
    // With a new album the file must be kept aside first, which waits until it can be read.
    TForm1 f(lib);
    f.CreateBook();
    dialogs.answers = {IDYES};
    dialogs.onMessage = [&](const win::ScriptedDialogs::Message&) { CloseHandle(lock); };
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(f.Handle());
  }
  EXPECT_EQ(TempFolder::Read(lib + ".bad"), original);
  EXPECT_EQ(TempFolder::Read(lib).size(), 28u + 524u);
}

namespace {
// Another top-level window of the program (a picture viewer), taking the keys it is sent.
class OtherWindow : public win::Window {
 public:
  OtherWindow() {
    CreateArgs a;
    a.text = "C:\\写真\\表.jpg";
    CreateWindowOf(a);
  }
  std::vector<WPARAM> keys;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_KEYDOWN) keys.push_back(wp);
    return Window::HandleMessage(msg, wp, lp);
  }
};

struct ControlKeyDown {
  BYTE saved[256] = {};
  ControlKeyDown() {
    GetKeyboardState(saved);
    BYTE keys[256];
    std::copy(saved, saved + 256, keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
  }
  ~ControlKeyDown() { SetKeyboardState(saved); }
};
}  // namespace

// Ctrl+Del in a viewer must not delete the open album: each window takes its own keys.
TEST_F(FormLibrary, TheWindowReopensWhereItWasLeftWithItsSplittersAndThePluginChoiceStays) {
  const std::string ini = dir.File("Quiran.ini");
  TempFolder::Write(ini, Bytes("[UnusedFormats]\r\na.spi\t*.a\r\n[Plugins]\r\nInProcess=0\r\n"));
  RECT left{};
  {
    TForm1 f(lib);
    f.ShowFirst(SW_SHOWNORMAL);
    SetWindowPos(f.Handle(), nullptr, 120, 60, 900, 640, SWP_NOZORDER);
    f.Splitter1.SetSize(260);
    f.Splitter2.SetSize(140);
    GetWindowRect(f.Handle(), &left);
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  }
  {
    TForm1 f(lib);
    EXPECT_EQ(f.Panel1.Bounds().right, 260);
    EXPECT_EQ(f.TreeView1.Bounds().bottom - f.TreeView1.Bounds().top, 140);
    f.ShowFirst(SW_SHOWNORMAL);
    RECT now{};
    GetWindowRect(f.Handle(), &now);
    EXPECT_TRUE(EqualRect(&now, &left));
    EXPECT_FALSE(IsZoomed(f.Handle()));
    EXPECT_EQ(f.Panel1.Bounds().right, 260);
    // Maximised when left maximised, its normal place kept for a restore.
    ShowWindow(f.Handle(), SW_MAXIMIZE);
    SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  }
  {
    TForm1 f(lib);
    f.ShowFirst(SW_SHOWNORMAL);
    EXPECT_TRUE(IsZoomed(f.Handle()));
    ShowWindow(f.Handle(), SW_RESTORE);
    RECT now{};
    GetWindowRect(f.Handle(), &now);
    EXPECT_TRUE(EqualRect(&now, &left));
    EXPECT_EQ(f.Panel1.Bounds().right, 260);
    ShowWindow(f.Handle(), SW_HIDE);
  }
  // The plug-in choice in the same file is still there.
  const std::vector<std::uint8_t> text = TempFolder::Read(ini);
  EXPECT_NE(std::string(text.begin(), text.end()).find("a.spi\t*.a\r\n"), std::string::npos);

  // A place on a screen that is no longer there: the window opens where the system puts it.
  std::optional<TIniText> settings = TIniText::Parse(std::string(text.begin(), text.end()));
  ASSERT_TRUE(settings);
  settings->SetValue("Window", "Left", "-5000");
  const std::string moved = settings->Text();
  TempFolder::Write(ini, std::vector<std::uint8_t>(moved.begin(), moved.end()));
  TForm1 f(lib);
  f.ShowFirst(SW_SHOWNORMAL);
  RECT now{};
  GetWindowRect(f.Handle(), &now);
  EXPECT_GE(now.left, 0);
  EXPECT_FALSE(IsZoomed(f.Handle()));
  EXPECT_EQ(f.Panel1.Bounds().right, 260);  // the splitters are no place on a screen: kept
  ShowWindow(f.Handle(), SW_HIDE);
}

TEST(FormBookTips, ABookWhoseCaptionIsCutShowsItWholeInATip) {
  TForm1 f(TempFolder().File("none.Alb"));
  FontDesc font;
  font.Name = "ＭＳ 明朝";
  font.SetPoints(14);  // as a new album's
  TBookShape& shortBook = f.CreateBook();
  shortBook.SetFont(font);
  shortBook.SetCaption("旅行");
  TBookShape& longBook = f.CreateBook();
  longBook.SetFont(font);
  longBook.SetCaption("北海道・東北・関東甲信越の温泉めぐり二〇二四年");
  EXPECT_FALSE(shortBook.CaptionCut());
  EXPECT_TRUE(longBook.CaptionCut());
  // The mouse over each book, as the shelf reports it.
  auto over = [&](TBookShape& b) {
    SendMessageW(f.StageItem.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(b.Left() + 10, b.Top() + 100));
  };
  over(longBook);
  EXPECT_EQ(win::Narrow(f.BookTips.Text()), longBook.Caption());
  over(shortBook);
  EXPECT_TRUE(f.BookTips.Text().empty());
  over(longBook);
  SendMessageW(f.StageItem.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(longBook.Left() + 10, 295));  // the shelf below
  EXPECT_TRUE(f.BookTips.Text().empty());
}

TEST(FormKeys, ShortcutsActOnlyInTheWindowThatOwnsThem) {
  TempFolder dir;
  win::ScriptedDialogs dialogs;
  TForm1 f(dir.File("lib.Alb"));
  f.BookShape1Click(f.CreateBook());  // the album is open: Ctrl+Del would delete it
  OtherWindow viewer;
  ControlKeyDown ctrl;
  PostMessageW(viewer.Handle(), WM_KEYDOWN, VK_DELETE, 0);
  PostMessageW(viewer.Handle(), WM_KEYDOWN, VK_TAB, 0);  // no dialog: the viewer gets Tab too
  win::Application::ProcessMessages();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(viewer.keys, (std::vector<WPARAM>{VK_DELETE, VK_TAB}));

  dialogs.answers = {IDNO};
  PostMessageW(f.TreeView1.Handle(), WM_KEYDOWN, VK_DELETE, 0);  // typed in the main window
  win::Application::ProcessMessages();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "削除の確認");
}

TEST(FormWindowMenu, EntriesBringUpEveryWindowWithTheirCaption) {
  TForm1 f(TempFolder().File("none.Alb"));
  std::wstring caption = L"C:\\写真\\表.jpg";
  HWND a = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  HWND b = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"C:\\写真\\表.JPG", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  int first = f.AddWindowMenuItem(win::Narrow(caption));
  int second = f.AddWindowMenuItem(win::Narrow(caption));
  EXPECT_NE(first, second);
  EXPECT_EQ(GetMenuItemCount(f.WindowMenu()), 2);
  f.ExecuteCommand(second);  // as choosing the entry does
  EXPECT_TRUE(IsWindowVisible(a));
  EXPECT_TRUE(IsWindowVisible(b));
  EXPECT_FALSE(IsWindowVisible(other));  // the caption must match exactly
  f.RemoveWindowMenuItem(first);
  EXPECT_EQ(GetMenuItemCount(f.WindowMenu()), 1);
  EXPECT_EQ(f.AddWindowMenuItem("x"), first);  // a freed id is used again
  DestroyWindow(a);
  DestroyWindow(b);
  DestroyWindow(other);
}

TEST(FormLayout, PaletteScreensGetAnEightBitStripThatIsFreedWithTheWindow) {
  TempFolder dir;
  TForm1 f(dir.File("lib.Alb"));
  f.ColorDepth = 8;
  f.MakeShelfStrip();
  BITMAP bm{};
  ASSERT_TRUE(GetObjectW(f.ShelfStrip, sizeof(bm), &bm));
  EXPECT_EQ(bm.bmBitsPixel, 8);
  EXPECT_EQ(bm.bmWidth, 496);
  EXPECT_EQ(bm.bmHeight, 300);
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(f.ShelfStrip);  // FormDestroy freed it
}

TEST(FormLayout, TheWindowFreesEveryHandleItMade) {
  // (Wine counts no GDI objects per process, so the handles are checked one by one.)
  HGDIOBJ font, strip, tile;
  HMENU main, book, list;
  HWND window;
  {
    TempFolder dir;
    TForm1 f(dir.File("lib.Alb"));
    font = reinterpret_cast<HGDIOBJ>(SendMessageW(f.ListBox1.Handle(), WM_GETFONT, 0, 0));
    strip = f.ShelfStrip;
    tile = f.Image2;
    main = f.MainMenu();
    book = f.BookMenu();
    list = f.PopupMenu2();
    window = f.Handle();
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetObjectType(strip), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(IsMenu(main) && IsMenu(book) && IsMenu(list));
  }
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_EQ(GetObjectType(strip), 0u);
  EXPECT_EQ(GetObjectType(tile), 0u);
  EXPECT_FALSE(IsMenu(main));
  EXPECT_FALSE(IsMenu(book));
  EXPECT_FALSE(IsMenu(list));
  EXPECT_FALSE(IsWindow(window));
}

TEST(FormActions, DisabledCommandsDoNothingWhateverReachesThem) {
  TempFolder dir;
  win::ScriptedDialogs dialogs;
  TForm1 f(dir.File("lib.Alb"));
  TBookShape& book = f.CreateBook();
  f.BookShape1Click(book);  // opens the album: a folder may be added
  ASSERT_TRUE(f.ActionEnabled(ActionId::AddFolderAction));
  f.SetActionEnabled(ActionId::AddFolderAction, false);
  // As a shortcut, the menu and a tool button send it.
  SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(app::cmd::AddFolderAction, 1), 0);
  SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(app::cmd::AddFolderAction, 0), 0);
  SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(app::cmd::AddFolderAction, BN_CLICKED),
               reinterpret_cast<LPARAM>(f.ToolBar2.Handle()));
  EXPECT_TRUE(dialogs.browseTitles.empty());
  f.SetActionEnabled(ActionId::AddFolderAction, true);
  SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(app::cmd::AddFolderAction, BN_CLICKED),
               reinterpret_cast<LPARAM>(f.ToolBar2.Handle()));
  EXPECT_EQ(dialogs.browseTitles.size(), 1u);
}

TEST(FormLayout, ShelfScrollsSidewaysAndNewBooksKeepTheirShelfPlace) {
  TempFolder dir;
  TForm1 f(dir.File("lib.Alb"));
  for (int i = 0; i < 5; ++i) f.CreateBook();
  f.SetPaintAreaWidth(400);
  f.StageItem.ScrollTo(100);
  EXPECT_EQ(f.StageItem.Position(), 100);
  EXPECT_EQ(f.PaintBox1.Left(), -100);
  EXPECT_EQ(f.Books[0]->Left(), -100);
  EXPECT_EQ(f.Books[4]->Left(), 108);
  // A book made while the shelf is scrolled still stands at 52 x its place on the shelf.
  EXPECT_EQ(f.CreateBook().Left() - f.PaintBox1.Left(), 52 * 5);
  f.StageItem.ScrollTo(100000);  // no further than the paint area reaches
  RECT client{};
  GetClientRect(f.StageItem.Handle(), &client);
  EXPECT_EQ(f.PaintBox1.Left() + f.PaintBox1.Width(), client.right);
  f.StageItem.ScrollTo(-5);
  EXPECT_EQ(f.PaintBox1.Left(), 0);
  EXPECT_EQ(f.Books[5]->Left(), 260);
}

// The window's plug-in manager searches, among its places, the current directory while the
// window is built, registers the plug-in's formats, and unloads the plug-ins with the window.
TEST(FormPlugins, PluginsInTheCurrentDirectoryAreLoadedWithTheWindow) {
  TempFolder dir;
  const std::string ppm = dir.File("ppm" + imgtest::PluginExt());
  ASSERT_TRUE(CopyFileW(win::Wide(imgtest::Plugin("ppm")).c_str(), win::Wide(ppm).c_str(), FALSE));
  wchar_t old[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, old);
  SetCurrentDirectoryW(win::Wide(dir.Path()).c_str());
  {
    TempFolder libraryDir;
    TForm1 form(libraryDir.File("Quiran.Alb"));
    SetCurrentDirectoryW(old);
    ASSERT_EQ(CurrentSPIs(), form.SPIs1.get());
    ASSERT_EQ(form.SPIs1->Count(), 1);
    EXPECT_TRUE(sjis::SameTextAscii(form.SPIs1->Items(0)->FileName(), ppm));
    EXPECT_TRUE(IsPictureFile("写真.PPM"));
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(CurrentSPIs(), nullptr);
  EXPECT_FALSE(IsPictureFile("写真.PPM"));
}
