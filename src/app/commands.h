// The main window's commands as data: the eight actions (caption, image, shortcut, hint,
// start state), the menus built from them, and the rule that enables the actions as the
// selection changes. Portable, so the tables and the enabling rule are tested natively.
#pragma once
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace app {

enum class ActionId { NewAlbum, DelAlbum, ExitAction, AddFolderAction, PrintAction, DelFolderAction,
                      AddPictAction, DelPictAction };
inline constexpr std::size_t kActionCount = 8;

// Command ids of the menu items and tool buttons (WM_COMMAND). Entries of the window menu
// get ids from kFirstWindowEntry upward, one per open viewer.
namespace cmd {
enum : int {
  NewAlbum = 101, DelAlbum, ExitAction, AddFolderAction, PrintAction, DelFolderAction, AddPictAction,
  DelPictAction,
  SusiePlugin1 = 201, SortByName1, N25, N23, SortByDate1, N26, SusiePulagin1,
  N5 = 301,  // the book's "アルバムのプロパティ"
  View1 = 401, N21, N6, N8, N11, N12, N13, N14, N15, N20, N27,
};
inline constexpr int kFirstWindowEntry = 0x1000;
inline constexpr int kLastWindowEntry = 0x1FFF;
}  // namespace cmd

struct ActionDef {
  ActionId Id;
  const char* Name;
  int Command;
  const char* Category;
  const char* Caption;
  int Image;             // index in the tool-bar image strip
  int ShortcutKey;       // virtual-key code pressed with Ctrl, 0 for none
  const char* ShortcutText;  // as the menu shows it
  const char* Hint;      // "short|long"; the short part is the tool tip
  bool EnabledAtStart;
};

const std::array<ActionDef, kActionCount>& Actions();
const ActionDef& ActionOf(ActionId id);
// The action behind a command id, or null.
const ActionDef* ActionByCommand(int command);

// The parts of a hint before and after its first "|" (a Shift-JIS trail byte may be 0x7C,
// so the bar is looked for character by character). A hint without a bar is all short part.
std::string_view HintShort(std::string_view hint);
std::string_view HintLong(std::string_view hint);

// One menu item. Items of an action take caption, shortcut and enabling from the action.
enum MenuFlag : unsigned { kSeparator = 1, kRadio = 2, kChecked = 4, kDefault = 8, kDisabled = 16 };
struct MenuDef {
  const char* Name = "";   // the designer name ("N13"); empty for separators
  const char* Caption = nullptr;  // null for action items
  int Command = 0;         // 0 for separators and sub-menus
  int Action = -1;         // index into Actions(), or -1
  int Tag = 0;
  unsigned Flags = 0;
  int RadioGroup = 0;      // radio items of one group share a number > 0
  std::vector<MenuDef> Items;  // sub-menu items
};

const std::vector<MenuDef>& MainMenuDef();
const std::vector<MenuDef>& BookMenuDef();  // the book's context menu
const std::vector<MenuDef>& ListMenuDef();  // PopupMenu2, the thumbnail list's context menu

// Finds an item by designer name or by command id in a menu tree, or null.
const MenuDef* FindMenuDef(const std::vector<MenuDef>& menu, std::string_view name);
const MenuDef* FindMenuDefByCommand(const std::vector<MenuDef>& menu, int command);

// Which actions are enabled. Each selection event sets some actions and leaves the others.
struct ActionStates {
  std::array<bool, kActionCount> Enabled{};
  bool operator[](ActionId id) const { return Enabled[static_cast<std::size_t>(id)]; }
  bool& operator[](ActionId id) { return Enabled[static_cast<std::size_t>(id)]; }
  bool operator==(const ActionStates&) const = default;
};

enum class SelectionEvent {
  BookClicked,        // an album was opened
  EmptyShelfClicked,  // the open album was closed
  FolderShown,        // a folder node was clicked and its files are shown
  AlbumNodeClicked,   // the album's root node was clicked
  ShownFolderClosed,  // CloseShownFolder ran
  FolderTreeCleared,  // ClearFolderTree ran
  AlbumDeleted,
};

ActionStates StartStates();
// The states after an event; albumHasFolders matters for AlbumNodeClicked only.
ActionStates AfterEvent(ActionStates states, SelectionEvent event, bool albumHasFolders = false);

}  // namespace app
