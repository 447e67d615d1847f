// A scroll box that scrolls sideways only: it hosts windowless controls and, when they reach
// past its right edge, shows a horizontal scroll bar. Scrolling moves the hosted controls,
// so a control's left is always in the box's client coordinates (negative when scrolled off).
#pragma once
#include <functional>

#include "win/window.h"

namespace win {

class ScrollBox : public Window {
 public:
  void Create(HWND parent, int id);
  // Recomputes the scroll range from the hosted controls; call after they move or grow.
  void UpdateRange();
  int Position() const { return pos_; }
  // Scrolls to a position (clamped to the range).
  void ScrollTo(int pos);
  std::function<void()> OnResize;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int pos_ = 0;
  int range_ = 0;
  bool updating_ = false;
  int MaxPosition() const;
};

}  // namespace win
