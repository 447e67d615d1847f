// Where the parts of a thumbnail list item go inside the item's rectangle: the name, the
// thumbnail and the remarks column's three parts. Portable, so it is tested natively.
#pragma once

struct TItemRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TItemRect&) const = default;
};

// Each text is drawn at its rectangle's top-left corner and clipped to the rectangle; the
// comment is word-wrapped inside its rectangle. The selected item's content lies one pixel
// further right and down (its frame is sunken).
struct TListItemLayout {
  TItemRect Name;
  TItemRect Thumbnail;
  TItemRect SizeLine, DateLine, Comment;  // the remarks column
};

// item: the item's rectangle; thumbW x thumbH: the list's thumbnail size; lineHeight: the
// remarks' line height (the font's height + 2).
TListItemLayout LayoutListItem(TItemRect item, bool selected, int thumbW, int thumbH, int lineHeight);
