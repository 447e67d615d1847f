#include "win/file_io.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "win/error.h"
#include "win/handle.h"
#include "win/text.h"

namespace win {

namespace {
File OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

[[noreturn]] void CannotCreate(const std::string& path) {
  throw EFCreateError(Format("ファイル %s を作成できません", {path}));
}

// "<file>.~" 8 hex digits ".tmp": the temporary files of the file named by the prefix.
constexpr wchar_t kTempMark[] = L".~";
constexpr wchar_t kTempEnd[] = L".tmp";
constexpr std::size_t kTempDigits = 8;

bool IsTemporaryOf(const std::wstring& name, const std::wstring& fileName) {
  const std::size_t mark = fileName.size(), end = mark + 2 + kTempDigits;
  if (name.size() != end + 4 || CompareStringOrdinal(name.c_str(), static_cast<int>(mark), fileName.c_str(),
                                                     static_cast<int>(mark), TRUE) != CSTR_EQUAL)
    return false;
  if (name.compare(mark, 2, kTempMark) != 0 || _wcsicmp(name.c_str() + end, kTempEnd) != 0) return false;
  return std::all_of(name.begin() + static_cast<long>(mark + 2), name.begin() + static_cast<long>(end),
                     [](wchar_t c) { return std::iswxdigit(c); });
}

// Renames the open file over target in one step. Systems that cannot rename through a handle
// get the file closed and moved by name instead.
bool PlaceOpenFile(HANDLE& file, const std::wstring& temp, const std::wstring& target) {
  if (faults::PlacingsBeforeFailure >= 0 && faults::PlacingsBeforeFailure-- == 0) {
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
  if (SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) return true;
  const DWORD error = GetLastError();
  if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_CALL_NOT_IMPLEMENTED &&
      error != ERROR_INVALID_NAME && error != ERROR_INVALID_FUNCTION)
    return false;
  CloseHandle(file);
  file = nullptr;
  return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

std::wstring FullPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(n);
  return full;
}
}  // namespace

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  File f = OpenFile(Wide(path), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  LARGE_INTEGER size{};
  if (!f || !GetFileSizeEx(f, &size) || size.QuadPart > 0x7FFFFFFF)
    throw EFOpenError(Format("ファイル %s は開けません", {path}));
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(f, bytes.data() + done, want, &got, nullptr))
      throw EFOpenError(Format("ファイル %s は開けません", {path}));
    if (got == 0) break;  // the file shrank while being read
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes,
                        const std::string& asidePath) {
  ReplacingFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit(asidePath);
}

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  const std::wstring target = FullPath(Wide(path_));
  // Unique among the writers of this moment: the process, the time and a count.
  static unsigned serial = 0;
  unsigned seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount() ^ (++serial * 40503u);
  for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 1103515245u + 12345u) {
    wchar_t digits[kTempDigits + 1];
    swprintf(digits, kTempDigits + 1, L"%08x", seed);
    std::wstring temp = target + kTempMark + digits + kTempEnd;
    // Opened for deleting too, and shared with nobody: it is renamed through this handle, and a
    // reader of the folder that removes stale temporary files cannot remove it meanwhile.
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      temp_ = std::move(temp);
      file_ = h;
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  CannotCreate(path_);
}

ReplacingFile::~ReplacingFile() {
  if (file_) CloseHandle(file_);
  if (!temp_.empty()) DeleteFileW(temp_.c_str());
}

bool ReplacingFile::Write(const std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (!failed_ && done < size) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
    DWORD written = 0;
    if (!file_ || !WriteFile(file_, bytes + done, chunk, &written, nullptr) || written != chunk) failed_ = true;
    done += written;
  }
  return !failed_;
}

void ReplacingFile::Commit(const std::string& asidePath) {
  if (!file_ || failed_ || !FlushFileBuffers(file_)) CannotCreate(path_);
  const std::wstring target = FullPath(Wide(path_));
  // A copy of the old file, not the file itself: should the new one fail to go in place, the
  // old one is still where it was.
  if (!asidePath.empty() && FileExists(path_)) {
    try {
      WriteFileReplacing(asidePath, ReadFileBytes(path_));
    } catch (const EFOpenError&) {
      CannotCreate(asidePath);
    }
  }
  // What the user may have set on the old file (hidden, not indexed) stays with the new one.
  const DWORD old = GetFileAttributesW(target.c_str());
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (old != INVALID_FILE_ATTRIBUTES && (old & kKept)) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = (old & kKept) | FILE_ATTRIBUTE_ARCHIVE;
    SetFileInformationByHandle(file_, FileBasicInfo, &basic, sizeof basic);
  }
  HANDLE h = file_;
  const bool placed = PlaceOpenFile(h, temp_, target);
  file_ = h;
  if (!placed) CannotCreate(path_);
  if (file_) CloseHandle(file_);
  file_ = nullptr;
  temp_.clear();
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::wstring full = FullPath(Wide(path));
  const std::size_t slash = full.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : full.substr(0, slash + 1);
  const std::wstring name = full.substr(folder.size());
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW((full + L".~*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || !IsTemporaryOf(fd.cFileName, name)) continue;
    // A writer still at work holds its file open, shared with nobody: deleting it fails.
    DeleteFileW((folder + fd.cFileName).c_str());
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

}  // namespace win
