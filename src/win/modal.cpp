#include "win/modal.h"

#include "win/app.h"

namespace win {

int RunModal(HWND dialog, HWND owner, int& result, const std::function<void()>& onShown) {
  if (!owner) owner = Application::MainWindow();
  SetWindowLongPtrW(dialog, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  result = 0;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  // The owner must come back even if a handler or the test hook fails.
  // Message boxes and progress shown meanwhile belong to the dialog.
  Application::PushModal(dialog);
  struct Restore {
    HWND owner, self;
    ~Restore() {
      Application::PopModal(self);
      // The owner first, so that it takes the activation the hidden dialog gives up.
      if (owner) EnableWindow(owner, TRUE);
      ShowWindow(self, SW_HIDE);
    }
  } restore{owner, dialog};
  if (onShown) onShown();
  MSG msg;
  while (result == 0 && IsWindow(dialog)) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);  // leave it for the main loop
      result = IDCANCEL;
      break;
    }
    if (IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return result ? result : IDCANCEL;
}

bool OkCancelMessage(UINT msg, WPARAM wp, int& result, LRESULT& answer) {
  answer = 0;
  switch (msg) {
    case DM_GETDEFID:
      answer = MAKELRESULT(IDOK, DC_HASDEFID);
      return true;
    case WM_COMMAND:
      if (LOWORD(wp) != IDOK && LOWORD(wp) != IDCANCEL) return false;
      result = LOWORD(wp);
      return true;
    case WM_CLOSE:
      result = IDCANCEL;
      return true;
  }
  return false;
}

}  // namespace win
