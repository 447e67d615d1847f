#include "viewer/view_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace viewer;

TEST(ViewGeometry, PaintExtentDividesWholeNumbers) {
  EXPECT_EQ(PaintExtent({1000, 800}, 25), (Extent{250, 200}));
  EXPECT_EQ(PaintExtent({1000, 800}, 400), (Extent{4000, 3200}));
  EXPECT_EQ(PaintExtent({3, 3}, 75), (Extent{2, 2}));
  EXPECT_EQ(PaintExtent({3, 1}, 25), (Extent{0, 0}));
  // A 12-megapixel photograph at 400 % does not overflow.
  EXPECT_EQ(PaintExtent({4000, 3000}, 400), (Extent{16000, 12000}));
}

TEST(ViewGeometry, FitKeepsTheFrameAndStaysOnScreen) {
  const Extent screen{1280, 1024};
  // A small picture: the window is the paint area plus its frame (16 x 38 here), where it was.
  EXPECT_EQ(FitToScreen({100, 80, 270, 250}, {254, 212}, {250, 200}, screen), (Bounds{100, 80, 266, 238}));
  // 1000 x 800 at 400 %: capped at the screen less 10, and moved so that it stays on it.
  EXPECT_EQ(FitToScreen({100, 80, 4020, 3250}, {3987, 3195}, {4000, 3200}, screen), (Bounds{10, 10, 1270, 1014}));
  // Just fits: W + 10 == screen width is not capped.
  EXPECT_EQ(FitToScreen({0, 0, 100, 100}, {100, 100}, {1270, 500}, screen), (Bounds{0, 0, 1270, 500}));
  // Moved back from the right and bottom edges without shrinking.
  EXPECT_EQ(FitToScreen({1200, 1000, 100, 100}, {84, 62}, {300, 200}, screen), (Bounds{964, 786, 316, 238}));
}

TEST(ViewGeometry, ATinyPictureGetsRoomForItsCaption) {
  const Extent screen{1280, 1024};
  // A 3 x 3 picture: the window is as wide as its caption needs, its height the picture's.
  EXPECT_EQ(FitToScreen({100, 80, 136, 60}, {120, 22}, {3, 3}, screen, 420), (Bounds{100, 80, 420, 41}));
  // A wide picture needs no more; a caption longer than the screen is cut at the screen.
  EXPECT_EQ(FitToScreen({0, 0, 100, 100}, {84, 62}, {600, 200}, screen, 420), (Bounds{0, 0, 616, 238}));
  EXPECT_EQ(FitToScreen({500, 0, 100, 100}, {84, 62}, {3, 3}, screen, 5000), (Bounds{10, 0, 1270, 41}));
}

TEST(ViewGeometry, FullScreenReducesToFitAndCentres) {
  const Extent screen{1280, 1024};
  // A 12-megapixel photograph: its width meets the screen first.
  EXPECT_EQ(FitOnScreen({4000, 3000}, screen), (Bounds{0, 32, 1280, 960}));
  // A portrait one: its height.
  EXPECT_EQ(FitOnScreen({3000, 4000}, screen), (Bounds{256, 0, 768, 1024}));
  // A small one stays at its size, in the middle.
  EXPECT_EQ(FitOnScreen({100, 50}, screen), (Bounds{590, 487, 100, 50}));
  EXPECT_EQ(FitOnScreen({1280, 1024}, screen), (Bounds{0, 0, 1280, 1024}));
  // A thread-thin one keeps a pixel.
  EXPECT_EQ(FitOnScreen({100000, 1}, screen), (Bounds{0, 511, 1280, 1}));
  EXPECT_EQ(FitOnScreen({0, 0}, screen), (Bounds{640, 512, 0, 0}));
}

TEST(ViewGeometry, ViewersCascadeFromTheList) {
  EXPECT_EQ(CascadeAt({300, 120}, 0), (Point{300, 120}));
  EXPECT_EQ(CascadeAt({300, 120}, 2), (Point{348, 168}));
  EXPECT_EQ(CascadeAt({300, 120}, 8), (Point{300, 120}));
}

TEST(ViewGeometry, DragScrollsAgainstTheMouseAndStopsAtTheStart) {
  // Grabbed at x 300 with the view at 100; the mouse moves 40 to the left: the view goes right.
  EXPECT_EQ(DragScrollPosition(300, 100, 260), 140);
  EXPECT_EQ(DragScrollPosition(300, 100, 340), 60);
  // Past the start stops at 0.
  EXPECT_EQ(DragScrollPosition(300, 100, 500), 0);
}

TEST(ViewGeometry, SourceSpanOfADamagedSpan) {
  // 400 %: whole source pixels, exactly four paint pixels each.
  EXPECT_EQ(SourceSpan({100, 200}, 4000, 16000), (SpanMap{{25, 50}, {100, 200}}));
  EXPECT_EQ(SourceSpan({101, 199}, 4000, 16000), (SpanMap{{25, 50}, {100, 200}}));
  // A damaged span reaching past the paint area is cut at its end.
  EXPECT_EQ(SourceSpan({15990, 17000}, 4000, 16000), (SpanMap{{3997, 4000}, {15988, 16000}}));
  EXPECT_EQ(SourceSpan({16000, 17000}, 4000, 16000), SpanMap{});
  EXPECT_EQ(SourceSpan({-5, 3}, 10, 0), SpanMap{});
  // 75 % of 3 is 2: the two paint pixels show the three source pixels together.
  EXPECT_EQ(SourceSpan({1, 2}, 3, 2), (SpanMap{{0, 3}, {0, 2}}));
  // 25 %: four source pixels to one paint pixel; 75 %: four to three, spans widened to threes.
  EXPECT_EQ(SourceSpan({10, 20}, 4000, 1000), (SpanMap{{40, 80}, {10, 20}}));
  EXPECT_EQ(SourceSpan({10, 20}, 4000, 3000), (SpanMap{{12, 28}, {9, 21}}));
  // No short period (4001 at 75 % is 3000): the source pixels the span shows, no more.
  EXPECT_EQ(SourceSpan({300, 303}, 4001, 3000), (SpanMap{{400, 403}, {300, 303}}));
}

TEST(ViewGeometry, SourceSpansOfNeighbouringPaintsAgree) {
  // Every paint pixel of any damaged span is drawn from the source pixel the whole stretch
  // gives it, at every zoom, whatever the spans.
  for (int zoom : {25, 50, 75, 100, 200, 300, 400})
    for (int source : {1, 3, 7, 101, 640}) {
      const int paint = PaintExtent({source, 1}, zoom).W;
      for (int from = 0; from < paint; from += 3)
        for (int to = from + 1; to <= paint && to < from + 40; to += 5) {
          SpanMap m = SourceSpan({from, to}, source, paint);
          ASSERT_LE(m.Dest.From, from);
          ASSERT_GE(m.Dest.To, to);
          for (int d = m.Dest.From; d < m.Dest.To; ++d) {
            int s = static_cast<int>(static_cast<long long>(d) * source / paint);
            ASSERT_GE(s, m.Source.From) << zoom << " " << source << " " << d;
            ASSERT_LT(s, m.Source.To) << zoom << " " << source << " " << d;
          }
        }
    }
}

TEST(ViewGeometry, APartlyDecodedPictureIsDrawnOnlyFromItsReadyRows) {
  // Drawing any span that ends within the ready length reads only ready source rows; one
  // paint row more would read a row not yet decoded (or there is none to read).
  for (int zoom : {25, 50, 75, 100, 200, 300, 400})
    for (int source : {1, 3, 7, 101, 640, 4001}) {
      const int paint = PaintExtent({source, 1}, zoom).W;
      for (int ready = 0; ready <= source; ready += ready < 20 ? 1 : 37) {
        const int n = ReadyPaintLength(ready, source, paint);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, paint);
        for (int from = std::max(0, n - 70); from < n; from += 7)
          ASSERT_LE(SourceSpan({from, n}, source, paint).Source.To, ready) << zoom << " " << source << " " << ready;
        if (n < paint) {
          ASSERT_GT(SourceSpan({n, n + 1}, source, paint).Source.To, ready) << zoom << " " << source << " " << ready;
        }
      }
      EXPECT_EQ(ReadyPaintLength(source, source, paint), paint);
    }
}
