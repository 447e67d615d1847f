// The thumbnail cache "Cashfile.cfb": one baseline colour JPEG (quality 90) holding the
// folder's thumbnails as 144 x 108 tiles, 25 to a row, tile i being the item at list
// position i when it was written. Read and written one row of tiles at a time, so the whole
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
// data ends or is damaged, or the whole cache when its comment names another catalogue
// (belongsTo false). Damaged data is never an error here: those thumbnails are made again.
std::vector<TThumbnailPtr> ReadCacheTiles(JpegRowReader::Source source, const std::vector<int>& tiles,
                                          std::uint32_t catalogueCheck);
// The same from the cache file of a folder; a missing or unreadable file gives all null.
std::vector<TThumbnailPtr> ReadCacheFile(const std::string& path, const std::vector<int>& tiles,
                                         std::uint32_t catalogueCheck);

// Writes the cache of a list of n = tiles.size() items: tiles[i] (null: none) at tile i, for
// at most kMaxTiles items; the comment ties it to its catalogue. Undrawn tiles are black.
// Fails with Exception (a failed write of the file among them).
void WriteCacheFile(win::ReplacingFile& out, const std::vector<const TThumbnail*>& tiles, const std::string& comment);
