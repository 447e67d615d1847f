#include "win/app.h"

#include <shlobj.h>

#include "win/error.h"
#include "win/text.h"

namespace win {

namespace {
Dialogs realDialogs;
Dialogs* currentDialogs = &realDialogs;
std::string title = "Quiran";
HWND mainWindow = nullptr;
HWND accelTarget = nullptr;
HACCEL accelerators = nullptr;
std::function<void(const std::string&)> hintHandler;
}  // namespace

int Dialogs::MessageDlg(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
}

std::optional<std::uint32_t> Dialogs::PickColor(HWND owner, std::uint32_t initial) {
  static COLORREF custom[16] = {};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = owner;
  cc.rgbResult = initial;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (!ChooseColorW(&cc)) return std::nullopt;
  return cc.rgbResult;
}

std::optional<std::string> Dialogs::BrowseFolder(HWND owner, const std::string& caption) {
  std::wstring wtitle = Wide(caption);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.pszDisplayName = display;
  bi.lpszTitle = wtitle.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
  if (!pidl) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(pidl, path);
  CoTaskMemFree(pidl);
  if (!ok) return std::nullopt;
  return Narrow(path);
}

Dialogs& CurrentDialogs() { return *currentDialogs; }
void SetDialogs(Dialogs* dialogs) { currentDialogs = dialogs ? dialogs : &realDialogs; }

HINSTANCE Application::Instance() { return GetModuleHandleW(nullptr); }
void Application::SetTitle(std::string t) { title = std::move(t); }
const std::string& Application::Title() { return title; }
void Application::SetMainWindow(HWND hwnd) { mainWindow = hwnd; }
HWND Application::MainWindow() { return mainWindow; }

void Application::ShowException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;  // the silent abort shows nothing
  const auto* ex = dynamic_cast<const Exception*>(&e);
  std::string text = ex ? ex->Message() : std::string(e.what());
  CurrentDialogs().MessageDlg(mainWindow, text, title, MB_OK | MB_ICONSTOP);
}

void Application::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Exception("予期しないエラーが発生しました"));
  }
}

void Application::Guard(const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    HandleCurrentException();
  }
}

void Application::SetAccelerators(HWND target, HACCEL accel) {
  accelTarget = target;
  accelerators = accel;
}

bool Application::Dispatch(MSG& msg) {
  if (accelerators && accelTarget && TranslateAcceleratorW(accelTarget, accelerators, &msg)) return true;
  // Keyboard navigation for the modeless window that has the focus (dialogs built as windows).
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && root != mainWindow && IsDialogMessageW(root, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

int Application::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void Application::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
      return;
    }
    Dispatch(msg);
  }
}

void Application::SetHintHandler(std::function<void(const std::string&)> fn) { hintHandler = std::move(fn); }
void Application::ShowHint(const std::string& hint) {
  if (hintHandler) hintHandler(hint);
}

}  // namespace win
