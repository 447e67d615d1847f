// A list box with a check box on every line (owner-drawn, one fixed item height): a click on
// a line's box, or the space bar on the selected line, ticks or unticks it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win/window.h"

namespace win {

class CheckListBox : public Control {
 public:
  // A bordered list with both scroll bars as needed, in the given font.
  void Create(HWND parent, int id, int x, int y, int w, int h, HFONT font);
  void SetItemHeight(int height);
  int ItemHeight() const;

  void Clear();
  void Add(const std::string& text, bool checked = false);
  int Count() const;
  std::string Item(int index) const;
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);

  // Width of a text in the list's font, in pixels.
  int TextWidth(const std::string& text) const;
  int HorizontalExtent() const;
  void SetHorizontalExtent(int pixels);

  // Fired after every click on the list and after the space bar ticked or unticked a line.
  std::function<void()> OnClick;

  // Where a line's text starts, after its box.
  static constexpr int kBoxWidth = 14;

  bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& dis);
  void Toggle(int index);

  std::vector<bool> checked_;
};

}  // namespace win
