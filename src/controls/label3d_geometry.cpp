#include "controls/label3d_geometry.h"

#include <cstdlib>

namespace label3d {

namespace {
Rect Moved(Rect r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
}  // namespace

Layout LayoutLabel(TLabelStyle style, int shadowX, int shadowY, const Metrics& m, bool autoSize, int width) {
  const bool shadow = style == lsShadow;
  Layout L;
  L.height = m.textHeight + 2 + (shadow ? std::abs(shadowY) : 0);
  int extraWidth = m.italic ? m.points / 3 : 0;
  if (shadow) extraWidth += std::abs(shadowX);
  L.width = autoSize ? m.textWidth + 2 + extraWidth : width;

  const Rect all{0, 0, L.width, L.height};
  if (shadow) {
    // Face and shadow are the same size; whichever way an offset points, the shadow lies
    // that way from the face and both stay inside the label.
    L.lower = Moved(all, shadowX > 0 ? shadowX : 0, shadowY > 0 ? shadowY : 0);
    L.face = Moved(all, shadowX < 0 ? -shadowX : 0, shadowY < 0 ? -shadowY : 0);
  } else {
    L.lower = {2, 2, L.width, L.height};
    L.hasUpper = true;
    L.upper = {0, 0, L.width - 2, L.height - 2};
    L.face = {1, 1, L.width - 1, L.height - 1};
  }
  return L;
}

}  // namespace label3d
