// The plug-in information dialog ("Susie Plug-in"): a read-only list of the picture formats of
// the loaded plug-ins, one line each, filled every time it is shown. Made once and reused.
#pragma once
#include <functional>

#include "controls/label3d.h"
#include "win/handle.h"
#include "win/window.h"

class TAboutForm2 : public win::Window {
 public:
  // Builds the hidden dialog.
  TAboutForm2();
  ~TAboutForm2() override;

  // Shows the dialog modally until it is closed.
  void ShowModal(HWND owner = nullptr);
  // The show handler: Memo1 gets one line per format of the current plug-in manager.
  void FormShow();

  // Called once the dialog is on the screen: tests drive the dialog from here.
  std::function<void(TAboutForm2&)> OnShown;

  static constexpr int kMemo1Id = 101;

  // Controls, by their designer names.
  TLabel3D Label3D1;
  win::Control Memo1, BitBtn1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  win::Font font_;
  int modalResult_ = 0;
};
