#include "catalogue/list_item_draw.h"

#include "catalogue/thumbnail_draw.h"
#include "win/canvas.h"

void DrawFileItem(HDC dc, RECT r, const TFileItem& item, bool selected, int thumbWidth, int thumbHeight,
                  int colorDepth) {
  win::Canvas canvas(dc);
  canvas.FillRect(r, win::SysColor(COLOR_BTNFACE));
  const std::uint32_t light = win::SysColor(COLOR_BTNHIGHLIGHT), shadow = win::SysColor(COLOR_BTNSHADOW);
  const LONG L = r.left, T = r.top, R = r.right, B = r.bottom;
  if (selected) {
    const POINT dark[] = {{L, B - 1}, {L, T}, {R - 1, T}}, lit[] = {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}};
    canvas.PolyLine(dark, shadow);
    canvas.PolyLine(lit, light);
    ++r.left, ++r.top;
  } else {
    const POINT lit[] = {{L, B - 1}, {L, T}, {R - 1, T}}, dark[] = {{L + 1, B - 2}, {R - 2, B - 2}, {R - 2, T}},
                black[] = {{L, B - 1}, {R - 1, B - 1}, {R - 1, T - 1}};
    canvas.PolyLine(lit, light);
    canvas.PolyLine(dark, shadow);
    canvas.PolyLine(black, 0);
  }
  FontDesc font;
  font.Name = "ＭＳ ゴシック";
  font.Bold = selected;
  canvas.TextRect({r.left + 4, r.top + 2, R - 3, r.top + 17}, r.left + 4, r.top + 2, item.Name, font);
  if (item.Entry && item.Entry->Thumbnail)
    DrawThumbnail(canvas, *item.Entry->Thumbnail, r.left + 2, r.top + 16, thumbWidth, thumbHeight, colorDepth);
}
