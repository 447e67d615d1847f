// The application object: the top-level error handler, the one message loop, and the
// platform's modal dialogs behind one small interface that tests can answer.
#pragma once
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace win {

// Message boxes, the colour chooser, the folder browser and the printer setup. The real ones are the default;
// a test installs its own answers with SetDialogs.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // MessageBoxW with Shift-JIS texts; returns IDYES, IDNO, IDOK ...
  virtual int MessageDlg(HWND owner, const std::string& text, const std::string& caption, UINT flags);
  // The system colour chooser opened on a colour (0x00BBGGRR); nothing when cancelled.
  virtual std::optional<std::uint32_t> PickColor(HWND owner, std::uint32_t initial);
  // The shell's folder browser rooted at the desktop, file-system folders only.
  virtual std::optional<std::string> BrowseFolder(HWND owner, const std::string& title);
  // A fixed text shown when a failure's own message cannot be (memory ran out while it was
  // being reported): needs no allocation and raises nothing.
  virtual void LastResortMessage(HWND owner, const wchar_t* text) noexcept;
  // The platform's printer setup dialog (pd is set up for PrintDlgW with PD_PRINTSETUP); true
  // when confirmed, the chosen device mode and names then being in pd.
  virtual bool PrinterSetup(PRINTDLGW& pd);
};

Dialogs& CurrentDialogs();
// Installs other dialogs (tests); nullptr puts the real ones back.
void SetDialogs(Dialogs* dialogs);

class Application {
 public:
  static HINSTANCE Instance();
  static void SetTitle(std::string title);
  static const std::string& Title();

  // The main window: the loop ends when it is destroyed; dialogs are owned by it.
  static void SetMainWindow(HWND hwnd);
  static HWND MainWindow();
  // The window a message box or a progress dialog belongs to now: the innermost modal dialog
  // on the screen (RunModal), else the main window. A box owned by any other window would
  // give its owner back the input that the modal dialog took from it.
  static HWND ActiveOwner();
  // RunModal's record of the modal dialogs on the screen, innermost last.
  static void PushModal(HWND dialog);
  static void PopModal(HWND dialog);

  // Shows a failure's message in a message box; the program runs on.
  static void ShowException(const std::exception& e);
  // Calls fn and shows any failure it raises: every window procedure, timer and callback
  // goes through here, because an exception must never unwind through a Win32 frame.
  static void Guard(const std::function<void()>& fn) noexcept;
  // Catch-all for use inside a catch(...) block. Raises nothing itself: when the message
  // cannot be shown (no memory left to build it), a fixed text is.
  static void HandleCurrentException() noexcept;
  // The message of the exception being handled, for use inside a catch(...) block.
  static std::string CurrentExceptionMessage();

  // Runs the message loop until WM_QUIT; returns its exit code. A key goes first to the
  // top-level window it was typed in (Window::TranslateKeys), then is translated and dispatched.
  static int Run();
  // Handles the messages waiting now, then returns: long work calls this once per file.
  static void ProcessMessages();
  // While set, every window of the program shows the hourglass (a long run over a folder).
  static void SetBusyCursor(bool busy);
  static bool BusyCursor();
  // Sets the hook called when the mouse rests over a menu item or tool button hint.
  static void SetHintHandler(std::function<void(const std::string&)> fn);
  static void ShowHint(const std::string& hint);
  // Hands one message on as the message loop does: a key to its top-level window first.
  static bool Dispatch(MSG& msg);
};

}  // namespace win
