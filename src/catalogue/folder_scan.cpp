#include "catalogue/folder_scan.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>

#include "catalogue/catalogue_file.h"
#include "imaging/spi_bitmap.h"
#include "win/error.h"
#include "win/text.h"

namespace {

// The name to open the file by. A name with characters Shift-JIS cannot hold would not find
// the file again once converted; its short name (plain ASCII) does.
std::string DiskName(const std::string& folderPath, const wchar_t* name) {
  std::string narrow = win::Narrow(name);
  if (win::Wide(narrow) == name) return narrow;
  std::wstring full = win::Wide(FolderFilePath(folderPath, "")) + name;
  wchar_t shortPath[MAX_PATH * 2] = {};
  DWORD n = GetShortPathNameW(full.c_str(), shortPath, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return narrow;
  std::wstring s(shortPath, n);
  return win::Narrow(s.substr(s.find_last_of(L'\\') + 1));
}

// Calls each with every file (not directory) of the folder. Only the end of the listing ends
// it: any other failure raises.
void ListFiles(const std::string& folderPath, const std::function<void(const wchar_t*)>& each) {
  WIN32_FIND_DATAW fd;
  const std::wstring pattern = win::Wide(FolderFilePath(folderPath, "*.*"));
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // empty, or no such folder
    throw EFOpenError(Format("フォルダー %s を読めません\r\n%s", {folderPath, win::LastErrorText()}));
  }
  struct Close {
    HANDLE h;
    ~Close() { FindClose(h); }
  } close{h};
  int listed = 0;
  for (;;) {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) each(fd.cFileName);
    BOOL more = FindNextFileW(h, &fd);
    if (scan_faults::ListingFailsAfter >= 0 && ++listed >= scan_faults::ListingFailsAfter) {
      scan_faults::ListingFailsAfter = -1;
      SetLastError(ERROR_NETNAME_DELETED);
      more = FALSE;
    }
    if (more) continue;
    if (GetLastError() == ERROR_NO_MORE_FILES) return;
    throw EFOpenError(Format("フォルダー %s を最後まで読めませんでした\r\n%s", {folderPath, win::LastErrorText()}));
  }
}

}  // namespace

std::string CatalogueKey(const std::string& name) { return std::string(CatalogueText(win::UpperJa(name))); }

int ScanFolder(const std::string& folderPath, TFileItems& items) {
  items.clear();
  TFileItems found;
  std::vector<std::wstring> wide;  // each item's name on disk
  ListFiles(folderPath, [&](const wchar_t* fileName) {
    std::string name = win::UpperJa(win::Narrow(fileName));
    if (!IsPictureFile(name)) return;
    found.push_back({std::move(name), DiskName(folderPath, fileName), nullptr});
    wide.emplace_back(fileName);
  });
  // Names that read alike are told apart by their order on disk, the same in every run.
  std::map<std::string, std::vector<std::size_t>> alike;
  for (std::size_t i = 0; i < found.size(); ++i) alike[std::string(CatalogueText(found[i].Name))].push_back(i);
  for (auto& [key, group] : alike) {
    if (group.size() < 2) continue;
    std::sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) { return wide[a] < wide[b]; });
    for (std::size_t k = 0; k < group.size(); ++k) found[group[k]].Occurrence = static_cast<int>(k);
  }
  items = std::move(found);
  return static_cast<int>(items.size());
}

std::vector<std::string> FolderFileNames(const std::string& folderPath) {
  std::vector<std::string> names;
  ListFiles(folderPath, [&](const wchar_t* fileName) { names.push_back(win::UpperJa(win::Narrow(fileName))); });
  return names;
}
