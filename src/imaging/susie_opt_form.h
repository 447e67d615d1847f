// The plug-in selection dialog ("Susie Plugin の選択"): one check-list line per picture format
// of the loaded plug-ins, ticked while the format is in use. Made once and reused.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "controls/label3d.h"
#include "imaging/spi.h"
#include "win/check_list_box.h"
#include "win/handle.h"
#include "win/window.h"

class TSusieOptForm : public win::Window {
 public:
  // Builds the hidden dialog.
  TSusieOptForm();
  ~TSusieOptForm() override;

  // Fills the check list with the lines, unticked, and lets the widest one be scrolled into
  // view (the list's horizontal extent is its width plus 30 pixels).
  void SetList(const std::vector<std::string>& lines);
  // Shows the dialog modally; true when it was closed with OK.
  bool Execute(HWND owner = nullptr);

  // The plug-in choice: the manager's formats, those in use ticked. OK applies the ticks to
  // the manager (an unticked format is withdrawn); Cancel changes nothing. True when a format
  // changed.
  bool ChooseFormats(TSPIs& spis, HWND owner = nullptr);

  // Called by Execute once the dialog is on the screen: tests drive the dialog from here.
  std::function<void(TSusieOptForm&)> OnShown;

  static constexpr int kCheckListBox1Id = 101, kMemo1Id = 102;

  // Controls, by their designer names.
  TLabel3D Label3D1;
  win::CheckListBox CheckListBox1;
  win::Control Memo1, BitBtn1, BitBtn2;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  win::Font font_;
  int modalResult_ = 0;
};
