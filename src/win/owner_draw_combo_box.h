// A drop-down list whose items the owner draws, all of one fixed height; the selection field
// shows the selected item drawn the same way.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "win/window.h"

namespace win {

class OwnerDrawComboBox : public Control {
 public:
  // The selection field and the items are itemHeight pixels high; font is the text's font.
  void Create(HWND parent, int id, int x, int y, int width, int itemHeight, HFONT font = nullptr);
  void AddItem(const std::string& text);
  int Count() const;
  int ItemIndex() const;
  void SetItemIndex(int index);
  int ItemHeight() const;

  std::function<void(const DRAWITEMSTRUCT&)> OnDrawItem;
  // The user chose another item.
  std::function<void()> OnChange;

  bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

}  // namespace win
