// Whole-file reading and crash-safe replacing of the files the program keeps (the album
// library, a folder's catalogue and cache). Paths are Shift-JIS.
//
// A new version of a file is written whole to a temporary file beside it, named after it
// ("Quiran.cf0.~1a2b3c4d.tmp"), flushed, and then renamed over the old one in a single step
// while the writer still holds it open: whenever the program is stopped, the file is either
// the old one or the new one, never missing and never part-written. (ReplaceFileW is not used:
// some systems, Wine among them, move the old file away first and the new one in second.) A
// temporary file left by a writer that was stopped is removed the next time the folder is
// read (RemoveStaleTemporaries); one whose writer is still at work stays, held open by it.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace win {

// True when a file (not a directory) stands at path.
bool FileExists(const std::string& path);
// True when a folder stands at path (a drive's root "C:\" too).
bool FolderExists(const std::string& path);

// The file's bytes; raises EFOpenError "ファイル %s は開けません" when it cannot be opened or read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Puts the bytes in place of the file at path (see above). When asidePath is given and a file
// stands at path, a copy of that file is first kept at asidePath, replacing an earlier one
// there. On any failure the file at path is left as it was and EFCreateError "ファイル %s を
// 作成できません" is raised.
void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes,
                        const std::string& asidePath = {});

// The same in steps, for a file made piece by piece: the bytes go to the temporary file;
// Commit flushes it and puts it in place. Without Commit the temporary file is removed and
// the old file stays as it was.
class ReplacingFile {
 public:
  // EFCreateError when the temporary file cannot be made.
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False when the bytes could not be written (Commit then fails); never throws.
  bool Write(const std::uint8_t* bytes, std::size_t size);
  // EFCreateError on any failure; the file at path (and an earlier asidePath) then untouched.
  void Commit(const std::string& asidePath = {});
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::wstring temp_;
  void* file_ = nullptr;
  bool failed_ = false;
};

// Removes the temporary files that writers of the file at path left behind when they were
// stopped; those a writer still holds open stay. Never fails.
void RemoveStaleTemporaries(const std::string& path);

// Failures the system seldom gives on demand, made to happen by tests; never set by the program.
namespace faults {
// Putting a written file in place fails after this many more have been put in place, as a
// full or vanished volume would make it; -1 never.
inline int PlacingsBeforeFailure = -1;
}  // namespace faults

}  // namespace win
