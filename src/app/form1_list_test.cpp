// The thumbnail list in the main window under Wine: the remarks column switch and the popup
// switch, and hovering over the items (the status bar's third panel and the popup).
#include <gtest/gtest.h>

#include "app/form1.h"
#include "catalogue/hint_form.h"
#include "catalogue/item_text.h"
#include "imaging/win_test_util.h"

namespace {

class FormList : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TForm1>(lib_.Path() + "Quiran.Alb");
    form_->HintForm = &hint_;
    TForm1& f = *form_;
    for (int i = 0; i < 3; ++i) {
      TFileItem item;
      item.Name = "P" + std::to_string(i) + ".JPG";
      item.Entry = std::make_unique<TPictureEntry>();
      item.Entry->PixelWidth = static_cast<std::uint16_t>(640 + i);
      item.Entry->PixelHeight = 480;
      f.Folder.Items.push_back(std::move(item));
    }
    f.Folder.Items[1].Entry->Date = 46365;
    f.Folder.Items[1].Entry->Comment = "海";
    f.ListBox1.SetCount(3);
  }
  void TearDown() override { form_.reset(); }

  // The mouse moved to a point of the list, as the list receives it.
  void MoveTo(POINT p) { SendMessageW(form_->ListBox1.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y)); }
  POINT Inside(int item, int dx = 5, int dy = 5) {
    RECT r = form_->ListBox1.ItemRect(item);
    return {r.left + dx, r.top + dy};
  }
  // Remarks hidden and the popup allowed.
  void PopupOn() {
    form_->N20Click();
    form_->N27Click();
  }

  imgtest::TempDir lib_;
  THintForm hint_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace

TEST_F(FormList, RemarksSwitchEnablesThePopupSwitch) {
  TForm1& f = *form_;
  EXPECT_TRUE(f.ShowRemarks);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N20));
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::N27));
  EXPECT_FALSE(f.MenuItemChecked(app::cmd::N27));
  EXPECT_EQ(f.ListBox1.ItemWidth(), 222);

  f.ExecuteCommand(app::cmd::N20);
  EXPECT_FALSE(f.ShowRemarks);
  EXPECT_FALSE(f.MenuItemChecked(app::cmd::N20));
  EXPECT_TRUE(f.MenuItemEnabled(app::cmd::N27));
  EXPECT_EQ(f.ListBox1.ItemWidth(), 78);
  EXPECT_EQ(f.ListBox1.ItemHeight(), 77);

  f.ExecuteCommand(app::cmd::N27);
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N27));
  // Showing the remarks again disables the popup switch; its mark stays.
  f.ExecuteCommand(app::cmd::N20);
  EXPECT_TRUE(f.ShowRemarks);
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::N27));
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N27));
  EXPECT_EQ(f.ListBox1.ItemWidth(), 222);
  // The enabling before the context menu opens leaves the two items alone.
  f.PopupMenu2Popup();
  EXPECT_FALSE(f.MenuItemEnabled(app::cmd::N27));
  EXPECT_TRUE(f.MenuItemChecked(app::cmd::N20));
}

TEST_F(FormList, HoveringUpdatesOncePerItem) {
  TForm1& f = *form_;
  // The very first move, onto the first item, updates the panel.
  MoveTo(Inside(0));
  EXPECT_EQ(f.HoverIndex, 0);
  EXPECT_EQ(f.StatusText(2), HoverStatusText(*f.Folder.Items[0].Entry));
  // Moving within the item changes nothing any more.
  f.SetStatusText(2, "x");
  MoveTo(Inside(0, 30, 40));
  EXPECT_EQ(f.StatusText(2), "x");
  MoveTo(Inside(1));
  EXPECT_EQ(f.HoverIndex, 1);
  EXPECT_EQ(f.StatusText(2), "SIZE:W 641×H 480 (Dot)   DATE:2026/12/09 (水)");
  // With the remarks column shown there is no popup, whatever the popup switch says.
  EXPECT_FALSE(hint_.Visible());
  f.N20Click();
  f.N27Click();
  f.N20Click();
  ASSERT_TRUE(f.MenuItemChecked(app::cmd::N27));
  MoveTo(Inside(2));
  EXPECT_FALSE(hint_.Visible());
}

TEST_F(FormList, PopupAtTheItemsTopRightCornerStaysOverEmptySpace) {
  TForm1& f = *form_;
  PopupOn();
  MoveTo(Inside(1));
  ASSERT_TRUE(hint_.Visible());
  EXPECT_EQ(hint_.HintText(), HoverHintText(*f.Folder.Items[1].Entry));
  RECT item = f.ListBox1.ItemRect(1), popup{};
  POINT corner{item.right, item.top};
  ClientToScreen(f.ListBox1.Handle(), &corner);
  GetWindowRect(hint_.Handle(), &popup);
  EXPECT_EQ(popup.left, corner.x);
  EXPECT_EQ(popup.top, corner.y);

  // Empty list space below the last item: the panel is cleared, the popup stays.
  const RECT last = f.ListBox1.ItemRect(2);
  MoveTo({last.left + 5, last.bottom + 5});
  EXPECT_EQ(f.HoverIndex, -1);
  EXPECT_EQ(f.StatusText(2), "");
  EXPECT_TRUE(hint_.Visible());

  // Switching the popup off hides it.
  f.N27Click();
  EXPECT_FALSE(hint_.Visible());
}

TEST_F(FormList, AnItemWithoutEntryHidesThePopup) {
  TForm1& f = *form_;
  PopupOn();
  f.Folder.Items[2].Entry.reset();
  MoveTo(Inside(0));
  ASSERT_TRUE(hint_.Visible());
  MoveTo(Inside(2));
  EXPECT_FALSE(hint_.Visible());
  EXPECT_EQ(f.StatusText(2), "");
  EXPECT_EQ(f.HoverIndex, 2);
  // Back on the first item, after another one: shown again.
  MoveTo(Inside(0));
  EXPECT_TRUE(hint_.Visible());
}

TEST_F(FormList, ThePopupNeverStaysOverAnotherPicture) {
  TForm1& f = *form_;
  PopupOn();
  auto shown = [&] {
    MoveTo(Inside(1));
    return hint_.Visible() && f.StatusText(2) == HoverStatusText(*f.Folder.Items[1].Entry);
  };
  // The mouse leaves the list.
  ASSERT_TRUE(shown());
  SendMessageW(f.ListBox1.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(hint_.Visible());
  EXPECT_EQ(f.StatusText(2), "");
  EXPECT_EQ(f.HoverIndex, -1);
  // The pictures are sorted under it.
  ASSERT_TRUE(shown());
  f.ExecuteCommand(app::cmd::SortByName1);
  EXPECT_FALSE(hint_.Visible());
  // Another size.
  ASSERT_TRUE(shown());
  f.ExecuteCommand(app::cmd::N11);
  EXPECT_FALSE(hint_.Visible());
  // The list scrolls other pictures into view.
  for (int i = 3; i < 200; ++i) {
    TFileItem item;
    item.Name = "Q" + std::to_string(i) + ".JPG";
    item.Entry = std::make_unique<TPictureEntry>();
    f.Folder.Items.push_back(std::move(item));
  }
  f.ListBox1.SetCount(static_cast<int>(f.Folder.Items.size()));
  ASSERT_TRUE(shown());
  SendMessageW(f.ListBox1.Handle(), WM_HSCROLL, SB_PAGERIGHT, 0);
  ASSERT_NE(SendMessageW(f.ListBox1.Handle(), LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_FALSE(hint_.Visible());
  EXPECT_EQ(f.HoverIndex, -1);
}
