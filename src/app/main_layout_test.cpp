#include "app/main_layout.h"

#include <gtest/gtest.h>

using namespace app;

TEST(MainLayout, ShelfStripFitsTheByteBudget) {
  EXPECT_EQ(ShelfStripSize(124, 124, 300), (Extent{496, 300}));  // 512000 div 111600 = 4 tiles
  // A tile whose one column is over budget still gives a strip of one tile.
  EXPECT_EQ(ShelfStripSize(600, 600, 300), (Extent{600, 300}));
  EXPECT_EQ(ShelfStripSize(60000, 10, 30000), (Extent{60000, 30000}));
  EXPECT_EQ(ShelfStripSize(1, 1, 300), (Extent{568, 300}));
}

TEST(MainLayout, PaintAreaOnlyGrows) {
  EXPECT_EQ(PaintWidthAfterLoad(150, 3), 256);  // 150 < 156
  EXPECT_EQ(PaintWidthAfterLoad(150, 2), 150);
  EXPECT_EQ(PaintWidthAfterLoad(150, 0), 150);
  EXPECT_EQ(PaintWidthAfterNewBook(256, 258), 356);
  EXPECT_EQ(PaintWidthAfterNewBook(256, 206), 256);
  EXPECT_EQ(PaintWidthAfterResize(150, 160), 165);
  EXPECT_EQ(PaintWidthAfterResize(256, 160), 256);
  EXPECT_EQ(BookLeft(1, 0), 0);
  EXPECT_EQ(BookLeft(3, 0), 104);
  EXPECT_EQ(BookLeft(2, -30), 22);  // the shelf scrolled sideways by 30
}

TEST(MainLayout, ListItemSizeFollowsThumbSizeAndRemarks) {
  EXPECT_EQ(ListItemSize(3, true), (Extent{222, 77}));
  EXPECT_EQ(ListItemSize(3, false), (Extent{78, 77}));
  EXPECT_EQ(ListItemSize(1, true), (Extent{174, 41}));
  EXPECT_EQ(ListItemSize(1, false), (Extent{30, 41}));
  EXPECT_EQ(ListItemSize(2, true), (Extent{198, 59}));
  EXPECT_EQ(ListItemSize(2, false), (Extent{54, 59}));
  EXPECT_EQ(ListItemSize(4, true), (Extent{246, 95}));
  EXPECT_EQ(ListItemSize(4, false), (Extent{102, 95}));
  EXPECT_EQ(ListItemSize(5, true), (Extent{294, 131}));
  EXPECT_EQ(ListItemSize(5, false), (Extent{150, 131}));
  EXPECT_EQ(ListItemSize(9, true), ListItemSize(3, true));  // a size index from a damaged file
  EXPECT_EQ(ThumbSizeOf(0), (Extent{72, 54}));
}

TEST(MainLayout, PanesFillTheClientAreaAndKeepTheirMinimum) {
  MainPanes p = LayoutMain(752, 539, 36, 19, 164);
  EXPECT_EQ(p.CoolBar, (Box{0, 0, 752, 36}));
  EXPECT_EQ(p.Panel1, (Box{0, 36, 164, 484}));
  EXPECT_EQ(p.Splitter1, (Box{164, 36, 4, 484}));
  EXPECT_EQ(p.Panel2, (Box{168, 36, 584, 484}));
  EXPECT_EQ(p.StatusBar, (Box{0, 520, 752, 19}));
  EXPECT_EQ(LayoutMain(752, 539, 36, 19, 20).Panel1.W, 150);
  EXPECT_EQ(LayoutMain(752, 539, 36, 19, 700).Panel1.W, 752 - 4 - 150);
  EXPECT_EQ(LayoutMain(200, 539, 36, 19, 164).Panel1.W, 150);  // too narrow: Panel1 keeps its minimum
  EXPECT_EQ(ClampSplit(10, 300, 30), 30);
  EXPECT_EQ(ClampSplit(290, 300, 30), 270);
  Panel2Panes q = LayoutPanel2(578, 478, 79);
  EXPECT_EQ(q.Tree, (Box{0, 0, 578, 79}));
  EXPECT_EQ(q.Splitter2, (Box{0, 79, 578, 4}));
  EXPECT_EQ(q.List, (Box{0, 83, 578, 395}));
  EXPECT_EQ(LayoutPanel2(100, 50, 79).List.H, 0);
}
