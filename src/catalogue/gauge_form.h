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

  // The captions of the runs: making thumbnails, and a print job.
  static constexpr const char* kThumbnailCaption = "サムネイル作成中";
  static constexpr const char* kPrintCaption = "印刷中";
  // Shows the dialog with the caption over the window that owns dialogs now (the main
  // window, or the modal dialog on the screen), clears Cancelled and turns the program's
  // cursor into the hourglass. The owner takes no input while the dialog is up: the run lets
  // messages through, and only the cancel button may act meanwhile. Shown again while up, it
  // takes the new caption only.
  void Show(const char* caption = kThumbnailCaption);
  // Hides the dialog, gives its owner back its input (when Show took it) and the activation,
  // and gives the cursor back.
  void Hide();
  HWND Owner() const { return owner_; }
  // Set only by the cancel button (or Esc, or the close box) while the dialog is shown.
  bool Cancelled() const { return cancelled_; }
  void BitBtn1Click();

  int MaxCount() const { return maxCount_; }
  int Position() const { return position_; }
  const std::string& DirName() const { return dirName_; }

  // The dialog keys (Esc for the cancel button), as the program's message loop hands them over.
  bool TranslateKeys(MSG& msg) override { return IsDialogMessageW(hwnd_, &msg) != FALSE; }

  // The controls, by their designer names.
  TLabel3D DirNameLabel, Label3D1;
  win::Control ProgressBar1, BitBtn1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int maxCount_ = 0, position_ = 0;
  std::string dirName_;
  bool cancelled_ = false;
  HWND owner_ = nullptr;
  bool ownerDisabled_ = false;  // Show took the owner's input, Hide gives it back
  win::Font font_;
  win::Bitmap glyph_;
};
