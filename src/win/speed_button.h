// A windowless push button for a tool-like command: it never takes the keyboard focus, so the
// control the user is typing in keeps it while the button is clicked. It draws pressed while
// the left button is held down over it and fires OnClick when released over it.
#pragma once
#include <string>

#include "win/font_desc.h"
#include "win/window.h"

namespace win {

class SpeedButton : public GraphicControl {
 public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  void SetFont(const FontDesc& font);
  bool Down() const { return down_; }

  void Paint(Canvas& canvas) override;
  void MouseDown(int button, int x, int y) override;
  void MouseMove(int x, int y) override;
  void MouseUp(int button, int x, int y, bool inside) override;
  // The second click of a quick pair is still a click.
  void DblClick() override;

 private:
  void SetDown(bool down);
  std::string caption_;
  FontDesc font_;
  bool held_ = false;  // the left button went down on the button and is not yet released
  bool down_ = false;  // drawn pressed: held, and the mouse over it
};

}  // namespace win
