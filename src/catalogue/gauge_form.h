// The progress dialog of long runs over a folder's files (making thumbnails while a folder is
// loaded, making all thumbnails, printing): the folder, "done／total", a bar and a cancel
// button. Made once at start, shown without being modal; its users poll Cancelled once per
// file while letting pending messages through.
#pragma once
#include <string>

#include "controls/label3d.h"
#include "win/error.h"
#include "win/handle.h"
#include "win/window.h"

// Raised by a run whose user cancelled it (the print job: "印刷処理を中止します。").
class EUserCancel : public Exception {
  using Exception::Exception;
};

class TGaugeForm : public win::Window {
 public:
  // Builds the dialog hidden, centred on the screen.
  TGaugeForm();
  ~TGaugeForm() override;

  // Stores the total, sets the bar's range to 0..n (keeping the current count) and the count text.
  void SetMaxCount(int n);
  // Stores the current count, moves the bar and updates the count text.
  void SetPosition(int n);
  // The count text: "current／total".
  void UpdateCountLabel();
  // Stores the folder's path and shows it.
  void SetDirName(const std::string& path);

  // Shows the dialog over the main window, clears Cancelled and turns the program's cursor
  // into the hourglass; Hide hides it and gives the cursor back.
  void Show();
  void Hide();
  // Set only by the cancel button (or Esc, or the close box) while the dialog is shown.
  bool Cancelled() const { return cancelled_; }
  void BitBtn1Click();

  int MaxCount() const { return maxCount_; }
  int Position() const { return position_; }
  const std::string& DirName() const { return dirName_; }

  // The controls, by their designer names.
  TLabel3D DirNameLabel, Label3D1;
  win::Control ProgressBar1, BitBtn1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int maxCount_ = 0, position_ = 0;
  std::string dirName_;
  bool cancelled_ = false;
  win::Font font_;
  win::Bitmap glyph_;
};
