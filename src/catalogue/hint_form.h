// The hover preview: a small border-less popup beside a thumbnail list item with the
// picture's pixel size, date and comment, over a grey shadow. Made once and reused; it never
// takes the focus from the main window, stays on top, and hides itself after five seconds or
// when the mouse moves over it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "win/handle.h"
#include "win/shape.h"
#include "win/window.h"

// The popup's text box: filled with the hint colour, the text word-wrapped inside it.
class THintImage : public win::GraphicControl {
 public:
  void SetText(std::string text, HFONT font);
  void Paint(win::Canvas& canvas) override;

 private:
  std::string text_;
  HFONT font_ = nullptr;
};

class THintForm : public win::Window {
 public:
  static constexpr std::uint32_t kColor = 12648447;  // light yellow, 0x00BBGGRR
  static constexpr UINT kTimer1Interval = 5000;

  // Creates the popup hidden.
  THintForm();
  ~THintForm() override;

  // Lays the popup out for a text (three spaces when it is empty) and paints it: the text box
  // as large as the text, the shadow 4 pixels right of and below it, and the window 3 pixels
  // larger than the text box, so a strip of the shadow shows along its right and bottom edges.
  void SetHintText(const std::string& text);
  const std::string& HintText() const { return hintText_; }
  // Shows the popup at a screen point, top-most, without activating it; hides it again in
  // five seconds.
  void ShowAt(int x, int y);
  // Hides the popup without activating anything.
  void Hide();
  void Timer1Timer();
  void Image1MouseMove();
  bool Timer1Enabled() const { return timer1Enabled_; }

  // Controls, back to front.
  win::Shape Shape1;
  THintImage Image1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void StopTimer1();

  std::string hintText_;
  win::Font font_;
  bool timer1Enabled_ = false;
};
