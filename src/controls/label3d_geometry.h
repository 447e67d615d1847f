// Size and layer rectangles of a relief text label. Pure arithmetic, so the offsets and
// sizes can be checked without drawing.
#pragma once

enum TLabelStyle { lsCustom, lsLowered, lsRaised, lsShadow };

namespace label3d {

// Left, top, right, bottom; right and bottom excluded.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

struct Metrics {
  int textHeight = 0;  // height of "Wg" in the label's font
  int textWidth = 0;   // width of the caption
  bool italic = false;
  int points = 0;      // font size in points
};

struct Layout {
  int width = 0, height = 0;
  Rect lower;              // DownColor layer, or the shadow of lsShadow
  bool hasUpper = false;   // lsShadow has no upper layer
  Rect upper;              // UpColor layer
  Rect face;               // the caption itself
};

// The label's size and layers. The height always follows the font; the width follows the
// caption only when autoSize is true, else it stays `width`.
Layout LayoutLabel(TLabelStyle style, int shadowX, int shadowY, const Metrics& m, bool autoSize, int width);

}  // namespace label3d
