// The thumbnail cache "Cashfile.cfb": one baseline colour JPEG (quality 90) holding the
// folder's thumbnails as 144 x 108 tiles, 25 to a row; the catalogue says which tile is whose.
// A tile keeps its place from one writing to the next, and the comment ties each place to its
// file's name (catalogue_file.h). Read and written one row of tiles at a time, so the whole
// image (3600 x 65,448 pixels for the largest folder) is never in memory; tiles are copied
// pixel for pixel, never scaled.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/picture_entry.h"
#include "imaging/jpeg_rows.h"

namespace win {
class ReplacingFile;
}

// The thumbnails of the tiles asked for (indices in any order), each in the slot of its
// request. A tile the cache does not hold stays null: outside the picture, in rows after the
// data ends or is damaged, or one whose place the cache's comment gives to another name than
// the request's tag (wantTags[i], see TileTag). Damaged data is never an error here: those
// thumbnails are made again.
std::vector<TThumbnailPtr> ReadCacheTiles(JpegRowReader::Source source, const std::vector<int>& tiles,
                                          const std::vector<std::uint32_t>& wantTags);
// The same from the cache file of a folder; a missing or unreadable file gives all null.
std::vector<TThumbnailPtr> ReadCacheFile(const std::string& path, const std::vector<int>& tiles,
                                         const std::vector<std::uint32_t>& wantTags);

// One place of a cache being written: a new tile, or the tile the cache being replaced has at
// the same place (copied from its decoded rows, so it is compressed again on the same grid and
// with the same quality, and keeps what it showed), or neither (black).
struct TCacheTile {
  const TThumbnail* Thumbnail = nullptr;
  bool Keep = false;
  std::uint32_t Tag = 0;  // TileTag of the name the place is written for; 0 for none
};
// Writes a cache of tiles.size() places (at most kMaxTiles), the tags in its comment. old is
// the cache being replaced, its header read, when a place keeps its tile. Fails with
// Exception (a failed write of the file among them, or an old cache that ends or is damaged
// before a kept tile).
void WriteCacheFile(win::ReplacingFile& out, const std::vector<TCacheTile>& tiles, JpegRowReader* old);
