#include "print/koumoku_size.h"

#include <algorithm>
#include <cstdio>

print::Rect GetCellRect(const TKoumokuSize& style) {
  int right = style.PictureRect.Right, bottom = style.PictureRect.Bottom;
  for (const TRectExt* a : {&style.ExtraBoxArea, &style.ExtraLineArea, &style.SizeArea, &style.CaptionArea}) {
    if (!a->Visible) continue;
    right = std::max(right, a->Rect.Right);
    bottom = std::max(bottom, a->Rect.Bottom);
  }
  return {0, 0, right + 1, bottom + 1};
}

std::vector<TKoumokuSize> MakePrintStyles() {
  struct Row {
    const char* title;
    print::Rect picture, caption, size, extraLine, extraBox;
  };
  // The titles keep their blanks: the list aligns the small sizes under the wide names.
  static const Row rows[] = {
      {"極小(12x9mm)", {1, 6, 13, 15}, {1, 1, 49, 5}, {14, 6, 49, 10}, {14, 11, 49, 15}, {1, 16, 49, 26}},
      {" 小 (24x18mm)", {1, 6, 25, 24}, {1, 1, 60, 5}, {26, 6, 60, 10}, {26, 11, 60, 15}, {1, 25, 60, 35}},
      {" 中 (36x27mm)", {1, 6, 37, 33}, {1, 1, 64, 5}, {1, 34, 36, 38}, {38, 34, 64, 38}, {38, 6, 64, 33}},
      {" 大 (48x36mm)", {1, 6, 49, 42}, {1, 1, 49, 5}, {1, 43, 49, 47}, {1, 47, 49, 51}, {1, 52, 49, 62}},
      {"特大(60x45mm)", {1, 6, 61, 51}, {1, 1, 61, 5}, {1, 52, 36, 56}, {37, 52, 61, 56}, {1, 57, 61, 67}},
  };
  FontDesc small;
  small.Name = "ＭＳ ゴシック";
  small.SetPoints(9);
  FontDesc caption = small;
  caption.SetPoints(11);

  std::vector<TKoumokuSize> styles;
  for (const Row& r : rows) {
    TKoumokuSize s;
    s.Title = r.title;
    s.CaptionArea.Rect = r.caption;
    s.CaptionArea.Font = caption;
    s.SizeArea.Rect = r.size;
    s.ExtraLineArea.Rect = r.extraLine;
    s.ExtraBoxArea.Rect = r.extraBox;
    for (TRectExt* a : {&s.SizeArea, &s.ExtraLineArea, &s.ExtraBoxArea}) a->Font = small;
    s.PictureRect = r.picture;
    styles.push_back(std::move(s));
  }
  return styles;
}

std::string StyleListText(const TKoumokuSize& style) {
  const print::Rect cell = GetCellRect(style);
  char sizes[64];
  std::snprintf(sizes, sizeof sizes, "\r\n横 %3dmm\r\n縦 %3dmm", cell.Right, cell.Bottom);
  return style.Title + sizes;
}
