// The viewer's arithmetic, free of Windows: the paint area's size at a zoom, the window's
// bounds fitted to the paint area and the screen, the scroll positions a drag gives, and the
// part of the source picture that a damaged part of the paint area shows.
#pragma once

namespace viewer {

constexpr int kMinZoom = 25, kMaxZoom = 400;
// What a window fitted to the screen leaves of it, each way.
constexpr int kScreenMargin = 10;

struct Extent {
  int W = 0, H = 0;
  bool operator==(const Extent&) const = default;
};
struct Bounds {
  int X = 0, Y = 0, W = 0, H = 0;
  bool operator==(const Bounds&) const = default;
};

// The paint area of a picture at a zoom in percent: each side times the zoom div 100.
Extent PaintExtent(Extent picture, int zoom);

// The window's bounds fitted to its paint area and the screen. window: its bounds now;
// client: its client size now (the frame and any scroll bars are what lies between the two).
// The size is the paint area plus that frame, at least minWidth wide (room for the caption),
// at most the screen less kScreenMargin in each direction; the window then moves left and up
// as far as it must to stay on the screen.
Bounds FitToScreen(Bounds window, Extent client, Extent paint, Extent screen, int minWidth = 0);

// Where a picture stands on the whole screen: reduced to fit, keeping its proportions (never
// enlarged), in the middle.
Bounds FitOnScreen(Extent picture, Extent screen);

// Where the n-th viewer open (from 0) first stands: at the anchor (the main window's list),
// each next one a step down and right of the one before, starting over after eight.
struct Point {
  int X = 0, Y = 0;
  bool operator==(const Point&) const = default;
};
Point CascadeAt(Point anchor, int n);

// A drag's scroll position on one axis: where the left button went down and where the mouse
// is now, both in paint-area coordinates, and the scroll position now. Never below 0; the
// scroll bar itself keeps the position within its range.
int DragScrollPosition(int dragStart, int scrollPos, int mouse);

// The source pixels that one damaged span [From, To) of the paint area shows, and where those
// source pixels land in the paint area: Dest covers the damaged span, and drawing Source
// stretched into Dest draws exactly what the whole picture stretched into the whole paint
// area draws there. Empty (Source.From == Source.To) when the span misses the picture.
struct Span {
  int From = 0, To = 0;
  bool operator==(const Span&) const = default;
};
struct SpanMap {
  Span Source, Dest;
  bool operator==(const SpanMap&) const = default;
};
SpanMap SourceSpan(Span damaged, int sourceLength, int paintLength);

// While a picture is decoded: how far from the start the paint area can be drawn from the
// first `ready` source pixels alone, i.e. the longest start [0, n) whose SourceSpan (and that
// of any span ending there) reads no source pixel at or past `ready`. The whole paint length
// once every pixel is ready.
int ReadyPaintLength(int ready, int sourceLength, int paintLength);

}  // namespace viewer
