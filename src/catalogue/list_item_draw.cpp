#include "catalogue/list_item_draw.h"

#include <cstdlib>

#include "catalogue/item_text.h"
#include "catalogue/list_item_layout.h"
#include "catalogue/thumbnail_draw.h"
#include "win/canvas.h"
#include "win/text.h"

namespace {

FontDesc ItemFont(bool bold) {
  FontDesc font;
  font.Name = "ＭＳ ゴシック";
  font.Bold = bold;
  return font;
}

RECT ToRect(const TItemRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

// A text at its rectangle's top-left corner, clipped to the rectangle.
void ClippedText(HDC dc, const TItemRect& box, std::string_view text) {
  const RECT clip = ToRect(box);
  const std::wstring w = win::Wide(text);
  ExtTextOutW(dc, box.Left, box.Top, ETO_CLIPPED, &clip, w.c_str(), static_cast<UINT>(w.size()), nullptr);
}

// Lines with the DC's own pen (DC_PEN), whose colour is set per line: no pen is made per item.
void PenLine(HDC dc, COLORREF color, std::initializer_list<POINT> points) {
  SetDCPenColor(dc, color);
  Polyline(dc, points.begin(), static_cast<int>(points.size()));
}

}  // namespace

TListItemDrawer::TListItemDrawer()
    : normal_(win::CreateFontFrom(ItemFont(false))),
      bold_(win::CreateFontFrom(ItemFont(true))),
      lineHeight_(std::abs(ItemFont(false).Height) + 2) {}

void TListItemDrawer::Draw(HDC dc, const RECT& r, const TFileItem& item, bool selected, int thumbWidth,
                           int thumbHeight, bool showRemarks, int colorDepth) const {
  const int saved = SaveDC(dc);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  SelectObject(dc, GetStockObject(DC_PEN));
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  const LONG L = r.left, T = r.top, R = r.right, B = r.bottom;
  // Each line's end point is not drawn.
  if (selected) {
    PenLine(dc, shadow, {{L, B - 1}, {L, T}, {R - 1, T}});
    PenLine(dc, light, {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}});
  } else {
    PenLine(dc, light, {{L, B - 1}, {L, T}, {R - 1, T}});
    PenLine(dc, shadow, {{L + 1, B - 2}, {R - 2, B - 2}, {R - 2, T}});
    PenLine(dc, RGB(0, 0, 0), {{L, B - 1}, {R - 1, B - 1}, {R - 1, T - 1}});
  }

  const TListItemLayout at = LayoutListItem({L, T, R, B}, selected, thumbWidth, thumbHeight, lineHeight_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  SelectObject(dc, selected ? bold_ : normal_);
  ClippedText(dc, at.Name, item.Name);
  if (const TPictureEntry* e = item.Entry.get()) {
    SelectObject(dc, normal_);
    if (showRemarks) {
      ClippedText(dc, at.SizeLine, PixelSizeText(*e));
      if (const std::string date = DateLine(*e); !date.empty()) ClippedText(dc, at.DateLine, date);
      if (!e->Comment.empty()) {
        // Japanese text has no spaces to break at: a line too long for the column breaks
        // between characters, as an edit box would break it. An edit box's wrapping also
        // leaves out a line that does not fit whole; the box reaches a line further down and
        // the clip cuts the last line at the bottom instead. "&" is shown as it is.
        // The clip holds for the comment only: the thumbnail drawn next lies outside it.
        const int beforeClip = SaveDC(dc);
        const RECT clip = ToRect(at.Comment);
        IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        RECT box = clip;
        box.bottom += lineHeight_;
        const std::wstring w = win::Wide(e->Comment);
        DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &box, DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        RestoreDC(dc, beforeClip);
      }
    }
    if (e->Thumbnail) {
      win::Canvas canvas(dc);
      DrawThumbnail(canvas, *e->Thumbnail, at.Thumbnail.Left, at.Thumbnail.Top, thumbWidth, thumbHeight,
                    colorDepth);
    }
  }
  RestoreDC(dc, saved);
}
