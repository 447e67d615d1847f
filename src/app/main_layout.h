// The main window's geometry as plain arithmetic: the design sizes, where the panes go in a
// client area, the shelf strip's size, the shelf paint area's growth rules and the thumbnail
// list's item size. Portable, so it is tested natively.
#pragma once

namespace app {

struct Box {
  int X = 0, Y = 0, W = 0, H = 0;
  int Right() const { return X + W; }
  int Bottom() const { return Y + H; }
  bool operator==(const Box&) const = default;
};
struct Extent {
  int W = 0, H = 0;
  bool operator==(const Extent&) const = default;
};

// The main window's child windows, by control id (a program outside finds them by these too).
enum ControlId { kCoolBar1 = 1001, kToolBar1, kToolBar2, kStatusBar1, kPanel1, kPanel2, kStageItem, kTreeView1, kListBox1 };

// Design sizes.
inline constexpr int kClientWidth = 752, kClientHeight = 539;
inline constexpr int kPanel1Width = 164, kPaneMin = 150;
inline constexpr int kSplitterSize = 4, kSplitter2Min = 30;
inline constexpr int kStageHeight = 320;
inline constexpr int kTreeHeight = 79;
inline constexpr int kPaintAreaWidth = 150, kPaintAreaHeight = 300;
inline constexpr int kStatusPanels[3] = {150, 200, 50};
inline constexpr unsigned kPanelColor = 0xC0FFFF;  // light yellow, 0x00BBGGRR

// Shelf books.
inline constexpr int kBookWidth = 50, kBookHeight = 280, kBookPitch = 52;
inline constexpr int kSpareWidth = 100;
inline constexpr unsigned kShelfStripBudget = 512000;

// The panes of the main window's client area, top to bottom and left to right.
struct MainPanes {
  Box CoolBar, Panel1, Splitter1, Panel2, StatusBar;
};
// panel1Width is the wanted width; it is kept between kPaneMin and what leaves Panel2 its
// minimum too (when the window is too narrow for both, Panel1 wins).
MainPanes LayoutMain(int clientW, int clientH, int coolBarH, int statusH, int panel1Width);

// Inside Panel2 (its inner area after bevel and border): tree, horizontal splitter, list.
struct Panel2Panes {
  Box Tree, Splitter2, List;
};
Panel2Panes LayoutPanel2(int innerW, int innerH, int treeHeight);

// A splitter dragged to want: the result keeps both neighbours at least min (the first
// neighbour wins when there is no room for both).
int ClampSplit(int want, int total, int min);

// The shelf strip built from a tile: as many whole tiles across as fit in the byte budget at
// 3 bytes per pixel, at least one, and the paint area's height.
Extent ShelfStripSize(int tileW, int tileH, int areaH);

// Where book n (1-based) stands in the scroll box, given the paint area's current left.
inline int BookLeft(int n, int paintLeft) { return kBookPitch * n - kBookPitch + paintLeft; }

// Growth of the paint area's width: it only grows.
int PaintWidthAfterLoad(int width, int albums);
int PaintWidthAfterNewBook(int width, int bookRightOnShelf);
int PaintWidthAfterResize(int width, int scrollBoxWidth);

// Thumbnail size of an index 1..5 (any other index is shown as 3), and the list item size.
Extent ThumbSizeOf(int index);
Extent ListItemSize(int thumbSize, bool showRemarks);

}  // namespace app
