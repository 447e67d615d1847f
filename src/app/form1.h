// The main window: the cool bar with its two tool bars, the menus, the shelf of albums on
// the left, the folder tree and the thumbnail list on the right, the status bar. It holds the
// album library for the whole run (the model in Library, one book per album on the shelf),
// loads it when created and stores it when closed or when Windows ends the session; how the
// file is kept is TLibraryFile's business.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "album/album_library.h"
#include "album/book_shape.h"
#include "album/book_tips.h"
#include "album/folder_tree.h"
#include "album/library_file.h"
#include "album/property_form.h"
#include "app/commands.h"
#include "app/main_layout.h"
#include "app/window_settings.h"
#include "catalogue/list_box_width.h"
#include "catalogue/list_item_draw.h"
#include "catalogue/shown_folder.h"
#include "imaging/about_form2.h"
#include "imaging/plugin_settings.h"
#include "imaging/spi.h"
#include "imaging/susie_opt_form.h"
#include "win/handle.h"
#include "win/paint_box.h"
#include "win/panel.h"
#include "win/scroll_box.h"
#include "win/settings_file.h"
#include "win/splitter.h"
#include "win/tool_bar.h"
#include "win/window.h"

class TCommentForm;
class TGaugeForm;
class THintForm;
class TPrintForm;

class TForm1 : public win::Window {
 public:
  // Creates the window hidden and runs FormCreate. The album library is kept at
  // libraryPath; empty means beside the executable (its path with the extension ".Alb").
  explicit TForm1(std::string libraryPath = {});
  ~TForm1() override;

  const std::string& LibraryPath() const { return LibraryFile.Path(); }

  // The album library and its file. Books[i] shows Library.Albums()[i].
  TAlbumLibrary Library;
  TLibraryFile LibraryFile;

  // State read and changed by the window's commands.
  int ColorDepth = 0;  // screen bits per pixel, read once
  int ThumbSize = 3;   // thumbnail size index of the shown folder
  std::vector<std::unique_ptr<TBookShape>> Books;  // the albums' books in shelf order
  win::Bitmap ShelfStrip;                          // the tiled shelf picture
  SIZE ShelfStripSize{0, 0};
  TBookShape* PopupBook = nullptr;    // the book whose context menu was opened last
  HTREEITEM RootNode = nullptr;       // the open album's node
  TBookShape* CurrentBook = nullptr;  // the selected book
  HTREEITEM ShownNode = nullptr;      // the folder node whose files the list shows
  bool ShowRemarks = true;
  int HoverIndex = -1;
  int SortKind = 0;
  // The plug-in manager: loads the image plug-ins at start, unloads them with the window.
  std::unique_ptr<TSPIs> SPIs1;
  // The album properties dialog, made once at start after this window (null: none yet).
  TPropertyForm* PropertyForm = nullptr;
  // The plug-in dialogs, made once at start after this window (null: none yet), and the
  // settings file of the plug-in choice (beside the library, the program's name with ".ini").
  TAboutForm2* AboutForm2 = nullptr;
  TSusieOptForm* SusieOptForm = nullptr;
  TPluginSettings PluginSettings;
  // The settings file (the same file): the window's place between runs.
  TSettingsFile Settings;
  // The progress dialog of long runs, made once at start after this window (null: none yet).
  TGaugeForm* GaugeForm = nullptr;
  // The print dialog, made once at start after this window (null: none yet).
  TPrintForm* PrintForm = nullptr;
  // The file comment dialog, made once at start after this window (null: none yet).
  TCommentForm* CommentForm = nullptr;
  // The hover preview popup, made once at start after this window (null: none yet).
  THintForm* HintForm = nullptr;
  // The folder the list shows: list item i is Folder.Items[i].
  TShownFolder Folder;

  // Controls, by their designer names.
  win::Control CoolBar1;
  win::ToolBar ToolBar1, ToolBar2;
  win::Control StatusBar1;
  win::Panel Panel1, Panel2;
  win::ScrollBox StageItem;
  win::PaintBox PaintBox1;
  win::Bitmap Image2;  // the shelf tile picture (never shown itself)
  win::Splitter Splitter1, Splitter2;
  TFolderTree TreeView1;
  TListBoxWidth ListBox1;
  TBookTips BookTips;  // a cut caption shown whole

  // Menus: the main menu's "ウインドウ(&W)", the book's and the list's context menus.
  HMENU MainMenu() const { return GetMenu(hwnd_); }
  HMENU WindowMenu() const;
  HMENU BookMenu() const { return bookMenu_; }
  HMENU PopupMenu2() const { return popupMenu2_; }
  // The command id of a menu item by designer name ("N13"), 0 when there is none.
  static int CommandOf(std::string_view name);
  // Checks a menu item; a radio item takes the check from the others of its group.
  void CheckMenuItem(int command, bool checked = true);
  bool MenuItemChecked(int command) const;
  void EnableMenuItem(int command, bool enabled);
  bool MenuItemEnabled(int command) const;

  // Command enabling: every change goes through here and is applied to the menu items and
  // the tool buttons together.
  const app::ActionStates& ActionStates() const { return actions_; }
  bool ActionEnabled(app::ActionId id) const { return actions_[id]; }
  void SetActionEnabled(app::ActionId id, bool enabled);
  void SelectionChanged(app::SelectionEvent event, bool albumHasFolders = false);

  // Runs a command as a menu item, tool button or shortcut does (nothing when disabled).
  void ExecuteCommand(int command);
  // The shortcuts of the actions; they act only while this window has the keyboard.
  HACCEL Accelerators() const { return accel_; }
  bool TranslateKeys(MSG& msg) override;

  // The library: true when a library file was read.
  bool LoadAlbumLibrary();
  void SaveAlbumLibrary();
  // Appends a new album to the library and its book at the next shelf place.
  TBookShape& CreateBook();
  // The paint area's width (it carries the shelf picture under the books).
  void SetPaintAreaWidth(int width);

  // Shows the window the first time: where, as large and as maximised as the user left it,
  // when that place is on a screen now.
  void ShowFirst(int show);
  // Keeps the window's place and the splitters' positions in the settings file (once it was
  // shown; a file that cannot be written is left as it is).
  void SavePlace();

  // Handlers, named after the window's events.
  void FormCreate();
  // Stores the shown folder and the library. A store that fails is shown with the choice to
  // try again or to close without it; the window is never kept from closing.
  void FormClose();
  // Windows logs off or shuts down: a run over the folder stops, and StoreNow, asking nothing.
  void EndSession();
  // Saves what the user has now, right away and asking nothing: the shown folder's files
  // (only what changed) and the library; the folder stays shown. For moments when the
  // program may end at any time (the session ending, a plug-in that faulted inside Quiran).
  // Allowed while the folder is busy. Returns what could not be saved, empty when all was.
  std::string StoreNow() noexcept;
  // A plug-in faulted inside Quiran (the rest of the run uses the helpers): StoreNow, and at the
  // first such fault the user is told, once the call is over, what was saved and to restart.
  void PluginFaultedInside(const TPluginFault& fault);
  void FormDestroy();
  void StageItemResize();
  void PaintBox1Paint(win::Canvas& canvas);
  void BookShape1Click(win::GraphicControl& sender);
  void BookShape1MouseUp(win::GraphicControl& sender, int button, int x, int y);
  void ExitActionExecute();
  // Album and folder commands.
  void NewAlbumExecute();
  void N5Click();
  void DelAlbumExecute();
  void AddFolderActionExecute();
  void DelFolderActionExecute();
  void PrintActionExecute();
  // Plug-in commands: the information dialog, and the choice of the formats in use.
  void SusiePulagin1Click();
  void SusiePlugin1Click();
  void ClearFolderTree();
  // The system folder browser titled `title`; nothing when cancelled.
  std::optional<std::string> BrowseForFolder(const std::string& title);
  // Puts every book at its place on the shelf again: place i (from 0) gets index i + 1.
  void LayoutBooks();
  // Folder selection: the folder node selected in the tree is shown in the list, which takes
  // the keyboard unless the node was chosen with it. A folder that is no longer there is said
  // to be missing, and cannot be printed.
  void TreeView1Click(bool byKeyboard = false);
  // Shows a folder's pictures in the list; returns their number.
  int LoadFolder(const std::string& path);
  // Writes the shown folder's catalogue and cache and empties the list. When they cannot be
  // written the user is asked to try again, to leave without saving or (mayStay) to stay;
  // staying raises EAbort, as does a folder busy with a run.
  void CloseShownFolder(bool mayStay = true);
  // The thumbnail's width and height at a size index 1..5 (any other index: size 3).
  static app::Extent GetThumbSize(int index) { return app::ThumbSizeOf(index); }
  void UpdateItemSize();
  void CheckSizeMenuItem(int index);
  // The list's context menu: enabling before it opens, its thumbnail and size commands.
  void PopupMenu2Popup();
  void N6Click();
  void N8Click();
  // "コメント編集…": the selected item's date and comment.
  void N21Click();
  // The size items and the sort items (the clicked item's command): the item's tag is the
  // thumbnail size, or the sort kind.
  void N15Click(int command);
  void N26Click(int command);
  // The remarks column shown or hidden; the hover popup allowed or not.
  void N20Click();
  void N27Click();
  void ListBox1DrawItem(const DRAWITEMSTRUCT& d);
  // The mouse over the list, at a point of its client area: the status bar and the hover
  // popup tell about the picture under it.
  void ListBox1MouseMove(int x, int y);
  // The picture under the mouse is no longer known (the mouse left the list, the list
  // scrolled, changed or was sorted): the status bar's panel and the popup forget it.
  void HoverGone();
  // Opens the selected item in a new viewer (also the list menu's "表示…").
  void ListBox1DblClick();
  void MakeShelfStrip();

  // The window menu: one entry per open viewer, found by its command id.
  int AddWindowMenuItem(const std::string& caption, win::Bitmap glyph = {});
  void WindowMenuItemClick(int command);
  void RemoveWindowMenuItem(int command);

  // The text of a status bar panel.
  std::string StatusText(int panel) const;
  void SetStatusText(int panel, const std::string& text);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void CreateControls();
  void CreateMenus();
  void UpdateActions();
  void LayoutControls();
  void LayoutPanel1();
  void LayoutPanel2();
  void ShowLongHint(int command);
  bool OnNotify(NMHDR* hdr, LRESULT& result);
  TBookShape& AddBook(std::shared_ptr<TAlbum> album);
  void StoreOrGiveUp(const std::function<void()>& store);

  bool created_ = false;
  bool faultedInside_ = false;
  std::string faultedInsideText_;
  TListItemDrawer itemDrawer_;
  app::ActionStates actions_;
  win::Font font_;
  win::ImageList actionImages_, treeImages_;
  win::Menu bookMenu_, popupMenu2_;
  win::Handle<HACCEL, DestroyAcceleratorTable> accel_;
  std::map<int, win::Bitmap> windowEntries_;  // window menu entries and their glyphs
  std::wstring tipText_;                      // a tool tip's text lives until the next one
  HWND focus_ = nullptr;                      // the control with the keyboard while inactive
  int panel1Width_;
  int treeHeight_;
  std::optional<app::WindowPlace> place_;  // as the settings kept it
  bool shown_ = false;
};
