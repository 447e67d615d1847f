#include "app/commands.h"

#include <gtest/gtest.h>

#include <set>

using namespace app;

namespace {
void CollectCommands(const std::vector<MenuDef>& menu, std::multiset<int>& ids) {
  for (const MenuDef& m : menu) {
    if (m.Command) ids.insert(m.Command);
    CollectCommands(m.Items, ids);
  }
}
}  // namespace

TEST(Commands, CommandIdsAreUniqueAcrossMenusAndActions) {
  // Action items may stand in several menus but each other item has an id of its own.
  std::multiset<int> ids;
  CollectCommands(MainMenuDef(), ids);
  CollectCommands(BookMenuDef(), ids);
  CollectCommands(ListMenuDef(), ids);
  std::set<int> actionIds;
  for (const ActionDef& a : Actions()) {
    EXPECT_TRUE(actionIds.insert(a.Command).second) << a.Name;
    EXPECT_LE(ids.count(a.Command), 1u) << a.Name;  // the two virtual-folder actions are on the tool bar only
    EXPECT_EQ(&ActionOf(a.Id), &a);
    EXPECT_EQ(ActionByCommand(a.Command), &a);
  }
  for (int id : ids) {
    EXPECT_EQ(ids.count(id), 1u) << id;
    EXPECT_TRUE(id < cmd::kFirstWindowEntry) << id;
  }
  EXPECT_EQ(ActionByCommand(cmd::N13), nullptr);
}

TEST(Commands, HintsSplitAtTheBarCharacterByCharacter) {
  EXPECT_EQ(HintShort(ActionOf(ActionId::NewAlbum).Hint), "新規アルバム");
  EXPECT_EQ(HintLong(ActionOf(ActionId::NewAlbum).Hint), "アルバムを新規に作成します。");
  EXPECT_EQ(HintShort(""), "");
  EXPECT_EQ(HintLong(""), "");
  EXPECT_EQ(HintLong("終了"), "");
  // "－" is 81 7C: its trail byte is the bar's code and must not split the hint.
  EXPECT_EQ(HintShort("\x81\x7C|long"), "\x81\x7C");
  EXPECT_EQ(HintLong("a|\x81\x7C|b"), "\x81\x7C|b");
}

TEST(Commands, EnablingFollowsTheSelection) {
  using enum ActionId;
  ActionStates s = AfterEvent(StartStates(), SelectionEvent::BookClicked);
  EXPECT_TRUE(s[DelAlbum] && s[AddFolderAction]);
  EXPECT_FALSE(s[DelFolderAction] || s[PrintAction]);
  s = AfterEvent(s, SelectionEvent::FolderShown);
  EXPECT_TRUE(s[DelFolderAction] && s[PrintAction] && s[DelAlbum]);
  s = AfterEvent(s, SelectionEvent::AlbumNodeClicked, false);
  EXPECT_FALSE(s[DelFolderAction] || s[PrintAction]);  // no folder: nothing to print
  EXPECT_TRUE(AfterEvent(s, SelectionEvent::AlbumNodeClicked, true)[PrintAction]);
  s = AfterEvent(AfterEvent(s, SelectionEvent::FolderShown), SelectionEvent::ShownFolderClosed);
  EXPECT_FALSE(s[DelFolderAction] || s[PrintAction]);
  EXPECT_TRUE(s[AddFolderAction]);
  s = AfterEvent(s, SelectionEvent::FolderTreeCleared);
  EXPECT_FALSE(s[AddFolderAction]);
  EXPECT_TRUE(s[DelAlbum]);  // untouched by clearing the tree
  s = AfterEvent(AfterEvent(s, SelectionEvent::BookClicked), SelectionEvent::AlbumDeleted);
  EXPECT_TRUE(s[DelAlbum]);
  EXPECT_FALSE(s[AddFolderAction] || s[DelFolderAction] || s[PrintAction]);
  s = AfterEvent(s, SelectionEvent::EmptyShelfClicked);
  EXPECT_EQ(s, StartStates());
  // Whatever happened, the two virtual-folder actions stay off and new/exit stay on.
  for (auto e : {SelectionEvent::BookClicked, SelectionEvent::FolderShown, SelectionEvent::AlbumDeleted}) {
    ActionStates t = AfterEvent(s, e, true);
    EXPECT_FALSE(t[AddPictAction] || t[DelPictAction]);
    EXPECT_TRUE(t[NewAlbum] && t[ExitAction]);
  }
}
