// The folder's file catalogue "Quiran.cf0" and the tile layout of its thumbnail cache
// "Cashfile.cfb": byte formats and arithmetic, kept apart from Win32.
//
// Quiran.cf0, little-endian: a signed 32-bit count N, then N entries of 530 bytes: the file
// name (255 bytes), the comment (255 bytes), each zero-filled after its text (no zero when
// 255 bytes long); width, height (signed 32-bit); date (IEEE double); tile index (signed
// 32-bit, -1 for none).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/picture_entry.h"

inline constexpr char kCatalogueFileName[] = "Quiran.cf0";
inline constexpr char kCacheFileName[] = "Cashfile.cfb";
inline constexpr std::size_t kCatalogueEntrySize = 530;
inline constexpr std::size_t kCatalogueTextSize = 255;

struct TCatalogueEntry {
  double Date = 0;
  std::int32_t PixelWidth = 0;
  std::int32_t PixelHeight = 0;
  std::string Comment;
  std::int32_t TileIndex = -1;  // -1: no thumbnail stored
};
struct TCatalogueItem {
  std::string Name;
  TCatalogueEntry Entry;
};
using TCatalogue = std::vector<TCatalogueItem>;

// Reads the entries that are whole, in file order, and stops at the end of the bytes
// whatever the count says (a negative count reads none).
TCatalogue ParseCatalogue(std::span<const std::uint8_t> bytes);
// The file's bytes. Names and comments longer than 255 bytes are cut at the last whole
// Shift-JIS character that fits (CatalogueText).
std::vector<std::uint8_t> SerializeCatalogue(const TCatalogue& catalogue);
// A text as its 255-byte field keeps it. A scanned name is matched against the catalogue in
// this form, so a name cut when it was stored still finds its entry.
std::string_view CatalogueText(std::string_view text);

// The merge of a folder's scan with its catalogue: each item whose name meets a catalogue
// entry's name (the first entry of that name; both given as key(name)) gets a new entry with
// its date, comment and pixel size (low 16 bits); entries whose file is gone are dropped.
// Returns each item's tile index (-1: none). Linear: a map from key to the first entry.
std::vector<int> MergeCatalogue(TFileItems& items, const TCatalogue& catalogue,
                                const std::function<std::string(const std::string&)>& key);

// ---- the cache's tiles ----

inline constexpr int kTileWidth = 144, kTileHeight = 108, kTilesPerRow = 25;
// A JPEG side is at most 65,500 pixels: 606 rows of tiles.
inline constexpr int kMaxTileRows = 65500 / kTileHeight;
inline constexpr int kMaxTiles = kMaxTileRows * kTilesPerRow;

struct TTileRect {
  int Left = 0, Top = 0;
};
// Tile k's top-left corner in the cache image.
TTileRect TileRect(int k);
// The cache image's size for a list of n >= 1 items (at most kMaxTiles of them get a tile).
struct TCacheSize {
  int Width = 0, Height = 0;
};
TCacheSize CacheImageSize(int items);

// A 32-bit check of the catalogue's bytes, recorded in the cache's comment so that a cache
// left from an earlier visit is never matched with a newer catalogue.
std::uint32_t CatalogueCheck(std::span<const std::uint8_t> catalogueBytes);
std::string CacheComment(std::uint32_t check);
// True unless the comment is one of ours and names another catalogue.
bool CacheBelongsTo(std::string_view comment, std::uint32_t check);
