#include "viewer/view_geometry.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace viewer {

Extent PaintExtent(Extent picture, int zoom) {
  return {static_cast<int>(static_cast<std::int64_t>(picture.W) * zoom / 100),
          static_cast<int>(static_cast<std::int64_t>(picture.H) * zoom / 100)};
}

Bounds FitToScreen(Bounds window, Extent client, Extent paint, Extent screen, int minWidth) {
  int w = std::max(paint.W + (window.W - client.W), minWidth), h = paint.H + (window.H - client.H);
  if (w + kScreenMargin > screen.W) w = screen.W - kScreenMargin;
  if (h + kScreenMargin > screen.H) h = screen.H - kScreenMargin;
  int x = window.X, y = window.Y;
  if (x + w > screen.W) x = screen.W - w;
  if (y + h > screen.H) y = screen.H - h;
  return {x, y, w, h};
}

Bounds FitOnScreen(Extent picture, Extent screen) {
  if (picture.W <= 0 || picture.H <= 0) return {screen.W / 2, screen.H / 2, 0, 0};
  int w = picture.W, h = picture.H;
  // The side that meets the screen first decides; the other follows, rounded to the nearest.
  if (w > screen.W || h > screen.H) {
    if (static_cast<std::int64_t>(w) * screen.H >= static_cast<std::int64_t>(h) * screen.W) {
      h = static_cast<int>((static_cast<std::int64_t>(h) * screen.W * 2 + w) / (2 * static_cast<std::int64_t>(w)));
      w = screen.W;
    } else {
      w = static_cast<int>((static_cast<std::int64_t>(w) * screen.H * 2 + h) / (2 * static_cast<std::int64_t>(h)));
      h = screen.H;
    }
    w = std::max(w, 1), h = std::max(h, 1);
  }
  return {(screen.W - w) / 2, (screen.H - h) / 2, w, h};
}

Point CascadeAt(Point anchor, int n) {
  constexpr int kStep = 24, kSteps = 8;
  const int k = (n % kSteps + kSteps) % kSteps;
  return {anchor.X + k * kStep, anchor.Y + k * kStep};
}

int DragScrollPosition(int dragStart, int scrollPos, int mouse) { return std::max(0, dragStart + scrollPos - mouse); }

SpanMap SourceSpan(Span damaged, int sourceLength, int paintLength) {
  if (sourceLength <= 0 || paintLength <= 0) return {};
  const int from = std::max(damaged.From, 0), to = std::min(damaged.To, paintLength);
  if (from >= to) return {};
  // Paint pixel d shows source pixel d * source div paint.
  const std::int64_t src = sourceLength, dst = paintLength, g = std::gcd(src, dst), pd = dst / g, ps = src / g;
  if (pd <= 64) {
    // Every pd paint pixels show exactly ps source pixels: the span widened to whole periods
    // is drawn by a stretch of the very same ratio as the whole picture's.
    const std::int64_t e0 = from / pd * pd, e1 = std::min((to + pd - 1) / pd * pd, dst);
    return {{static_cast<int>(e0 / pd * ps), static_cast<int>(e1 / pd * ps)},
            {static_cast<int>(e0), static_cast<int>(e1)}};
  }
  // Sizes without a short period (a picture side that the zoom does not divide): the source
  // pixels `from` .. `to - 1` show, and the paint pixels that show them, each end rounded up
  // the same way for every span, so that neighbouring paints meet without a seam.
  const int s0 = static_cast<int>(from * src / dst);
  const int s1 = static_cast<int>((to - 1) * src / dst + 1);
  auto place = [&](std::int64_t s) { return static_cast<int>((s * dst + src - 1) / src); };
  return {{s0, s1}, {place(s0), place(s1)}};
}

int ReadyPaintLength(int ready, int sourceLength, int paintLength) {
  if (sourceLength <= 0 || paintLength <= 0 || ready <= 0) return 0;
  if (ready >= sourceLength) return paintLength;
  // The same two cases as SourceSpan: whole periods of the short ratio, or the paint pixels
  // that show only source pixels before `ready`.
  const std::int64_t src = sourceLength, dst = paintLength, g = std::gcd(src, dst), pd = dst / g, ps = src / g;
  if (pd <= 64) return static_cast<int>(ready / ps * pd);
  return static_cast<int>((ready * dst + src - 1) / src);
}

}  // namespace viewer
