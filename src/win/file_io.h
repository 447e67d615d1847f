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

}  // namespace win
