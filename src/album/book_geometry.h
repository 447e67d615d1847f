// Where a book's parts go and what colour they are, and where books stand on the shelf.
// Pure arithmetic, so every number of the drawing can be checked without a screen.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace book {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// Left, top, right, bottom; right and bottom excluded.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

struct Band {
  Rect rect;
  std::uint32_t color = 0;  // 0x00BBGGRR
};

inline constexpr int kTopViewHeight = 15;
inline constexpr int kMinColorRate = 60;
inline constexpr int kMaxColorRate = 100;

// The shading rate as the book uses it: kept within 60..100, so a band colour never leaves
// the 0..255 range of its byte.
int ClampColorRate(int rate);

// Nearest integer, halves to the even neighbour.
int RoundEven(double v);

struct BookLayout {
  Rect pagesTop;                  // white top view of the pages
  std::vector<int> pageLines;     // x of each grey vertical line over the pages
  Point edgeLineFrom, edgeLineTo; // the grey line along the pages' back edge
  Rect leftCover, rightCover;     // covers seen from above (outlined in black)
  std::array<int, 3> a{}, b{};    // the spine's curve steps from the left and from the right
  std::array<Point, 28> spine{};  // closed polygon of the spine
  std::array<Band, 6> shadows{};  // right side, darker band by band
  std::array<Band, 6> highlights{};  // left side, lighter band by band
};

// The drawing of a book W wide and H high in cover colour `color` and shading `rate`.
BookLayout LayoutBook(int width, int height, std::uint32_t color, int rate);

struct CaptionPlace {
  Point origin;  // text origin of the caption written top to bottom
  Rect clip;
};

// The caption of a book whose font has the given character height (sign ignored).
CaptionPlace PlaceCaption(int width, int height, int fontHeight);

// The face name of the vertical-writing form of a face: "@" in front unless already there.
std::string VerticalFace(std::string_view face);

}  // namespace book
