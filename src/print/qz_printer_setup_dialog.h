// The standard printer setup dialog on the program's printer object; when the user confirms,
// the printer-information object reloads what it knows about the printer at once.
#pragma once
#include <windows.h>

class TQzPrinterSetupDialog {
 public:
  // Opens the dialog over owner (the main window when none) with the current printer and its
  // settings; true when the user confirmed, the chosen printer and settings then being current.
  bool Execute(HWND owner = nullptr);
};
