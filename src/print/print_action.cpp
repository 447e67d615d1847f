#include "print/print_action.h"

#include "print/print_form.h"
#include "win/text.h"

void ShowPrintDialog(TPrintForm& form, const TFolderList& folders, const std::string* selectedFolder,
                     HWND owner) {
  form.SetFolders(folders);
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (!selectedFolder) {
      form.SetFolderChecked(static_cast<int>(i), true);
    } else if (win::CompareTextJa(folders[i].Path, *selectedFolder) == 0) {
      form.SetFolderChecked(static_cast<int>(i), true);
      break;
    }
  }
  form.ShowModal(owner);
}
