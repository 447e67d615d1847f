// Showing a dialog window modally: its owner is disabled and a local message loop runs until
// the dialog sets its result.
#pragma once
#include <windows.h>

#include <functional>

namespace win {

// Shows dialog over owner (the main window when null), then runs onShown (focus, and the
// tests' hook that drives the dialog) and a message loop with the dialog keys (Tab between
// controls, Enter for the default button, Esc for IDCANCEL) until result becomes nonzero or the
// dialog is gone. The owner is enabled again and the dialog hidden whatever happens. A WM_QUIT
// met on the way is left for the main loop and counts as IDCANCEL. Answers the result.
int RunModal(HWND dialog, HWND owner, int& result, const std::function<void()>& onShown = {});

// What an OK / Cancel dialog answers alike: Enter's default button is OK, OK and Cancel end the
// loop with their ids, the close box with IDCANCEL. True when msg was one of these (answer set).
bool OkCancelMessage(UINT msg, WPARAM wp, int& result, LRESULT& answer);

}  // namespace win
