#include "catalogue/thumbnail_draw.h"

#include "win/error.h"

void DrawThumbnail(win::Canvas& canvas, const TThumbnail& thumbnail, int x, int y, int w, int h, int colorDepth) {
  const bool halftone = colorDepth <= 8;
  canvas.DrawPixels(thumbnail.Pixels(), x, y, w, h, halftone ? HALFTONE : COLORONCOLOR);
  // HALFTONE leaves the brush origin undefined; the next pattern fill expects (0, 0).
  if (halftone) SetBrushOrgEx(canvas.Dc(), 0, 0, nullptr);
}

win::Bitmap ThumbnailBitmap(const TThumbnail& thumbnail, int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win::Bitmap bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  HDC dc = CreateCompatibleDC(nullptr);
  if (!bitmap || !dc) {
    if (dc) DeleteDC(dc);
    throw Exception("ビットマップを作成できません");
  }
  {
    win::SelectGuard select(dc, bitmap);
    win::Canvas canvas(dc);
    canvas.DrawPixels(thumbnail.Pixels(), 0, 0, w, h, COLORONCOLOR);
    GdiFlush();
  }
  DeleteDC(dc);
  return bitmap;
}
