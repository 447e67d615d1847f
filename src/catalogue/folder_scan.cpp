#include "catalogue/folder_scan.h"

#include <windows.h>

#include "imaging/spi_bitmap.h"
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

}  // namespace

int ScanFolder(const std::string& folderPath, TFileItems& items) {
  items.clear();
  WIN32_FIND_DATAW fd;
  const std::wstring pattern = win::Wide(FolderFilePath(folderPath, "*.*"));
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = win::UpperJa(win::Narrow(fd.cFileName));
    if (!IsPictureFile(name)) continue;
    items.push_back({std::move(name), DiskName(folderPath, fd.cFileName), nullptr});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return static_cast<int>(items.size());
}
