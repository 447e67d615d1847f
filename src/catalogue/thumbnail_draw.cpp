#include "catalogue/thumbnail_draw.h"

void DrawThumbnail(win::Canvas& canvas, const TThumbnail& thumbnail, int x, int y, int w, int h, int colorDepth) {
  const bool halftone = colorDepth <= 8;
  canvas.DrawPixels(thumbnail.Pixels(), x, y, w, h, halftone ? HALFTONE : COLORONCOLOR);
  // HALFTONE leaves the brush origin undefined; the next pattern fill expects (0, 0).
  if (halftone) SetBrushOrgEx(canvas.Dc(), 0, 0, nullptr);
}
