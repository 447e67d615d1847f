// A splitter bar between two panes: dragging it with the left button resizes the pane it
// belongs to, live. The owner reads and sets that pane's size (and keeps the minimums).
#pragma once
#include <functional>

#include "win/window.h"

namespace win {

class Splitter : public Window {
 public:
  // vertical: a bar between a left and a right pane, dragged sideways.
  void Create(HWND parent, bool vertical, std::uint32_t color);
  std::function<int()> GetSize;
  std::function<void(int)> SetSize;
  bool Dragging() const { return dragging_; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool vertical_ = true;
  bool dragging_ = false;
  int startSize_ = 0;
  int startPos_ = 0;
  Brush brush_;
  int ScreenPos() const;
};

}  // namespace win
