#include "win/file_io.h"

#include <windows.h>

#include <algorithm>

#include "win/error.h"
#include "win/handle.h"
#include "win/sjis.h"
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
}  // namespace

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
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
  const std::string_view folder = sjis::ExtractFilePath(path_);
  const std::wstring dir = folder.empty() ? std::wstring(L".") : Wide(folder);
  wchar_t temp[MAX_PATH + 16] = {};
  // GetTempFileNameW creates the (empty) file, so the name cannot be taken by another.
  if (!GetTempFileNameW(dir.c_str(), L"qrn", 0, temp)) CannotCreate(path_);
  temp_ = temp;
  HANDLE h = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileW(temp);
    CannotCreate(path_);
  }
  file_ = h;
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
  CloseHandle(file_);
  file_ = nullptr;
  std::wstring target = Wide(path_);
  if (!asidePath.empty() && FileExists(path_) &&
      !MoveFileExW(target.c_str(), Wide(asidePath).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    CannotCreate(path_);
  bool placed = false;
  if (FileExists(path_)) {
    // ReplaceFileW may rename the old file before it fails; name that place ourselves, so the
    // old file can be put back and no stray copy is left in the folder.
    std::wstring backup = temp_ + L".old";
    placed = ReplaceFileW(target.c_str(), temp_.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr);
    if (!placed && !FileExists(path_) && GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES)
      MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (placed || FileExists(path_)) DeleteFileW(backup.c_str());
  }
  if (!placed) placed = MoveFileExW(temp_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!placed) CannotCreate(path_);
  temp_.clear();
}

}  // namespace win
