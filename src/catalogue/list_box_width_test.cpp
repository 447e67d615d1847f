// The multi-column owner-drawn list: its column width follows ItemWidth once it has a width.
#include "catalogue/list_box_width.h"

#include <gtest/gtest.h>

#include "win/panel.h"

namespace {
class Host : public win::Window {
 public:
  Host() {
    CreateArgs a;
    a.width = 400;
    a.height = 300;
    CreateWindowOf(a);
  }
};

int ColumnWidth(const TListBoxWidth& list) {
  RECT r{};
  SendMessageW(list.Handle(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
  return r.right - r.left;
}
}  // namespace

TEST(ListBoxWidth, ColumnsTakeTheItemWidthOnceTheListHasAWidth) {
  Host host;
  TListBoxWidth list;
  list.Create(host.Handle(), 7, 0, 0, 0, 0);
  EXPECT_EQ(list.ItemWidth(), 200);
  EXPECT_TRUE(GetWindowLongW(list.Handle(), GWL_STYLE) & LBS_MULTICOLUMN);
  EXPECT_TRUE(GetWindowLongW(list.Handle(), GWL_STYLE) & LBS_OWNERDRAWFIXED);
  list.SetCount(5);
  EXPECT_EQ(list.Count(), 5);
  list.SetItemHeight(77);
  list.SetItemWidth(222);  // no width yet: kept for later
  list.SetBounds(0, 0, 500, 200);
  EXPECT_EQ(ColumnWidth(list), 222);
  EXPECT_EQ(list.ItemHeight(), 77);
  // Two rows of 77 fit in the client height; the third item starts the second column.
  RECT third{};
  SendMessageW(list.Handle(), LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&third));
  EXPECT_EQ(third.left, 222);
  EXPECT_EQ(third.top, 0);
  list.SetItemWidth(78);
  EXPECT_EQ(ColumnWidth(list), 78);

  int drawn = 0;
  list.OnDrawItem = [&](const DRAWITEMSTRUCT& d) {
    ++drawn;
    EXPECT_EQ(d.rcItem.right - d.rcItem.left, 78);
  };
  UpdateWindow(list.Handle());
  InvalidateRect(list.Handle(), nullptr, TRUE);
  ShowWindow(host.Handle(), SW_SHOWNA);
  UpdateWindow(list.Handle());
  EXPECT_GT(drawn, 0);  // the parent reflected WM_DRAWITEM back to the list
}
