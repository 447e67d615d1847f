// The file comment dialog: the date and the free-text comment of one picture file of the shown
// folder, with a button that takes the date from the file's last-write time. Made once at
// start and reused; it keeps its last values between uses.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "controls/label3d.h"
#include "win/handle.h"
#include "win/speed_button.h"
#include "win/window.h"

class TShownFolder;

class TCommentForm : public win::Window {
 public:
  // Builds the hidden dialog.
  TCommentForm();
  ~TCommentForm() override;

  // Remembers the file's name; the caption becomes the name followed by "のプロパティ".
  void SetFileName(const std::string& name);
  const std::string& FileName() const { return fileName_; }
  // Remembers the file's full path, which "FILE作成日" reads.
  void SetFilePath(const std::string& path);
  const std::string& FilePath() const { return filePath_; }
  // The picker's date and time as a date value (days since 1899-12-30, the fraction the time).
  void SetDate(double date);
  double GetDate() const;
  // The memo's text (Shift-JIS, lines separated by CR LF). OK is refused, with a message, while
  // the text holds a character Shift-JIS cannot hold.
  void SetComment(const std::string& text);
  std::string GetComment() const;

  // Shows the dialog modally over owner (the main window when none); true exactly when it was
  // closed with OK. The memo has the keyboard focus when it opens.
  bool Execute(HWND owner = nullptr);
  // Called by Execute once the dialog is on the screen: tests drive the dialog from here.
  std::function<void(TCommentForm&)> OnShown;

  // "FILE作成日": the picker takes the file's last-write time (local time, to two seconds as a
  // DOS file date has it). For a file that is gone the picker keeps its date and the user is
  // told so.
  void SpeedButton1Click();

  static constexpr int kDateTimePicker1Id = 101, kMemo1Id = 102;

  // Controls, by their designer names.
  TLabel3D Label3D1, Label3D2;
  win::SpeedButton SpeedButton1;
  win::Control Memo1, BitBtn1, BitBtn2, DateTimePicker1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // True when the memo's text can be stored as typed; otherwise says which character cannot
  // (Shift-JIS has no form for it) and selects it.
  bool CommentFits();

  win::Font font_;
  std::string fileName_, filePath_;
  int modalResult_ = 0;
};

// N21Click: edits the date and comment of item i of the shown folder with the dialog. An item
// without date is offered the current local date and time. On OK the item takes the date and
// the comment (its thumbnail, and with it its entry, made first when it has none) and the
// answer is true; on Cancel nothing changes. When the thumbnail cannot be made the date and
// comment are stored without it and the error is raised.
bool EditFileComment(TCommentForm& form, TShownFolder& folder, std::size_t i, int colorDepth, HWND owner = nullptr);
