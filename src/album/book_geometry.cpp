#include "album/book_geometry.h"

#include <cmath>
#include <cstdlib>

namespace book {

namespace {
// Fractions of the width taken by the six shading bands, innermost band last.
constexpr double kBandWidths[6] = {0.01112, 0.02224, 0.03335, 0.04446, 0.05554, 0.06662};

std::uint32_t Rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16;
}
}  // namespace

int ClampColorRate(int rate) {
  return rate < kMinColorRate ? kMinColorRate : rate > kMaxColorRate ? kMaxColorRate : rate;
}

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

BookLayout LayoutBook(int W, int H, std::uint32_t color, int rate) {
  constexpr int T = kTopViewHeight;
  rate = ClampColorRate(rate);
  BookLayout L;

  L.pagesTop = {0, 3, W, T + 4};
  int m = (W - 1) / 3;
  int x0 = (W - 3 * m) / 2;
  for (int i = 0; i <= m; ++i) L.pageLines.push_back(x0 + 3 * i);
  L.edgeLineFrom = {0, 2};
  L.edgeLineTo = {W - 1, 2};
  L.leftCover = {0, 0, 2, T};
  L.rightCover = {W - 2, 0, W, T};

  double sums[6];
  double run = 0;
  for (int k = 0; k < 6; ++k) sums[k] = run += kBandWidths[k];
  const double steps[3] = {sums[1], sums[3], sums[5]};
  for (int j = 0; j < 3; ++j) {
    L.a[j] = RoundEven(W * steps[j]);
    L.b[j] = W - 1 - L.a[j];
  }
  const auto& a = L.a;
  const auto& b = L.b;
  L.spine = {{{0, T},          {a[0], T},       {a[0], T + 1},   {a[1], T + 1},   {a[1], T + 2},
              {a[2], T + 2},   {a[2], T + 3},   {b[2], T + 3},   {b[2], T + 2},   {b[1], T + 2},
              {b[1], T + 1},   {b[0], T + 1},   {b[0], T},       {W - 1, T},      {W - 1, H - 4},
              {b[0], H - 4},   {b[0], H - 3},   {b[1], H - 3},   {b[1], H - 2},   {b[2], H - 2},
              {b[2], H - 1},   {a[2], H - 1},   {a[2], H - 2},   {a[1], H - 2},   {a[1], H - 3},
              {a[0], H - 3},   {a[0], H - 4},   {0, H - 4}}};

  const int r0 = color & 0xFF, g0 = color >> 8 & 0xFF, b0 = color >> 16 & 0xFF;
  int r = r0, g = g0, bl = b0;
  for (int i = 0; i < 6; ++i) {
    int k = 5 - i;
    r = rate * r / 100;
    g = rate * g / 100;
    bl = rate * bl / 100;
    int left = W - 1 - RoundEven(W * sums[k]);
    int right = left + RoundEven(W * kBandWidths[k] + 0.5);
    L.shadows[i] = {{left, T + 3 - i / 2, right, H - 2 - i / 2}, Rgb(r, g, bl)};
  }
  r = r0, g = g0, bl = b0;
  for (int i = 0; i < 6; ++i) {
    int k = 5 - i;
    r = 255 - rate * (255 - r) / 100;
    g = 255 - rate * (255 - g) / 100;
    bl = 255 - rate * (255 - bl) / 100;
    int right = RoundEven(W * sums[k]) + 1;
    int left = right - RoundEven(W * kBandWidths[k] + 0.5);
    L.highlights[i] = {{left, T + 3 - i / 2, right, H - 2 - i / 2}, Rgb(r, g, bl)};
  }
  return L;
}

CaptionPlace PlaceCaption(int W, int H, int fontHeight) {
  constexpr int T = kTopViewHeight;
  int h = std::abs(fontHeight);
  int x = (W - h) / 2;
  return {{x + h, T + 10}, {x, T + 5, x + h, H - 7}};
}

std::string VerticalFace(std::string_view face) {
  // The first byte of a text always starts a character, so this test is safe in Shift-JIS.
  if (!face.empty() && face.front() == '@') return std::string(face);
  return "@" + std::string(face);
}

}  // namespace book
