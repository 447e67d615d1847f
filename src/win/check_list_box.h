// A list box with a check box on every line (owner-drawn, one fixed item height): a click on
// a line's box, or the space bar on the selected line, ticks or unticks it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "win/window.h"

namespace win {

class CheckListBox : public Control {
 public:
  // A bordered list with both scroll bars as needed, in the given font. With wholeRows the
  // list is cut to whole lines within the height h, so no line shows only its top half (the
  // horizontal scroll bar, when it shows, counted).
  void Create(HWND parent, int id, int x, int y, int w, int h, HFONT font, bool wholeRows = false);
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
  // How a line shows its text, when not as it stands: a part in the list's text colour, then a
  // part in grey after it (a folder's own name, then its path).
  std::function<std::pair<std::string, std::string>(int index)> Display;
  // The width of a line as it shows, box included.
  int LineWidth(int index) const;

  // Where a line's text starts, after its box; the room before a line's grey part.
  static constexpr int kBoxWidth = 14, kNoteGap = 8;

  bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& dis);
  void Toggle(int index);

  void FitWholeRows();

  std::vector<bool> checked_;
  int height_ = 0;  // the height given at creation; 0: the list keeps any height
};

}  // namespace win
