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
#include <optional>
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

// A 32-bit check of a catalogue's bytes: tells whether the catalogue on disk is still the one read.
std::uint32_t CatalogueCheck(std::span<const std::uint8_t> catalogueBytes);

// ---- the tie between the cache and the catalogue ----
//
// The cache's comment names, for every place of the cache, the file whose thumbnail it holds
// (a 24-bit tag of its catalogue name): "Quiran tiles " and four characters per place, "AAAA"
// for a place without tile. A catalogue entry's tile is taken only when the tag of its place
// is its own name's, so a cache and a catalogue written at different times (a crash between
// the two, another Quiran, a cache that could not be replaced) never show one picture's
// thumbnail for another. A cache written by another program carries no such comment and is
// taken as the format has it.

// The tag of a catalogue name: never 0.
std::uint32_t TileTag(std::string_view catalogueName);
std::string CacheComment(const std::vector<std::uint32_t>& tags);
// The tags a cache's comment gives, one per place; nothing when the cache is not one of ours
// (every tile is then taken). A comment of ours in another form gives no tags (none is taken).
std::optional<std::vector<std::uint32_t>> CacheTags(std::string_view comment);
