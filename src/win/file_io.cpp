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

// Writes and flushes a new file; false on any failure (the half-written file is removed).
bool WriteNewFile(const std::wstring& path, std::span<const std::uint8_t> bytes) {
  File f = OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!f) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(f, bytes.data() + done, chunk, &written, nullptr) || written != chunk) break;
    done += written;
  }
  bool ok = done == bytes.size() && FlushFileBuffers(f);
  f.Reset();
  if (!ok) DeleteFileW(path.c_str());
  return ok;
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
  std::wstring target = Wide(path);
  std::string dir(sjis::ExtractFilePath(path));
  if (dir.empty()) dir = ".";
  wchar_t temp[MAX_PATH + 16] = {};
  // GetTempFileNameW creates the (empty) file, so the name cannot be taken by another.
  if (!GetTempFileNameW(Wide(dir).c_str(), L"qrn", 0, temp)) CannotCreate(path);
  if (!WriteNewFile(temp, bytes)) CannotCreate(path);

  if (!asidePath.empty() && FileExists(path) &&
      !MoveFileExW(target.c_str(), Wide(asidePath).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp);
    CannotCreate(path);
  }
  bool placed = false;
  if (FileExists(path)) {
    // ReplaceFileW may rename the old file before it fails; name that place ourselves, so the
    // old file can be put back and no stray copy is left in the folder.
    std::wstring backup = std::wstring(temp) + L".old";
    placed = ReplaceFileW(target.c_str(), temp, backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!placed && !FileExists(path) && GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES)
      MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (placed || FileExists(path)) DeleteFileW(backup.c_str());
  }
  if (!placed) placed = MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!placed) {
    DeleteFileW(temp);
    CannotCreate(path);
  }
}

}  // namespace win
