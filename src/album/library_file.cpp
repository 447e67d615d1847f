#include "album/library_file.h"

#include <windows.h>

#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"

TLibraryFile::TLibraryFile(std::string path) : path_(std::move(path)), asRead_(TAlbumLibrary().FileBytes()) {}

std::string TLibraryFile::AsidePath(int generation) const {
  return path_ + ".bad" + (generation > 1 ? std::to_string(generation) : std::string());
}

bool TLibraryFile::Load(TAlbumLibrary& library) {
  if (!win::FileExists(path_)) {
    state_ = State::Missing;
    return false;
  }
  AlbumLibraryData data = ReadAlbumLibrary(win::ReadFileBytes(path_));
  if (!data.MagicOk) {
    state_ = State::NotWhole;
    return false;
  }
  // A newer writer may have stored more than this version reads: treat it like damage.
  bool whole = data.Complete && data.FieldsFit && data.Version <= kAlbumFileVersion;
  TAlbumLibrary read(std::move(data.Albums));
  asRead_ = read.FileBytes();
  library = std::move(read);
  state_ = whole ? State::Whole : State::NotWhole;
  return true;
}

void TLibraryFile::Save(const TAlbumLibrary& library) {
  std::vector<std::uint8_t> bytes = library.FileBytes();
  if (state_ != State::Missing && bytes == asRead_) return;  // nothing changed: the file stays exactly as it is
  if (state_ == State::NotRead || state_ == State::NotWhole) {
    KeepAside();
  } else if (win::FileExists(path_) &&
             (state_ == State::Missing || win::ReadFileBytes(path_) != asRead_)) {
    // Written by someone else since it was read (another copy of the program, another PC):
    // there is no merging two libraries, but theirs is kept aside, not lost.
    KeepAside();
  }
  win::RemoveStaleTemporaries(path_);
  win::WriteFileReplacing(path_, bytes);
  asRead_ = std::move(bytes);
  state_ = State::Whole;
}

void TLibraryFile::KeepAside() const {
  if (!win::FileExists(path_)) return;
  std::vector<std::uint8_t> current = win::ReadFileBytes(path_);
  const std::string newest = AsidePath(1);
  if (win::FileExists(newest) && win::ReadFileBytes(newest) == current) return;  // kept already
  // Older copies move one generation back; the oldest beyond the last generation goes.
  for (int g = kAsideGenerations - 1; g >= 1; --g) {
    std::string from = AsidePath(g), to = AsidePath(g + 1);
    if (win::FileExists(from) &&
        !MoveFileExW(win::Wide(from).c_str(), win::Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw EFCreateError(Format("ファイル %s を作成できません", {to}));
  }
  win::WriteFileReplacing(newest, current);
}
