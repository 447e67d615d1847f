// Whole-file reading and crash-safe replacing of the files the program keeps (the album
// library, a folder's catalogue and cache). Paths are Shift-JIS.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace win {

// True when a file (not a directory) stands at path.
bool FileExists(const std::string& path);

// The file's bytes; raises EFOpenError "ファイル %s は開けません" when it cannot be opened or read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes the bytes to a temporary file in path's folder, flushes it to disk, and puts it in
// place of the old file (ReplaceFileW, or MoveFileExW when there is no old file or the
// volume refuses). When asidePath is given and a file stands at path, that file is first
// renamed to asidePath, replacing an earlier one there. On any failure the old file is left
// as it was and EFCreateError "ファイル %s を作成できません" is raised.
void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes,
                        const std::string& asidePath = {});

// The same in steps, for a file made piece by piece or for two files put in place together:
// the bytes go to a temporary file in path's folder; Commit flushes it and puts it in place
// (as WriteFileReplacing does). Without Commit the temporary file is removed and the old
// file stays as it was.
class ReplacingFile {
 public:
  // EFCreateError when the temporary file cannot be made.
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False when the bytes could not be written (Commit then fails); never throws.
  bool Write(const std::uint8_t* bytes, std::size_t size);
  // EFCreateError on any failure, the old file (and an earlier asidePath) untouched.
  void Commit(const std::string& asidePath = {});
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::wstring temp_;
  void* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace win
