// A flat tool bar of picture buttons made from a table. Its notifications go to the window
// named with SetNotifyParent (a tool bar on a rebar band would otherwise tell the rebar).
#pragma once
#include <functional>
#include <span>
#include <string>

#include "win/window.h"

namespace win {

struct ToolButton {
  int Command = 0;         // 0 for a separator
  int Image = 0;           // index in the image list
  int SeparatorWidth = 0;  // for a separator
};

class ToolBar : public Control {
 public:
  void Create(HWND parent, int id, HIMAGELIST images, SIZE imageSize, SIZE buttonSize,
              std::span<const ToolButton> buttons);
  void SetNotifyParent(HWND parent);
  void SetButtonEnabled(int command, bool enabled);
  bool ButtonEnabled(int command) const;  // false when the bar has no such button
  // The width and height the buttons need.
  SIZE IdealSize() const;

  // The tool tip of a button (the short part of its hint).
  std::function<std::string(int command)> OnGetTip;
  // The mouse came to rest on a button (its command), or left the buttons (0).
  std::function<void(int command)> OnHotItem;

  bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

}  // namespace win
