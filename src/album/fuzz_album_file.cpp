// libFuzzer target: the album library reader must survive any bytes, and what it reads must
// write back and read again to the same albums.
#include <cstdint>

#include "album/album_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  AlbumLibraryData d = ReadAlbumLibrary({data, size});
  std::vector<AlbumRef> refs;
  for (const AlbumRecord& a : d.Albums) refs.push_back({a.Caption, a.Color, a.FontName, a.FontColor, a.Folders});
  std::vector<std::uint8_t> again = WriteAlbumLibrary(refs);
  AlbumLibraryData e = ReadAlbumLibrary(again);
  if (!e.Complete || e.Albums.size() != d.Albums.size()) __builtin_trap();
  return 0;
}
