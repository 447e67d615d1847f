#include "app/main_layout.h"

#include <algorithm>

namespace app {

int ClampSplit(int want, int total, int min) { return std::max(min, std::min(want, total - min)); }

MainPanes LayoutMain(int clientW, int clientH, int coolBarH, int statusH, int panel1Width) {
  MainPanes p;
  p.CoolBar = {0, 0, clientW, coolBarH};
  int top = coolBarH;
  int middle = std::max(0, clientH - coolBarH - statusH);
  p.StatusBar = {0, clientH - statusH, clientW, statusH};
  int w1 = ClampSplit(panel1Width, clientW - kSplitterSize, kPaneMin);
  p.Panel1 = {0, top, w1, middle};
  p.Splitter1 = {w1, top, kSplitterSize, middle};
  p.Panel2 = {w1 + kSplitterSize, top, std::max(0, clientW - w1 - kSplitterSize), middle};
  return p;
}

Panel2Panes LayoutPanel2(int innerW, int innerH, int treeHeight) {
  Panel2Panes p;
  int tree = std::max(0, std::min(treeHeight, innerH - kSplitterSize));
  p.Tree = {0, 0, innerW, tree};
  p.Splitter2 = {0, tree, innerW, kSplitterSize};
  p.List = {0, tree + kSplitterSize, innerW, std::max(0, innerH - tree - kSplitterSize)};
  return p;
}

Extent ShelfStripSize(int tileW, int tileH, int areaH) {
  if (tileW <= 0 || tileH <= 0 || areaH <= 0) return {std::max(tileW, 0), std::max(areaH, 0)};
  unsigned long long column = static_cast<unsigned long long>(areaH) * static_cast<unsigned>(tileW) * 3u;
  unsigned long long n = kShelfStripBudget / column;
  // A tile whose single column exceeds the budget would give an empty strip: keep one tile.
  if (n == 0) n = 1;
  return {static_cast<int>(n) * tileW, areaH};
}

int PaintWidthAfterLoad(int width, int albums) {
  int need = albums * kBookPitch;
  return width < need ? need + kSpareWidth : width;
}

int PaintWidthAfterNewBook(int width, int bookRightOnShelf) {
  return width < bookRightOnShelf ? width + kSpareWidth : width;
}

int PaintWidthAfterResize(int width, int scrollBoxWidth) {
  return width < scrollBoxWidth ? scrollBoxWidth + 5 : width;
}

Extent ThumbSizeOf(int index) {
  static const int widths[] = {24, 48, 72, 96, 144};
  if (index < 1 || index > 5) index = 3;
  int w = widths[index - 1];
  return {w, w * 3 / 4};
}

Extent ListItemSize(int thumbSize, bool showRemarks) {
  Extent t = ThumbSizeOf(thumbSize);
  return {t.W + (showRemarks ? 150 : 6), t.H + 23};
}

}  // namespace app
