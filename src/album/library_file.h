// How the album library file is kept: read once at start, written at close (and when Windows
// ends the session) only when the library changed, never written over unless it was read
// whole. A file that was not read whole (damaged, not a library, written by a newer Quiran, or
// never read because the start failed), or one that someone else wrote since it was read, is
// first copied aside, keeping several generations of such copies.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "album/album_library.h"

class TLibraryFile {
 public:
  enum class State {
    NotRead,   // no load has finished: whatever stands at the path is unknown
    Missing,   // there was no file: the first save makes it
    Whole,     // read whole: saving writes over it
    NotWhole,  // read in part, or not a library: copied aside before it is written over
  };
  static constexpr int kAsideGenerations = 5;

  explicit TLibraryFile(std::string path);
  const std::string& Path() const { return path_; }
  State GetState() const { return state_; }

  // Reads the file into `library` (replacing what it held only once the file was read).
  // True when a library file was read, false when there is none or the file is no library.
  // A file that exists but cannot be read raises EFOpenError, and the state stays NotRead.
  bool Load(TAlbumLibrary& library);

  // Writes the library in place of the file (see above for when it does not), then the file
  // counts as read whole. A first save writes the file even for an empty library. Raises
  // EFCreateError when the file or its copy cannot be written; the file on disk then stays as
  // it was.
  void Save(const TAlbumLibrary& library);

  // Where the kept-aside copies go, newest first: "<path>.bad", "<path>.bad2" ...
  std::string AsidePath(int generation) const;

 private:
  void KeepAside() const;

  std::string path_;
  State state_ = State::NotRead;
  std::vector<std::uint8_t> asRead_;  // the library as read, in file form: what "changed" compares with
};
