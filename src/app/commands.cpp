#include "app/commands.h"

#include "win/sjis.h"

namespace app {

namespace {
constexpr int kVkN = 'N';
constexpr int kVkDelete = 0x2E;

const std::array<ActionDef, kActionCount> kActions = {{
    {ActionId::NewAlbum, "NewAlbum", cmd::NewAlbum, "ファイル", "新規アルバム", 0, kVkN, "Ctrl+N",
     "新規アルバム|アルバムを新規に作成します。", true},
    {ActionId::DelAlbum, "DelAlbum", cmd::DelAlbum, "ファイル", "アルバムの削除", 1, kVkDelete, "Ctrl+Del",
     "アルバム削除|現在選択されているアルバムを削除します。", false},
    {ActionId::ExitAction, "ExitAction", cmd::ExitAction, "ファイル", "終了(&X)", 2, 0, "",
     "終了|アプリケーションを終了する。", true},
    {ActionId::AddFolderAction, "AddFolderAction", cmd::AddFolderAction, "フォルダー", "フォルダーの追加", 3, 0, "",
     "フォルダー追加|選択されているアルバムにフォルダーを追加する。", false},
    {ActionId::PrintAction, "PrintAction", cmd::PrintAction, "ファイル", "印刷・・・", 7, 0, "",
     "印刷実行|プリンターにサムネイル画像を印刷する。", false},
    {ActionId::DelFolderAction, "DelFolderAction", cmd::DelFolderAction, "フォルダー", "フォルダーの削除", 4, 0, "",
     "フォルダー削除|選択されているフォルダーを削除する。", false},
    {ActionId::AddPictAction, "AddPictAction", cmd::AddPictAction, "フォルダー", "仮装フォルダーの追加...", 5, 0, "",
     "", false},
    {ActionId::DelPictAction, "DelPictAction", cmd::DelPictAction, "フォルダー", "仮装フォルダーの削除", 6, 0, "",
     "", false},
}};

MenuDef ActionItem(const char* name, ActionId id) {
  MenuDef m;
  m.Name = name;
  m.Action = static_cast<int>(id);
  m.Command = kActions[static_cast<std::size_t>(id)].Command;
  return m;
}
MenuDef Item(const char* name, const char* caption, int command, int tag = 0, unsigned flags = 0,
             int group = 0) {
  MenuDef m;
  m.Name = name;
  m.Caption = caption;
  m.Command = command;
  m.Tag = tag;
  m.Flags = flags;
  m.RadioGroup = group;
  return m;
}
MenuDef Separator() {
  MenuDef m;
  m.Caption = "-";
  m.Flags = kSeparator;
  return m;
}
MenuDef Sub(const char* name, const char* caption, std::vector<MenuDef> items) {
  MenuDef m;
  m.Name = name;
  m.Caption = caption;
  m.Items = std::move(items);
  return m;
}

constexpr int kSortGroup = 1;
constexpr int kSizeGroup = 2;

const std::vector<MenuDef>& BuildMainMenu() {
  static const std::vector<MenuDef> menu = {
      Sub("Album1", "アルバム(&A)",
          {ActionItem("NewAlbum1", ActionId::NewAlbum), ActionItem("DelAlbum1", ActionId::DelAlbum), Separator(),
           ActionItem("Print1", ActionId::PrintAction), Separator(), ActionItem("Exit1", ActionId::ExitAction)}),
      Sub("Folder1", "フォルダー(&F)",
          {ActionItem("AddFolder1", ActionId::AddFolderAction),
           ActionItem("DelFolder1", ActionId::DelFolderAction)}),
      Sub("Setting1", "設定(&T)",
          {Item("SusiePlugin1", "Susie Plugin の設定", cmd::SusiePlugin1),
           Sub("FileSort1", "ファイルのソート",
               {Item("SortByName1", "名前順", cmd::SortByName1, 1, kRadio, kSortGroup),
                Item("N25", "拡張子別", cmd::N25, 2, kRadio, kSortGroup),
                Item("N23", "ファイルサイズ順", cmd::N23, 3, kRadio, kSortGroup),
                Item("SortByDate1", "日付順", cmd::SortByDate1, 4, kRadio, kSortGroup), Separator(),
                Item("N26", "無し", cmd::N26, 0, kRadio | kChecked, kSortGroup)})}),
      Sub("Window1", "ウインドウ(&W)", {}),
      Sub("Other1", "その他", {Item("SusiePulagin1", "Susie Plugin 情報", cmd::SusiePulagin1)}),
  };
  return menu;
}
}  // namespace

const std::array<ActionDef, kActionCount>& Actions() { return kActions; }

const ActionDef& ActionOf(ActionId id) { return kActions[static_cast<std::size_t>(id)]; }

const ActionDef* ActionByCommand(int command) {
  for (const ActionDef& a : kActions)
    if (a.Command == command) return &a;
  return nullptr;
}

std::string_view HintShort(std::string_view hint) {
  for (std::size_t i = 0; i < hint.size(); i += sjis::CharLength(hint, i))
    if (hint[i] == '|') return hint.substr(0, i);
  return hint;
}

std::string_view HintLong(std::string_view hint) {
  std::string_view shortPart = HintShort(hint);
  return shortPart.size() < hint.size() ? hint.substr(shortPart.size() + 1) : std::string_view{};
}

const std::vector<MenuDef>& MainMenuDef() { return BuildMainMenu(); }

const std::vector<MenuDef>& BookMenuDef() {
  static const std::vector<MenuDef> menu = {Item("N5", "アルバムのプロパティ", cmd::N5)};
  return menu;
}

const std::vector<MenuDef>& ListMenuDef() {
  static const std::vector<MenuDef> menu = {
      Item("View1", "表示…", cmd::View1, 0, kDefault),
      Item("N21", "コメント編集…", cmd::N21),
      Separator(),
      Item("N6", "サムネイル作成", cmd::N6),
      Item("N8", "全ファイルサムネイル作成", cmd::N8),
      Separator(),
      Sub("ThumbSize1", "サムネイルサイズ変更",
          {Item("N11", "極小", cmd::N11, 1, kRadio, kSizeGroup), Item("N12", "小", cmd::N12, 2, kRadio, kSizeGroup),
           Item("N13", "中", cmd::N13, 3, kRadio | kChecked, kSizeGroup),
           Item("N14", "大", cmd::N14, 4, kRadio, kSizeGroup), Item("N15", "極大", cmd::N15, 5, kRadio, kSizeGroup)}),
      Item("N20", "備考欄の表示", cmd::N20, 0, kChecked),
      Item("N27", "備考ウィンドウの表示", cmd::N27, 0, kDisabled),
  };
  return menu;
}

const MenuDef* FindMenuDef(const std::vector<MenuDef>& menu, std::string_view name) {
  for (const MenuDef& m : menu) {
    if (!name.empty() && m.Name == name) return &m;
    if (const MenuDef* found = FindMenuDef(m.Items, name)) return found;
  }
  return nullptr;
}

const MenuDef* FindMenuDefByCommand(const std::vector<MenuDef>& menu, int command) {
  for (const MenuDef& m : menu) {
    if (command != 0 && m.Command == command) return &m;
    if (const MenuDef* found = FindMenuDefByCommand(m.Items, command)) return found;
  }
  return nullptr;
}

ActionStates StartStates() {
  ActionStates s;
  for (const ActionDef& a : kActions) s[a.Id] = a.EnabledAtStart;
  return s;
}

ActionStates AfterEvent(ActionStates s, SelectionEvent event, bool albumHasFolders) {
  using enum ActionId;
  switch (event) {
    case SelectionEvent::BookClicked:
      s[DelAlbum] = true, s[AddFolderAction] = true, s[DelFolderAction] = false, s[PrintAction] = false;
      break;
    case SelectionEvent::EmptyShelfClicked:
      s[DelAlbum] = false, s[AddFolderAction] = false, s[DelFolderAction] = false, s[PrintAction] = false;
      break;
    case SelectionEvent::FolderShown:
      s[DelFolderAction] = true, s[PrintAction] = true;
      break;
    case SelectionEvent::AlbumNodeClicked:
      s[DelFolderAction] = false, s[PrintAction] = albumHasFolders;
      break;
    case SelectionEvent::ShownFolderClosed:
      s[DelFolderAction] = false, s[PrintAction] = false;
      break;
    case SelectionEvent::FolderTreeCleared:
      s[AddFolderAction] = false;
      break;
    case SelectionEvent::AlbumDeleted:
      // DelAlbum stays on: with no current book it does nothing.
      s[AddFolderAction] = false, s[DelFolderAction] = false, s[PrintAction] = false;
      break;
  }
  // These never change with the selection.
  s[NewAlbum] = true, s[ExitAction] = true, s[AddPictAction] = false, s[DelPictAction] = false;
  return s;
}

}  // namespace app
