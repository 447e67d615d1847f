// The print command: hands the album's folders to the print dialog, ticks the folder the user
// selected (or all of them when the album itself is selected) and shows the dialog.
#pragma once
#include <windows.h>

#include <string>

#include "album/album_file.h"

class TPrintForm;

// folders is the album's own list and must outlive the dialog's showing; selectedFolder is the
// selected folder node's text, null when the album's root node is selected. The dialog is modal
// over owner (the main window when none).
void ShowPrintDialog(TPrintForm& form, const TFolderList& folders, const std::string* selectedFolder,
                     HWND owner = nullptr);
