// A windowless filled rectangle in one colour, without outline (a drop shadow, a divider).
#pragma once
#include <cstdint>

#include "win/window.h"

namespace win {

class Shape : public GraphicControl {
 public:
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color) {
    color_ = color;
    Invalidate();
  }
  void Paint(Canvas& canvas) override { canvas.FillRect({0, 0, Width(), Height()}, color_); }

 private:
  std::uint32_t color_ = 0;
};

}  // namespace win
