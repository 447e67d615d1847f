// The thumbnail list's control: the platform's list box in multi-column mode, owner-drawn
// with items of one fixed size. Columns are ItemWidth wide; the list fills a column from top
// to bottom, then the next one to the right, and scrolls sideways. It holds no data of its
// own (a folder may hold 15,000 pictures): item i is its owner's item i, and only the count
// is set.
#pragma once
#include <windows.h>

#include <functional>

#include "win/window.h"

class TListBoxWidth : public win::Control {
 public:
  void Create(HWND parent, int id, int x, int y, int w, int h);

  int ItemWidth() const { return itemWidth_; }
  // Stores the width and hands it to the list as its column width.
  void SetItemWidth(int width);
  int ItemHeight() const;
  void SetItemHeight(int height);
  // Gives the list ItemWidth as its column width, once both it and the control have a width.
  void UpdateColumnWidth();
  int Count() const;
  // Sets the number of items (the selection is cleared) and repaints.
  void SetCount(int count);

  // The item whose rectangle holds a client point, or -1 (empty list space, outside).
  int ItemAt(int x, int y) const;
  // An item's rectangle in client coordinates.
  RECT ItemRect(int index) const;

  // Draws one item; without it an item is only filled with the list's colour.
  std::function<void(const DRAWITEMSTRUCT&)> OnDrawItem;
  // The item the user means to act on: a right click selects the item under the mouse (none
  // on empty list space) before the context menu opens.
  int Selected() const;
  void SetSelected(int index);

  // The mouse moved over the list, at a client point.
  std::function<void(int x, int y)> OnMouseMove;
  // The mouse left the list.
  std::function<void()> OnMouseLeave;
  // Other items came into view (the list scrolled).
  std::function<void()> OnScroll;
  // An item double-clicked, or Enter pressed on the selected one.
  std::function<void()> OnDblClick;

  bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int itemWidth_ = 200;
  bool trackingMouse_ = false;
};
