// A windowless paint area: whatever its owner draws in OnPaint, inside its bounds.
#pragma once
#include <functional>

#include "win/window.h"

namespace win {

class PaintBox : public GraphicControl {
 public:
  std::function<void(Canvas&)> OnPaint;
  void Paint(Canvas& canvas) override {
    if (OnPaint) OnPaint(canvas);
  }
};

}  // namespace win
