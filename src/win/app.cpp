#include "win/app.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "win/error.h"
#include "win/text.h"
#include "win/window.h"

namespace win {

namespace {
Dialogs realDialogs;
Dialogs* currentDialogs = &realDialogs;
std::string title = "Quiran";
HWND mainWindow = nullptr;
std::vector<HWND> modalDialogs;
std::function<void(const std::string&)> hintHandler;
bool busyCursor = false;
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
  return NarrowPath(path);
}

void Dialogs::LastResortMessage(HWND owner, const wchar_t* text) noexcept {
  MessageBoxW(owner, text, L"Quiran", MB_OK | MB_ICONSTOP);
}

bool Dialogs::PrinterSetup(PRINTDLGW& pd) { return PrintDlgW(&pd) != FALSE; }

Dialogs& CurrentDialogs() { return *currentDialogs; }
void SetDialogs(Dialogs* dialogs) { currentDialogs = dialogs ? dialogs : &realDialogs; }

HINSTANCE Application::Instance() { return GetModuleHandleW(nullptr); }
void Application::SetTitle(std::string t) { title = std::move(t); }
const std::string& Application::Title() { return title; }
void Application::SetMainWindow(HWND hwnd) { mainWindow = hwnd; }
HWND Application::MainWindow() { return mainWindow; }

HWND Application::ActiveOwner() {
  for (auto it = modalDialogs.rbegin(); it != modalDialogs.rend(); ++it)
    if (IsWindow(*it) && IsWindowVisible(*it)) return *it;
  return mainWindow;
}
void Application::PushModal(HWND dialog) { modalDialogs.push_back(dialog); }
void Application::PopModal(HWND dialog) {
  auto it = std::find(modalDialogs.rbegin(), modalDialogs.rend(), dialog);
  if (it != modalDialogs.rend()) modalDialogs.erase(std::next(it).base());
}

void Application::ShowException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;  // the silent abort shows nothing
  const auto* ex = dynamic_cast<const Exception*>(&e);
  std::string text = ex ? ex->Message() : std::string(e.what());
  CurrentDialogs().MessageDlg(ActiveOwner(), text, title, MB_OK | MB_ICONSTOP);
}

void Application::HandleCurrentException() noexcept {
  if (!std::current_exception()) return;
  try {
    try {
      throw;
    } catch (const std::exception& e) {
      ShowException(e);
    } catch (...) {
      ShowException(Exception("予期しないエラーが発生しました"));
    }
  } catch (...) {
    // Reporting failed, most likely for want of memory, the likeliest reason to be here.
    CurrentDialogs().LastResortMessage(ActiveOwner(), L"エラーが発生しましたが、その内容を表示できません（メモリが足りない可能性があります）。");
  }
}

std::string Application::CurrentExceptionMessage() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "予期しないエラーが発生しました";
  }
}

void Application::Guard(const std::function<void()>& fn) noexcept {
  try {
    fn();
  } catch (...) {
    HandleCurrentException();
  }
}

bool Application::Dispatch(MSG& msg) {
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)
    if (Window* top = Window::TopLevelOf(msg.hwnd); top && top->TranslateKeys(msg)) return true;
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

void Application::SetBusyCursor(bool busy) {
  busyCursor = busy;
  // WM_SETCURSOR comes only when the mouse moves: show the change now.
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}
bool Application::BusyCursor() { return busyCursor; }

void Application::SetHintHandler(std::function<void(const std::string&)> fn) { hintHandler = std::move(fn); }
void Application::ShowHint(const std::string& hint) {
  if (hintHandler) hintHandler(hint);
}

}  // namespace win
