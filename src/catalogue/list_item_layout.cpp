#include "catalogue/list_item_layout.h"

TListItemLayout LayoutListItem(TItemRect item, bool selected, int thumbW, int thumbH, int lineHeight) {
  constexpr int kMargin = 2;
  const int L = item.Left + (selected ? 1 : 0), T = item.Top + (selected ? 1 : 0);
  const int R = item.Right, B = item.Bottom;
  const int x = L + thumbW + 2 * kMargin;
  TListItemLayout out;
  out.Name = {L + 4, T + 2, R - 3, T + 17};
  out.Thumbnail = {L + kMargin, T + 16, L + kMargin + thumbW, T + 16 + thumbH};
  out.SizeLine = {x, T + lineHeight, R - 3, B - 3};
  out.DateLine = {x, T + 2 * lineHeight, R - 3, B - 3};
  out.Comment = {x, T + 3 * lineHeight, R - 3, B - 3};
  return out;
}
