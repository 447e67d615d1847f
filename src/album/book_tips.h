// The shelf's tool tip: a book whose caption is longer than its spine shows the caption whole
// while the mouse rests on it. One tip for the whole shelf; the main window tells it which
// book the mouse is over.
#pragma once
#include <windows.h>

#include <string>

#include "win/handle.h"

class TBookShape;

class TBookTips {
 public:
  TBookTips() = default;
  TBookTips(const TBookTips&) = delete;
  TBookTips& operator=(const TBookTips&) = delete;
  ~TBookTips();

  // A tip for the shelf's window (the scroll box holding the books).
  void Create(HWND shelf);
  // The mouse is over this book (null: over no book). A book whose caption is cut gets the
  // tip with its caption; over any other the tip stays away.
  void Hover(const TBookShape* book);
  // The text the tip shows now; empty when it is kept away.
  const std::wstring& Text() const { return text_; }
  HWND Handle() const { return tip_; }

 private:
  void SetText(std::wstring text);

  HWND tip_ = nullptr;
  HWND shelf_ = nullptr;
  const TBookShape* book_ = nullptr;
  std::wstring text_;
};
