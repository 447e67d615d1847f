#include "app/form1.h"

#include <windowsx.h>

#include <algorithm>

#include "app/main_layout.h"
#include "app/open_folder_item.h"
#include "app/window_place.h"
#include "catalogue/comment_form.h"
#include "catalogue/gauge_form.h"
#include "catalogue/hint_form.h"
#include "catalogue/item_text.h"
#include "imaging/exif_orientation.h"
#include "imaging/spi_host.h"
#include "print/print_action.h"
#include "viewer/view_form.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/resource_ids.h"
#include "win/sjis.h"
#include "win/text.h"

using app::ActionId;

namespace {

using enum app::ControlId;

constexpr SIZE kImageSize{24, 24};
constexpr SIZE kButtonSize{32, 32};
constexpr COLORREF kMaskColor = RGB(255, 0, 255);
// Posted when the user selected another tree node: the folder is shown once the tree has
// finished its own handling of the click or key.
constexpr UINT kTreeSelected = WM_APP + 1;
// Posted when a plug-in faulted inside Quiran: the user is told once the plug-in call is over.
constexpr UINT kFaultedInside = WM_APP + 2;

const win::ToolButton kToolBar1Buttons[] = {
    {app::cmd::NewAlbum, 0}, {app::cmd::DelAlbum, 1}, {0, 0, 8}, {app::cmd::PrintAction, 7}, {0, 0, 16},
    {app::cmd::ExitAction, 2}};
const win::ToolButton kToolBar2Buttons[] = {
    {app::cmd::AddFolderAction, 3}, {app::cmd::DelFolderAction, 4}, {0, 0, 8}, {app::cmd::AddPictAction, 5},
    {app::cmd::DelPictAction, 6}};

// What each command runs; a command without a row does nothing yet.
struct CommandHandler {
  int Command;
  void (TForm1::*Handler)();
};
const CommandHandler kCommandHandlers[] = {
    {app::cmd::ExitAction, &TForm1::ExitActionExecute},
    {app::cmd::NewAlbum, &TForm1::NewAlbumExecute},
    {app::cmd::DelAlbum, &TForm1::DelAlbumExecute},
    {app::cmd::AddFolderAction, &TForm1::AddFolderActionExecute},
    {app::cmd::DelFolderAction, &TForm1::DelFolderActionExecute},
    {app::cmd::PrintAction, &TForm1::PrintActionExecute},
    {app::cmd::N5, &TForm1::N5Click},
    {app::cmd::SusiePulagin1, &TForm1::SusiePulagin1Click},
    {app::cmd::SusiePlugin1, &TForm1::SusiePlugin1Click},
    {app::cmd::N6, &TForm1::N6Click},
    {app::cmd::N8, &TForm1::N8Click},
    {app::cmd::N21, &TForm1::N21Click},
    {app::cmd::N20, &TForm1::N20Click},
    {app::cmd::N27, &TForm1::N27Click},
    {app::cmd::View1, &TForm1::ListBox1DblClick},
};
// Radio items: one handler for each group, told which item was clicked.
struct GroupHandler {
  int First, Last;
  void (TForm1::*Handler)(int command);
};
const GroupHandler kGroupHandlers[] = {
    {app::cmd::N11, app::cmd::N15, &TForm1::N15Click},
    {app::cmd::SortByName1, app::cmd::N26, &TForm1::N26Click},
};

win::ImageList LoadImageStrip(int resource, int count) {
  win::Bitmap strip(static_cast<HBITMAP>(
      LoadImageW(win::Application::Instance(), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  win::ImageList list(ImageList_Create(kImageSize.cx, kImageSize.cy, ILC_COLOR24 | ILC_MASK, count, 0));
  if (strip && list) ImageList_AddMasked(list, strip, kMaskColor);
  return list;
}

std::string MenuCaption(const app::MenuDef& m) {
  if (m.Action < 0) return m.Caption ? m.Caption : "";
  const app::ActionDef& a = app::Actions()[static_cast<std::size_t>(m.Action)];
  std::string caption = a.Caption;
  if (*a.ShortcutText) caption += std::string("\t") + a.ShortcutText;
  return caption;
}

void AppendMenuItems(HMENU menu, const std::vector<app::MenuDef>& items, const app::ActionStates& states) {
  for (const app::MenuDef& m : items) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    std::wstring text;
    win::Menu sub;  // freed here until the item holding it is in the menu
    if (m.Flags & app::kSeparator) {
      mii.fMask = MIIM_FTYPE;
      mii.fType = MFT_SEPARATOR;
    } else {
      text = win::Wide(MenuCaption(m));
      bool enabled = m.Action >= 0 ? states.Enabled[static_cast<std::size_t>(m.Action)] : !(m.Flags & app::kDisabled);
      mii.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_DATA;
      mii.fType = (m.Flags & app::kRadio) ? MFT_RADIOCHECK : MFT_STRING;
      mii.fState = (enabled ? MFS_ENABLED : MFS_DISABLED) | ((m.Flags & app::kChecked) ? MFS_CHECKED : 0u) |
                   ((m.Flags & app::kDefault) ? MFS_DEFAULT : 0u);
      mii.wID = static_cast<UINT>(m.Command);
      mii.dwItemData = static_cast<ULONG_PTR>(m.Tag);
      mii.dwTypeData = text.data();
      if (m.Command == 0) {
        sub.Reset(CreatePopupMenu());
        if (!sub) throw Exception("メニューを作成できません");
        AppendMenuItems(sub, m.Items, states);
        mii.fMask |= MIIM_SUBMENU;
        mii.hSubMenu = sub;
      }
    }
    if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mii))
      throw Exception("メニューを作成できません");
    sub.Detach();
  }
}

// Which of the three menus holds a command, with its definition.
struct MenuPlace {
  const std::vector<app::MenuDef>* Tree = nullptr;
  const app::MenuDef* Def = nullptr;
  int Root = 0;  // 0 main menu, 1 book menu, 2 list menu
};
MenuPlace FindCommand(int command) {
  const std::vector<app::MenuDef>* trees[] = {&app::MainMenuDef(), &app::BookMenuDef(), &app::ListMenuDef()};
  for (int i = 0; i < 3; ++i)
    if (const app::MenuDef* d = app::FindMenuDefByCommand(*trees[i], command)) return {trees[i], d, i};
  return {};
}

// The top-level windows whose caption equals a text exactly.
struct WindowSearch {
  std::wstring caption;
  std::vector<HWND> found;
  std::exception_ptr failure;  // raised again once the enumeration is over
};
BOOL CALLBACK CollectWindowsWithCaption(HWND h, LPARAM lp) noexcept {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  try {
    wchar_t title[1024] = {};
    GetWindowTextW(h, title, 1024);
    if (s->caption == title) s->found.push_back(h);
    return TRUE;
  } catch (...) {
    s->failure = std::current_exception();
    return FALSE;
  }
}

void CollectGroup(const std::vector<app::MenuDef>& items, int group, std::vector<int>& out) {
  for (const app::MenuDef& m : items) {
    if (m.RadioGroup == group && m.Command) out.push_back(m.Command);
    CollectGroup(m.Items, group, out);
  }
}

}  // namespace

TForm1::TForm1(std::string libraryPath)
    : LibraryFile(libraryPath.empty() ? AlbumFilePath(win::ExePath()) : std::move(libraryPath)),
      Settings(sjis::ChangeFileExt(LibraryFile.Path(), ".ini")),
      actions_(app::StartStates()),
      panel1Width_(app::kPanel1Width),
      treeHeight_(app::kTreeHeight) {
  const std::optional<TIniText> ini = Settings.Read();
  // Photographs show as they were taken (their Exif orientation) unless the settings say
  // ExifOrientation=0 under [Pictures].
  SetExifOrientationEnabled(!ini || ini->Value("Pictures", "ExifOrientation") != "0");
  // The splitters stand where the user left them from the first layout on.
  if (ini) place_ = app::ReadWindowPlace(*ini);
  if (place_) panel1Width_ = place_->Panel1Width, treeHeight_ = place_->TreeHeight;
  font_ = win::CreateFontFrom(FontDesc{});  // "ＭＳ Ｐゴシック", 12 pixels, Shift-JIS
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, app::kClientWidth, app::kClientHeight};
  AdjustWindowRectEx(&frame, style, TRUE, 0);
  CreateArgs a;
  a.text = "Quiran？";
  a.style = style;
  a.width = frame.right - frame.left;
  a.height = frame.bottom - frame.top;
  a.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  CreateWindowOf(a);
  // The title bar takes the icon's own 16 x 16 picture rather than a reduced 32 x 32 one.
  if (HANDLE small = LoadImageW(win::Application::Instance(), MAKEINTRESOURCEW(IDI_QUIRAN), IMAGE_ICON,
                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED))
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

  CreateMenus();
  CreateControls();
  UpdateActions();
  // The menu bar's height is known only once it is attached; correct the frame for it.
  RECT client = ClientRect();
  int dw = app::kClientWidth - client.right, dh = app::kClientHeight - client.bottom;
  if (dw || dh) {
    RECT w{};
    GetWindowRect(hwnd_, &w);
    SetWindowPos(hwnd_, nullptr, 0, 0, w.right - w.left + dw, w.bottom - w.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayoutControls();
  win::Application::SetHintHandler([this](const std::string& hint) { SetStatusText(0, hint); });

  // The plug-in manager finds and loads the plug-ins while the window is built, before the
  // window's own creation handler.
  // The settings file says first whether they run in their helpers (the default) or inside
  // Quiran.
  PluginSettings = TPluginSettings(Settings.Path());
  TFormatChoice choice = PluginSettings.Load();
  SetSPIPlacement(PluginSettings.InProcess() ? TSPIPlacement::InProcess : TSPIPlacement::Helper);
  SPIs1 = std::make_unique<TSPIs>();
  SPIs1->SearchOptions = SearchSet({spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir});
  // The status bar names the plug-in and the file of each fault, and sums up a folder's. A
  // fault inside Quiran may have damaged its memory: what the user has is saved at once.
  SPIs1->OnPluginFault = [this](TSPIs& spis, const TPluginFault& fault) {
    SetStatusText(1, spis.Faults().Summary());
    if (fault.InProcess && created_) PluginFaultedInside(fault);
  };
  SPIs1->Loaded();
  SPIs1->SetFormatChoice(std::move(choice));
  // Said once: a helper that could not be started.
  if (std::string notice = MissingHelperNotice(); !notice.empty())
    SetStatusText(1, SPIs1->Faults().Empty() ? notice : notice + "。" + SPIs1->Faults().Summary());

  FormCreate();
  created_ = true;
  // The scroll box's size is taken only now, after the library placed its books.
  win::Application::Guard([this] { StageItemResize(); });
}

TForm1::~TForm1() {
  win::Application::SetHintHandler(nullptr);
  // Destroy the window while the members its handlers use still exist, then the books while
  // the scroll box that hosts them does.
  if (hwnd_) DestroyWindow(hwnd_);
  Books.clear();
}

void TForm1::CreateMenus() {
  win::Menu main(CreateMenu());
  if (!main) throw Exception("メニューを作成できません");
  AppendMenuItems(main, app::MainMenuDef(), actions_);
  if (!SetMenu(hwnd_, main)) throw Exception("メニューを作成できません");
  main.Detach();  // the window frees its menu
  bookMenu_.Reset(CreatePopupMenu());
  popupMenu2_.Reset(CreatePopupMenu());
  if (!bookMenu_ || !popupMenu2_) throw Exception("メニューを作成できません");
  AppendMenuItems(bookMenu_, app::BookMenuDef(), actions_);
  AppendMenuItems(popupMenu2_, app::ListMenuDef(), actions_);

  std::vector<ACCEL> keys;
  for (const app::ActionDef& act : app::Actions())
    if (act.ShortcutKey)
      keys.push_back({FCONTROL | FVIRTKEY, static_cast<WORD>(act.ShortcutKey), static_cast<WORD>(act.Command)});
  accel_.Reset(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
}

void TForm1::CreateControls() {
  actionImages_ = LoadImageStrip(IDB_ACTIONS, 8);
  treeImages_ = LoadImageStrip(IDB_TREEIMAGES, 5);
  Image2.Reset(static_cast<HBITMAP>(LoadImageW(win::Application::Instance(), MAKEINTRESOURCEW(IDB_SHELFTILE),
                                               IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  auto setFont = [this](HWND h) { SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE); };

  // The cool bar: two bands on one row, each with a flat tool bar.
  CoolBar1.CreateControl(REBARCLASSNAMEW, hwnd_, kCoolBar1,
                         WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT | RBS_BANDBORDERS |
                             CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                         0, 0, 0, app::kClientWidth, kButtonSize.cy);
  struct Band {
    win::ToolBar& Bar;
    int Id;
    std::span<const win::ToolButton> Buttons;
  } bands[] = {{ToolBar1, kToolBar1, kToolBar1Buttons}, {ToolBar2, kToolBar2, kToolBar2Buttons}};
  for (Band& b : bands) {
    b.Bar.Create(CoolBar1.Handle(), b.Id, actionImages_, kImageSize, kButtonSize, b.Buttons);
    b.Bar.SetNotifyParent(hwnd_);
    b.Bar.OnGetTip = [](int command) {
      const app::ActionDef* act = app::ActionByCommand(command);
      return act ? std::string(app::HintShort(act->Hint)) : std::string();
    };
    b.Bar.OnHotItem = [this](int command) { ShowLongHint(command); };
    SIZE ideal = b.Bar.IdealSize();
    REBARBANDINFOW rb{};
    rb.cbSize = sizeof(rb);
    rb.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
    rb.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    rb.hwndChild = b.Bar.Handle();
    rb.cxMinChild = static_cast<UINT>(ideal.cx);
    rb.cyMinChild = static_cast<UINT>(kButtonSize.cy);
    rb.cx = static_cast<UINT>(ideal.cx + 16);
    rb.cxIdeal = static_cast<UINT>(ideal.cx);
    SendMessageW(CoolBar1.Handle(), RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&rb));
  }
  // The first band keeps the width of its buttons; the second takes the rest of the row.
  SendMessageW(CoolBar1.Handle(), RB_MINIMIZEBAND, 0, 0);

  StatusBar1.CreateControl(STATUSCLASSNAMEW, hwnd_, kStatusBar1, WS_VISIBLE | SBARS_SIZEGRIP);
  setFont(StatusBar1.Handle());
  // The last panel takes what is left of the bar's width.
  int edges[3] = {app::kStatusPanels[0], app::kStatusPanels[0] + app::kStatusPanels[1], -1};
  SendMessageW(StatusBar1.Handle(), SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));

  // Left: the shelf.
  Panel1.Create(hwnd_, kPanel1, app::kPanelColor, 1);
  Panel1.OnResize = [this] { LayoutPanel1(); };
  StageItem.Create(Panel1.Handle(), kStageItem);
  StageItem.OnResize = [this] {
    if (created_) StageItemResize();
  };
  PaintBox1.SetParent(&StageItem);
  PaintBox1.SetBounds(0, 0, app::kPaintAreaWidth, app::kPaintAreaHeight);
  PaintBox1.OnPaint = [this](win::Canvas& c) { PaintBox1Paint(c); };
  PaintBox1.OnClick = [this](win::GraphicControl& s) { BookShape1Click(s); };
  PaintBox1.OnMouseMove = [this](win::GraphicControl&, int, int) { BookTips.Hover(nullptr); };
  BookTips.Create(StageItem.Handle());

  Splitter1.Create(hwnd_, true, app::kPanelColor);
  Splitter1.GetSize = [this] { return Panel1.Bounds().right - Panel1.Bounds().left; };
  Splitter1.SetSize = [this](int w) {
    panel1Width_ = app::ClampSplit(w, ClientRect().right - app::kSplitterSize, app::kPaneMin);
    LayoutControls();
  };

  // Right: the folder tree over the thumbnail list.
  Panel2.Create(hwnd_, kPanel2, app::kPanelColor, 2);
  Panel2.OnResize = [this] { LayoutPanel2(); };
  TreeView1.Create(Panel2.Handle(), kTreeView1, treeImages_);
  setFont(TreeView1.Handle());
  Splitter2.Create(Panel2.Handle(), false, app::kPanelColor);
  Splitter2.GetSize = [this] { return TreeView1.Bounds().bottom - TreeView1.Bounds().top; };
  Splitter2.SetSize = [this](int h) {
    RECT in = Panel2.InnerRect();
    treeHeight_ = app::ClampSplit(h, in.bottom - in.top - app::kSplitterSize, app::kSplitter2Min);
    LayoutPanel2();
  };
  ListBox1.Create(Panel2.Handle(), kListBox1, 0, 0, 0, 0);
  setFont(ListBox1.Handle());
  ListBox1.OnDrawItem = [this](const DRAWITEMSTRUCT& d) { ListBox1DrawItem(d); };
  ListBox1.OnMouseMove = [this](int x, int y) { ListBox1MouseMove(x, y); };
  ListBox1.OnDblClick = [this] { ListBox1DblClick(); };
  // The popup and the status bar tell about the picture under the mouse, and no other.
  ListBox1.OnMouseLeave = [this] { HoverGone(); };
  ListBox1.OnScroll = [this] { HoverGone(); };
}

void TForm1::LayoutControls() {
  if (!hwnd_ || !CoolBar1.Handle() || !Panel2.Handle()) return;
  RECT rc = ClientRect();
  SendMessageW(StatusBar1.Handle(), WM_SIZE, 0, 0);  // the status bar keeps itself at the bottom
  RECT sr = StatusBar1.Bounds();
  // The rebar lays its bands out for its width; only then is its height known.
  RECT cool = CoolBar1.Bounds();
  if (cool.right - cool.left != rc.right) CoolBar1.SetBounds(0, 0, rc.right, cool.bottom - cool.top);
  int coolHeight = static_cast<int>(SendMessageW(CoolBar1.Handle(), RB_GETBARHEIGHT, 0, 0));
  app::MainPanes p = app::LayoutMain(rc.right, rc.bottom, coolHeight, sr.bottom - sr.top, panel1Width_);
  // panel1Width_ stays what the user chose: a window made narrow for a while gives it back.
  auto place = [](win::Window& w, const app::Box& b) { w.SetBounds(b.X, b.Y, b.W, b.H); };
  place(CoolBar1, p.CoolBar);
  place(Panel1, p.Panel1);
  place(Splitter1, p.Splitter1);
  place(Panel2, p.Panel2);
}

void TForm1::LayoutPanel1() {
  RECT in = Panel1.InnerRect();
  StageItem.SetBounds(in.left, in.top, in.right - in.left, app::kStageHeight);
}

void TForm1::LayoutPanel2() {
  if (!ListBox1.Handle()) return;
  RECT in = Panel2.InnerRect();
  app::Panel2Panes q = app::LayoutPanel2(in.right - in.left, in.bottom - in.top, treeHeight_);
  auto place = [&](win::Window& w, const app::Box& b) { w.SetBounds(in.left + b.X, in.top + b.Y, b.W, b.H); };
  place(TreeView1, q.Tree);
  place(Splitter2, q.Splitter2);
  place(ListBox1, q.List);
}

HMENU TForm1::WindowMenu() const {
  const auto& top = app::MainMenuDef();
  for (std::size_t i = 0; i < top.size(); ++i)
    if (std::string_view(top[i].Name) == "Window1") return GetSubMenu(MainMenu(), static_cast<int>(i));
  return nullptr;
}

int TForm1::CommandOf(std::string_view name) {
  for (const auto* tree : {&app::MainMenuDef(), &app::BookMenuDef(), &app::ListMenuDef()})
    if (const app::MenuDef* d = app::FindMenuDef(*tree, name)) return d->Command;
  return 0;
}

namespace {
HMENU RootMenu(const TForm1& form, int root) {
  return root == 0 ? form.MainMenu() : root == 1 ? form.BookMenu() : form.PopupMenu2();
}
UINT MenuState(HMENU menu, int command) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STATE;
  if (!GetMenuItemInfoW(menu, static_cast<UINT>(command), FALSE, &mii)) return 0;
  return mii.fState;
}
}  // namespace

void TForm1::CheckMenuItem(int command, bool checked) {
  MenuPlace place = FindCommand(command);
  if (!place.Def) return;
  HMENU menu = RootMenu(*this, place.Root);
  if (checked && place.Def->RadioGroup) {
    std::vector<int> group;
    CollectGroup(*place.Tree, place.Def->RadioGroup, group);
    for (int other : group) ::CheckMenuItem(menu, static_cast<UINT>(other), MF_BYCOMMAND | MF_UNCHECKED);
  }
  ::CheckMenuItem(menu, static_cast<UINT>(command), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TForm1::MenuItemChecked(int command) const {
  MenuPlace place = FindCommand(command);
  return place.Def && (MenuState(RootMenu(*this, place.Root), command) & MFS_CHECKED);
}

void TForm1::EnableMenuItem(int command, bool enabled) {
  MenuPlace place = FindCommand(command);
  if (place.Def)
    ::EnableMenuItem(RootMenu(*this, place.Root), static_cast<UINT>(command),
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool TForm1::MenuItemEnabled(int command) const {
  MenuPlace place = FindCommand(command);
  return place.Def && !(MenuState(RootMenu(*this, place.Root), command) & MFS_DISABLED);
}

void TForm1::SetActionEnabled(ActionId id, bool enabled) {
  actions_[id] = enabled;
  UpdateActions();
}

void TForm1::SelectionChanged(app::SelectionEvent event, bool albumHasFolders) {
  actions_ = app::AfterEvent(actions_, event, albumHasFolders);
  UpdateActions();
}

void TForm1::UpdateActions() {
  for (const app::ActionDef& a : app::Actions()) {
    bool on = actions_[a.Id];
    EnableMenuItem(a.Command, on);
    ToolBar1.SetButtonEnabled(a.Command, on);
    ToolBar2.SetButtonEnabled(a.Command, on);
  }
}

void TForm1::ExecuteCommand(int command) {
  if (command >= app::cmd::kFirstWindowEntry && command <= app::cmd::kLastWindowEntry) {
    WindowMenuItemClick(command);
    return;
  }
  // A shortcut reaches here even while its action is disabled.
  if (const app::ActionDef* a = app::ActionByCommand(command); a && !actions_[a->Id]) return;
  for (const CommandHandler& h : kCommandHandlers)
    if (h.Command == command) {
      (this->*h.Handler)();
      return;
    }
  for (const GroupHandler& h : kGroupHandlers)
    if (command >= h.First && command <= h.Last) {
      (this->*h.Handler)(command);
      return;
    }
}

bool TForm1::TranslateKeys(MSG& msg) {
  // Tab (Shift+Tab) moves between the folder tree and the thumbnail list.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
      (msg.hwnd == TreeView1.Handle() || msg.hwnd == ListBox1.Handle())) {
    SetFocus(msg.hwnd == TreeView1.Handle() ? ListBox1.Handle() : TreeView1.Handle());
    return true;
  }
  return accel_ && TranslateAcceleratorW(hwnd_, accel_, &msg);
}

void TForm1::FormCreate() {
  // A failure is shown and the window opens with whatever was done; the library is read even
  // when the shelf picture failed, and its file is never written over unless it was read whole.
  win::Application::Guard([this] {
    HDC screen = GetDC(nullptr);
    ColorDepth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    ShelfStrip.Reset();
    ShelfStripSize = {0, 0};
    ThumbSize = 3;
    ShowRemarks = true;
    SortKind = 0;
    HoverIndex = -1;
    UpdateItemSize();
    MakeShelfStrip();
  });
  win::Application::Guard([this] { LoadAlbumLibrary(); });
}

void TForm1::UpdateItemSize() {
  app::Extent size = app::ListItemSize(ThumbSize, ShowRemarks);
  ListBox1.SetItemWidth(size.W);
  ListBox1.SetItemHeight(size.H);
}

void TForm1::MakeShelfStrip() {
  BITMAP tile{};
  if (!Image2 || !GetObjectW(Image2, sizeof(tile), &tile)) throw Exception("棚の絵を読み込めません");
  app::Extent size = app::ShelfStripSize(tile.bmWidth, tile.bmHeight, PaintBox1.Height());
  win::Bitmap strip;
  HDC screen = GetDC(nullptr);
  if (ColorDepth <= 8) {
    // On a palette screen the strip is an 8-bit picture over the halftone palette.
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[256];
    } bi{};
    bi.header.biSize = sizeof(BITMAPINFOHEADER);
    bi.header.biWidth = size.W;
    bi.header.biHeight = -size.H;
    bi.header.biPlanes = 1;
    bi.header.biBitCount = 8;
    bi.header.biCompression = BI_RGB;
    win::Palette halftone(CreateHalftonePalette(screen));
    PALETTEENTRY entries[256] = {};
    UINT n = halftone ? GetPaletteEntries(halftone, 0, 256, entries) : 0;
    for (UINT i = 0; i < n; ++i) bi.colors[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    bi.header.biClrUsed = n;
    void* bits = nullptr;
    strip.Reset(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0));
  } else {
    strip.Reset(CreateCompatibleBitmap(screen, size.W, size.H));
  }
  ReleaseDC(nullptr, screen);
  if (!strip) throw Exception("ビットマップを作成できません");

  win::MemoryDc dst, src;
  win::SelectGuard d(dst, strip), s(src, Image2);
  for (int x = 0; x < size.W; x += tile.bmWidth)
    for (int y = 0; y < size.H; y += tile.bmHeight) BitBlt(dst, x, y, tile.bmWidth, tile.bmHeight, src, 0, 0, SRCCOPY);
  GdiFlush();
  ShelfStrip = std::move(strip);
  ShelfStripSize = {size.W, size.H};
}

void TForm1::PaintBox1Paint(win::Canvas& canvas) {
  if (!ShelfStrip || ShelfStripSize.cx <= 0) {
    canvas.FillRect({0, 0, PaintBox1.Width(), PaintBox1.Height()}, app::kPanelColor);
    return;
  }
  win::MemoryDc src;
  win::SelectGuard s(src, ShelfStrip);
  for (int x = 0; x < PaintBox1.Width(); x += ShelfStripSize.cx)
    BitBlt(canvas.Dc(), x, 0, ShelfStripSize.cx, ShelfStripSize.cy, src, 0, 0, SRCCOPY);
}

TBookShape& TForm1::CreateBook() { return AddBook(Library.Add()); }

TBookShape& TForm1::AddBook(std::shared_ptr<TAlbum> album) {
  Books.push_back(std::make_unique<TBookShape>(std::move(album)));
  TBookShape& book = *Books.back();
  int n = static_cast<int>(Books.size());
  book.SetParent(&StageItem);
  book.SetTag(n);
  book.SetBounds(app::BookLeft(n, PaintBox1.Left()), 0, app::kBookWidth, app::kBookHeight);
  book.OnClick = [this](win::GraphicControl& s) { BookShape1Click(s); };
  book.OnMouseUp = [this](win::GraphicControl& s, int button, int x, int y) { BookShape1MouseUp(s, button, x, y); };
  book.OnMouseMove = [this, &book](win::GraphicControl&, int, int) { BookTips.Hover(&book); };
  StageItem.UpdateRange();
  return book;
}

void TForm1::SetPaintAreaWidth(int width) {
  PaintBox1.SetWidth(width);
  StageItem.UpdateRange();
}

void TForm1::StageItemResize() {
  RECT r = StageItem.Bounds();
  int width = app::PaintWidthAfterResize(PaintBox1.Width(), r.right - r.left);
  if (width != PaintBox1.Width()) SetPaintAreaWidth(width);
}

namespace {
constexpr char kDeleteTitle[] = "削除の確認";
constexpr UINT kDeleteFlags = MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2;
constexpr char kDeleteNote[] = "\r\n（実際のフォルダーは削除されません。）\r\nよろしいですか？";

}  // namespace

void TForm1::BookShape1Click(win::GraphicControl& sender) {
  CloseShownFolder();  // first: when the folder cannot be left, nothing else changes
  for (auto& b : Books) b->SetTop(0);
  SetActionEnabled(ActionId::DelAlbum, false);
  CurrentBook = dynamic_cast<TBookShape*>(&sender);
  ClearFolderTree();
  if (!CurrentBook) {
    SelectionChanged(app::SelectionEvent::EmptyShelfClicked);
    return;
  }
  CurrentBook->SetTop(20);
  RootNode = TreeView1.ShowAlbum(CurrentBook->Album());
  SelectionChanged(app::SelectionEvent::BookClicked);
  TreeView1.Expand(RootNode);
}

void TForm1::ClearFolderTree() {
  TreeView1.Clear();
  RootNode = nullptr;
  ShownNode = nullptr;
  SelectionChanged(app::SelectionEvent::FolderTreeCleared);
}

void TForm1::LayoutBooks() {
  for (std::size_t i = 0; i < Books.size(); ++i) {
    int n = static_cast<int>(i) + 1;
    Books[i]->SetTag(n);
    Books[i]->SetLeft(app::BookLeft(n, PaintBox1.Left()));
  }
  StageItem.UpdateRange();
}

std::optional<std::string> TForm1::BrowseForFolder(const std::string& title) {
  return win::CurrentDialogs().BrowseFolder(hwnd_, title);
}

void TForm1::NewAlbumExecute() {
  if (!PropertyForm || !PropertyForm->Execute(hwnd_)) return;
  TBookShape& book = CreateBook();
  book.SetColor(PropertyForm->CoverColor());
  FontDesc font = PropertyForm->AlbumFont();
  font.SetPoints(14);
  font.Bold = true;
  book.SetFont(font);
  book.SetCaption(PropertyForm->AlbumCaption());
  book.SetHeight(app::kBookHeight);
  int rightOnShelf = book.Left() - PaintBox1.Left() + book.Width();
  int width = app::PaintWidthAfterNewBook(PaintBox1.Width(), rightOnShelf);
  if (width != PaintBox1.Width()) SetPaintAreaWidth(width);
}

void TForm1::N5Click() {
  TBookShape* book = PopupBook;
  if (!book || !PropertyForm) return;
  PropertyForm->SetCoverColor(book->Color());
  PropertyForm->SetAlbumFont(book->Font());
  PropertyForm->SetAlbumCaption(book->Caption());
  if (!PropertyForm->Execute(hwnd_)) return;
  book->SetColor(PropertyForm->CoverColor());
  FontDesc font = PropertyForm->AlbumFont();
  font.SetPoints(14);
  book->SetFont(font);
  book->SetCaption(PropertyForm->AlbumCaption());
  BookTips.Hover(nullptr);  // the tip is asked again for the new caption
}

void TForm1::DelAlbumExecute() {
  if (!CurrentBook) return;
  std::string text = "アルバム「" + CurrentBook->Caption() + "」を削除します。" + kDeleteNote;
  if (win::CurrentDialogs().MessageDlg(hwnd_, text, kDeleteTitle, kDeleteFlags) != IDYES) return;
  CloseShownFolder();
  ClearFolderTree();
  TBookShape* gone = CurrentBook;
  CurrentBook = nullptr;
  if (PopupBook == gone) PopupBook = nullptr;  // the context menu's book must not outlive it
  Library.Remove(&gone->Album());
  BookTips.Hover(nullptr);  // the tip must not outlive its book either
  std::erase_if(Books, [gone](const std::unique_ptr<TBookShape>& b) { return b.get() == gone; });
  LayoutBooks();
  SelectionChanged(app::SelectionEvent::AlbumDeleted);
}

void TForm1::AddFolderActionExecute() {
  if (!CurrentBook || !RootNode) return;
  std::optional<std::string> path = BrowseForFolder("フォルダー追加");
  if (!path) return;
  TAlbum& album = CurrentBook->Album();
  TFolderRecord& record = TAlbumLibrary::AddFolder(album, *path);
  try {
    TreeView1.AddFolder(RootNode, *path, record);
  } catch (...) {
    album.Folders.pop_back();
    throw;
  }
  TreeView1.Expand(RootNode);
}

void TForm1::DelFolderActionExecute() {
  HTREEITEM node = TreeView1.Selected();
  if (!node || node == RootNode) return;
  const std::string path = TreeView1.Text(node);
  std::string text = "フォルダー\"" + path + "\"を削除します。" + kDeleteNote;
  if (win::CurrentDialogs().MessageDlg(hwnd_, text, kDeleteTitle, kDeleteFlags) != IDYES) return;
  CloseShownFolder();
  TFolderRecord* nodeRecord = TreeView1.RecordOf(node);
  TreeView1.Delete(node);
  TreeView1.Select(nullptr);
  if (!CurrentBook) return;
  std::optional<TFolderEntry> gone = TAlbumLibrary::RemoveFolder(CurrentBook->Album(), path);
  // The first folder with the path goes, which need not be the deleted node's own: a node still
  // showing that folder then takes the record left behind, so no node refers to a freed record.
  if (gone && gone->Record.get() != nodeRecord) TreeView1.Repoint(gone->Record.get(), nodeRecord);
}

void TForm1::PrintActionExecute() {
  HTREEITEM node = TreeView1.Selected();
  if (!PrintForm || !CurrentBook || !node) return;
  // The album's node ticks every folder, a folder's node that folder.
  const std::string path = TreeView1.Text(node);
  ShowPrintDialog(*PrintForm, CurrentBook->Data(), node == RootNode ? nullptr : &path, hwnd_);
}

void TForm1::BookShape1MouseUp(win::GraphicControl& sender, int button, int x, int y) {
  auto* book = dynamic_cast<TBookShape*>(&sender);
  if (button != 1 || !book) return;
  PopupBook = book;
  POINT p{book->Left() + x, book->Top() + y};
  ClientToScreen(StageItem.Handle(), &p);
  TrackPopupMenu(bookMenu_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd_, nullptr);
}

bool TForm1::LoadAlbumLibrary() {
  bool read = LibraryFile.Load(Library);
  for (const auto& album : Library.Albums()) AddBook(album);
  SetPaintAreaWidth(app::PaintWidthAfterLoad(PaintBox1.Width(), static_cast<int>(Books.size())));
  return read;
}

void TForm1::SaveAlbumLibrary() { LibraryFile.Save(Library); }

void TForm1::TreeView1Click(bool byKeyboard) {
  HTREEITEM node = TreeView1.Selected();
  if (node == ShownNode) return;
  try {
    CloseShownFolder();
  } catch (...) {
    TreeView1.Select(ShownNode);  // the folder stays shown, and selected
    throw;
  }
  ShownNode = node;
  if (node && node != RootNode) {
    const TFolderRecord* record = TreeView1.RecordOf(node);
    ThumbSize = record && record->SizeIndex >= 1 && record->SizeIndex <= 5 ? record->SizeIndex : 3;
    CheckSizeMenuItem(ThumbSize);
    UpdateItemSize();
    SelectionChanged(app::SelectionEvent::FolderShown);
    const std::string path = TreeView1.Text(node);
    if (win::FolderExists(path)) {
      LoadFolder(path);
      Folder.SortFiles(static_cast<TSortKind>(SortKind));
    } else {
      // An empty list would say nothing; and there is nothing to print.
      SetActionEnabled(ActionId::PrintAction, false);
      win::CurrentDialogs().MessageDlg(hwnd_, MissingFolderText(path), win::Application::Title(),
                                       MB_OK | MB_ICONINFORMATION);
    }
  } else if (node) {
    SelectionChanged(app::SelectionEvent::AlbumNodeClicked, TreeView1.Count() > 1);
  }
  ListBox1.SetCount(static_cast<int>(Folder.Items.size()));
  // A folder chosen with the mouse hands the keyboard to its pictures; one chosen with the
  // arrow keys leaves it in the tree, so that the keys walk on through the folders.
  if (node && node != RootNode && !byKeyboard) SetFocus(ListBox1.Handle());
}

int TForm1::LoadFolder(const std::string& path) {
  return GaugeForm ? Folder.Load(path, *GaugeForm, hwnd_, ColorDepth) : 0;
}

void TForm1::CloseShownFolder(bool mayStay) {
  if (ShownNode && ShownNode != RootNode && !LeaveShownFolder(Folder, hwnd_, mayStay)) throw EAbort();
  ListBox1.SetCount(0);
  HoverGone();  // the next folder's item at the same place is another picture
  ShownNode = nullptr;
  SelectionChanged(app::SelectionEvent::ShownFolderClosed);
}

void TForm1::CheckSizeMenuItem(int index) { CheckMenuItem(CommandOf("N1" + std::to_string(index))); }

void TForm1::PopupMenu2Popup() {
  const bool item = SendMessageW(ListBox1.Handle(), LB_GETCURSEL, 0, 0) >= 0;
  for (int command : {app::cmd::N6, app::cmd::View1, app::cmd::N21}) EnableMenuItem(command, item);
  HTREEITEM node = TreeView1.Selected();
  const bool folder = node && node != RootNode;
  EnableMenuItem(app::cmd::N8, folder);
  constexpr UINT kSizeMenuPosition = 6;  // "サムネイルサイズ変更" has no command of its own
  ::EnableMenuItem(popupMenu2_, kSizeMenuPosition, MF_BYPOSITION | (folder ? MF_ENABLED : MF_GRAYED));
}

void TForm1::N6Click() {
  const LRESULT i = SendMessageW(ListBox1.Handle(), LB_GETCURSEL, 0, 0);
  if (i < 0) return;
  Folder.RemakeThumbnail(static_cast<std::size_t>(i), ColorDepth);
  InvalidateRect(ListBox1.Handle(), nullptr, TRUE);
}

void TForm1::N8Click() {
  if (!GaugeForm) return;
  // The progress dialog keeps this window from input while the thumbnails are made: nothing
  // may close or reorder the folder under the run, which lets messages through once per file.
  Folder.MakeMissingThumbnails(*GaugeForm, ColorDepth);
  InvalidateRect(ListBox1.Handle(), nullptr, TRUE);
}

void TForm1::N21Click() {
  const LRESULT i = SendMessageW(ListBox1.Handle(), LB_GETCURSEL, 0, 0);
  if (i < 0 || !CommentForm) return;
  // Drawn again also when only the thumbnail failed: the date and comment are stored then too.
  struct Repaint {
    HWND list;
    ~Repaint() { InvalidateRect(list, nullptr, TRUE); }
  } repaint{ListBox1.Handle()};
  EditFileComment(*CommentForm, Folder, static_cast<std::size_t>(i), ColorDepth, hwnd_);
}

void TForm1::N15Click(int command) {
  const int tag = FindCommand(command).Def->Tag;
  if (tag == ThumbSize) return;
  HTREEITEM node = TreeView1.Selected();
  if (TFolderRecord* record = node ? TreeView1.RecordOf(node) : nullptr) record->SizeIndex = tag;
  ThumbSize = tag;
  UpdateItemSize();
  HoverGone();
  InvalidateRect(ListBox1.Handle(), nullptr, TRUE);
  CheckMenuItem(command);
}

void TForm1::N26Click(int command) {
  CheckMenuItem(command);
  SortKind = SortKindOfTag(FindCommand(command).Def->Tag);
  // The selected picture stays selected, wherever the sort puts it.
  const int selected = ListBox1.Selected();
  const std::string name = selected >= 0 && static_cast<std::size_t>(selected) < Folder.Items.size()
                               ? Folder.Items[static_cast<std::size_t>(selected)].Name
                               : std::string();
  Folder.SortFiles(static_cast<TSortKind>(SortKind));
  HoverGone();  // another picture may now be under the mouse
  if (!name.empty()) {
    auto it = std::find_if(Folder.Items.begin(), Folder.Items.end(), [&](const TFileItem& f) { return f.Name == name; });
    ListBox1.SetSelected(it == Folder.Items.end() ? -1 : static_cast<int>(it - Folder.Items.begin()));
  }
  InvalidateRect(ListBox1.Handle(), nullptr, TRUE);
}

void TForm1::HoverGone() {
  HoverIndex = -1;
  SetStatusText(2, {});
  if (HintForm) HintForm->Hide();
}

void TForm1::N20Click() {
  ShowRemarks = !MenuItemChecked(app::cmd::N20);
  CheckMenuItem(app::cmd::N20, ShowRemarks);
  EnableMenuItem(app::cmd::N27, !ShowRemarks);
  UpdateItemSize();
  HoverGone();
  InvalidateRect(ListBox1.Handle(), nullptr, TRUE);
}

void TForm1::N27Click() {
  const bool on = !MenuItemChecked(app::cmd::N27);
  CheckMenuItem(app::cmd::N27, on);
  if (!on && HintForm) HintForm->Hide();
}

void TForm1::ListBox1DblClick() {
  HTREEITEM node = TreeView1.Selected();
  const LRESULT i = SendMessageW(ListBox1.Handle(), LB_GETCURSEL, 0, 0);
  if (!node || node == RootNode || i < 0 || static_cast<std::size_t>(i) >= Folder.Items.size()) return;
  // The item may get its thumbnail now: the list shows it even when the picture fails to open.
  struct Repaint {
    HWND list;
    ~Repaint() { InvalidateRect(list, nullptr, TRUE); }
  } repaint{ListBox1.Handle()};
  // The viewer opens over the list, where the user's eyes are.
  POINT at{0, 0};
  ClientToScreen(ListBox1.Handle(), &at);
  OpenFolderItem(
      Folder, TreeView1.Text(node), static_cast<std::size_t>(i), ColorDepth,
      [this](const std::string& caption, win::Bitmap glyph) { return AddWindowMenuItem(caption, std::move(glyph)); },
      [this](int command) { RemoveWindowMenuItem(command); }, at);
}

void TForm1::ListBox1DrawItem(const DRAWITEMSTRUCT& d) {
  if (d.itemID >= Folder.Items.size()) return;
  const app::Extent size = GetThumbSize(ThumbSize);
  itemDrawer_.Draw(d.hDC, d.rcItem, Folder.Items[d.itemID], d.itemState & ODS_SELECTED, size.W, size.H, ShowRemarks,
                   ColorDepth);
  if (d.itemState & ODS_FOCUS) DrawFocusRect(d.hDC, &d.rcItem);
}

void TForm1::ListBox1MouseMove(int x, int y) {
  const int i = ListBox1.ItemAt(x, y);
  const TPictureEntry* entry =
      i >= 0 && static_cast<std::size_t>(i) < Folder.Items.size() ? Folder.Items[static_cast<std::size_t>(i)].Entry.get()
                                                                   : nullptr;
  if (i >= 0 && !entry && HintForm) HintForm->Hide();
  if (!entry) {
    SetStatusText(2, {});
  } else if (i != HoverIndex) {
    RECT r = ListBox1.ItemRect(i);
    r.right = std::min<LONG>(r.right, ListBox1.Bounds().right - ListBox1.Bounds().left);
    if (!ShowRemarks && MenuItemChecked(app::cmd::N27) && HintForm) {
      HintForm->Hide();
      POINT p{r.right, r.top};
      ClientToScreen(ListBox1.Handle(), &p);
      HintForm->SetHintText(HoverHintText(*entry));
      HintForm->ShowAt(p.x, p.y);
    }
    SetStatusText(2, HoverStatusText(*entry));
  }
  HoverIndex = i;
}

void TForm1::StoreOrGiveUp(const std::function<void()>& store) {
  for (;;) {
    try {
      store();
      return;
    } catch (...) {
      std::string text = win::Application::CurrentExceptionMessage() +
                         "\r\n\r\nもう一度保存しますか？\r\n「いいえ」を選ぶと保存せずに終了します（ファイルは元のまま残ります）。";
      if (win::CurrentDialogs().MessageDlg(hwnd_, text, win::Application::Title(), MB_YESNO | MB_ICONSTOP) != IDYES)
        return;
    }
  }
}

void TForm1::ShowFirst(int show) {
  app::ShowAtPlace(hwnd_, place_, show);
  shown_ = true;
}

void TForm1::SavePlace() {
  if (!shown_) return;
  try {
    const app::WindowPlace place = app::PlaceOf(hwnd_, panel1Width_, treeHeight_);
    Settings.Update([&](TIniText& ini) { app::StoreWindowPlace(ini, place); });
  } catch (...) {
    // A convenience, not the user's work, and saved when the session ends too, where nothing
    // may raise: the library's own store says what is wrong with the disk.
  }
}

void TForm1::FormClose() {
  SavePlace();
  StoreOrGiveUp([this] { CloseShownFolder(false); });
  StoreOrGiveUp([this] { SaveAlbumLibrary(); });
}

void TForm1::EndSession() {
  if (Folder.Busy() && GaugeForm) GaugeForm->BitBtn1Click();
  SavePlace();
  StoreNow();
}

std::string TForm1::StoreNow() noexcept {
  // Each store is tried once; a failure leaves its file as it was. Nothing here may raise:
  // the caller may be a handler the process ends after.
  std::string failures;
  auto store = [&](const std::function<std::string()>& save) {
    try {
      std::string notice = save();
      if (!notice.empty()) failures += notice + "\r\n";
    } catch (...) {
      try {
        failures += win::Application::CurrentExceptionMessage() + "\r\n";
      } catch (...) {
      }
    }
  };
  store([this] { return ShownNode && ShownNode != RootNode ? Folder.Save() : std::string(); });
  store([this] {
    SaveAlbumLibrary();
    return std::string();
  });
  return failures;
}

void TForm1::PluginFaultedInside(const TPluginFault& fault) {
  std::string failed = StoreNow();
  if (faultedInside_) return;  // the user was told at the first one
  faultedInside_ = true;
  faultedInsideText_ =
      Format("Susie Plugin %s が Quiran の中で異常を起こしました。Quiran のメモリーが壊れているおそれがあるため、"
             "表示中のフォルダーとアルバムをすぐに保存しました。",
             {std::string(sjis::ExtractFileName(fault.Plugin))});
  if (!failed.empty()) faultedInsideText_ += "\r\nただし、次のものは保存できませんでした:\r\n" + failed;
  faultedInsideText_ += "\r\n\r\nQuiran を終了して、起動し直してください。";
  PostMessageW(hwnd_, kFaultedInside, 0, 0);
}

void TForm1::FormDestroy() {
  TViewForm::DestroyAll();  // while their window-menu entries are still there to remove
  ShelfStrip.Reset();
  ShelfStripSize = {0, 0};
}

void TForm1::ExitActionExecute() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

int TForm1::AddWindowMenuItem(const std::string& caption, win::Bitmap glyph) {
  int id = app::cmd::kFirstWindowEntry;
  while (windowEntries_.count(id)) ++id;
  if (id > app::cmd::kLastWindowEntry) throw Exception("ウインドウが多すぎます");
  std::wstring text = win::Wide(caption);
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STRING | MIIM_ID | (glyph ? MIIM_BITMAP : 0u);
  mii.wID = static_cast<UINT>(id);
  mii.dwTypeData = text.data();
  mii.hbmpItem = glyph;
  HMENU menu = WindowMenu();
  if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mii))
    throw Exception("メニューを作成できません");
  windowEntries_[id] = std::move(glyph);
  return id;
}

void TForm1::WindowMenuItemClick(int command) {
  wchar_t text[1024] = {};
  if (!GetMenuStringW(WindowMenu(), static_cast<UINT>(command), text, 1024, MF_BYCOMMAND)) return;
  WindowSearch search{text, {}, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindowsWithCaption, reinterpret_cast<LPARAM>(&search));
  if (search.failure) std::rethrow_exception(search.failure);
  for (HWND h : search.found) {
    ShowWindow(h, IsIconic(h) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(h);
  }
}

void TForm1::RemoveWindowMenuItem(int command) {
  DeleteMenu(WindowMenu(), static_cast<UINT>(command), MF_BYCOMMAND);
  windowEntries_.erase(command);
}

std::string TForm1::StatusText(int panel) const {
  auto n = LOWORD(SendMessageW(StatusBar1.Handle(), SB_GETTEXTLENGTHW, panel, 0));
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(StatusBar1.Handle(), SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(w.data()));
  w.resize(n);
  return win::Narrow(w);
}

void TForm1::SetStatusText(int panel, const std::string& text) {
  SendMessageW(StatusBar1.Handle(), SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(win::Wide(text).c_str()));
}

void TForm1::ShowLongHint(int command) {
  const app::ActionDef* a = app::ActionByCommand(command);
  win::Application::ShowHint(a ? std::string(app::HintLong(a->Hint)) : std::string());
}

bool TForm1::OnNotify(NMHDR* hdr, LRESULT& result) {
  switch (hdr->code) {
    case TTN_GETDISPINFOW: {
      // A tool bar's tool tip asks for its button's text when TBN_GETINFOTIP was not answered.
      const app::ActionDef* a = app::ActionByCommand(static_cast<int>(hdr->idFrom));
      if (!a) return false;
      tipText_ = win::Wide(app::HintShort(a->Hint));
      reinterpret_cast<NMTTDISPINFOW*>(hdr)->lpszText = tipText_.data();
      result = 0;
      return true;
    }
    case RBN_HEIGHTCHANGE:
      LayoutControls();
      result = 0;
      return true;
    case TVN_SELCHANGEDW: {
      const UINT action = reinterpret_cast<NMTREEVIEWW*>(hdr)->action;
      if (hdr->hwndFrom == TreeView1.Handle() && (action == TVC_BYMOUSE || action == TVC_BYKEYBOARD))
        PostMessageW(hwnd_, kTreeSelected, action, 0);
      result = 0;
      return true;
    }
  }
  return false;
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      if (!from || from == ToolBar1.Handle() || from == ToolBar2.Handle()) {
        ExecuteCommand(LOWORD(wp));
        return 0;
      }
      break;
    }
    case WM_NOTIFY: {
      LRESULT r = 0;
      if (OnNotify(reinterpret_cast<NMHDR*>(lp), r)) return r;
      break;
    }
    case WM_MENUSELECT: {
      UINT flags = HIWORD(wp);
      if ((flags == 0xFFFF && !lp) || (flags & MF_POPUP))
        win::Application::ShowHint({});
      else
        ShowLongHint(LOWORD(wp));
      return 0;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == ListBox1.Handle()) {
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (lp == -1) {  // from the keyboard: at the list's top-left corner
          p = {0, 0};
          ClientToScreen(ListBox1.Handle(), &p);
        }
        PopupMenu2Popup();
        TrackPopupMenu(popupMenu2_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd_, nullptr);
        return 0;
      }
      break;
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) {
        LayoutControls();
        // The bar draws its size grip only where it is not maximised; what it drew before
        // the change must go.
        InvalidateRect(StatusBar1.Handle(), nullptr, TRUE);
      }
      return 0;
    case WM_ACTIVATE:
      // The keyboard comes back to the control that had it: the tree or the list.
      if (LOWORD(wp) == WA_INACTIVE) {
        if (HWND f = GetFocus(); f && IsChild(hwnd_, f)) focus_ = f;
      } else if (!HIWORD(wp)) {
        SetFocus(focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_) ? focus_ : TreeView1.Handle());
        return 0;
      }
      break;
    case kTreeSelected:
      TreeView1Click(wp == TVC_BYKEYBOARD);
      return 0;
    case kFaultedInside:
      win::CurrentDialogs().MessageDlg(win::Application::ActiveOwner(), faultedInsideText_, win::Application::Title(),
                                       MB_OK | MB_ICONWARNING);
      return 0;
    case WM_CLOSE:
      if (Folder.Busy()) {  // thumbnails are being made: stop them; the user closes again
        if (GaugeForm) GaugeForm->BitBtn1Click();
        return 0;
      }
      FormClose();
      DestroyWindow(hwnd_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp) EndSession();
      return 0;
    case WM_DESTROY:
      FormDestroy();
      if (hwnd_ == win::Application::MainWindow()) PostQuitMessage(0);
      return 0;
  }
  return Window::HandleMessage(msg, wp, lp);
}

void TForm1::SusiePulagin1Click() {
  if (AboutForm2) AboutForm2->ShowModal(hwnd_);
}

void TForm1::SusiePlugin1Click() {
  if (SusieOptForm && SusieOptForm->ChooseFormats(*SPIs1, hwnd_)) PluginSettings.Save(SPIs1->FormatChoice());
}
