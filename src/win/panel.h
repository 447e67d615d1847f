// A panel: a child window filled with one colour, with a one-pixel raised bevel and a border
// of its own width inside it. Its children are laid out by its owner (OnResize) inside
// InnerRect. Child list boxes take the panel's colour; notifications of its children that
// their own objects do not take go on to the panel's parent, where the window's handlers are.
#pragma once
#include <cstdint>
#include <functional>

#include "win/window.h"

namespace win {

class Panel : public Window {
 public:
  void Create(HWND parent, int id, std::uint32_t color, int borderWidth);
  std::uint32_t Color() const { return color_; }
  // The client area inside the bevel and the border.
  RECT InnerRect() const;
  std::function<void()> OnResize;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  std::uint32_t color_ = 0;
  int border_ = 0;
  Brush brush_;
};

}  // namespace win
