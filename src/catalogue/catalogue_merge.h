// How a folder's listing meets its catalogue when the folder is shown, and what is written
// back when it is left. Each file is matched with its own entry, one to one, also where names
// collapse into one (upper-cased alike, or with characters Shift-JIS cannot write). Leaving
// applies only what this run changed, over what stands on disk then (another Quiran may have
// written meanwhile); entries of files this run did not list stay while the files exist; the
// thumbnail cache's tiles stay where they are, so a tile is never compressed again on another
// grid, and only new thumbnails take free places.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue_file.h"

// A name and its place among the names that read alike: the k-th of them (in the order of
// the names on disk, or in file order for catalogue entries).
struct TNameKey {
  std::string Key;  // the name as the catalogue's field keeps it, upper-cased
  int Occurrence = 0;
};

// The k-th item of a key takes the k-th entry of that key in file order. Returns, per item,
// the index of its entry in the catalogue, -1 for none.
std::vector<int> MatchEntries(const std::vector<TNameKey>& items, const std::vector<std::string>& entryKeys);

// The shown folder's items as they are when it is left (or saved).
struct TLeavingItem {
  std::string Name;  // the listed (upper-cased) name: what the entry stores
  TNameKey Key;
  bool HasEntry = false;
  TCatalogueEntry Entry;       // date, comment, pixel size when HasEntry (TileIndex unused)
  bool HasThumbnail = false;
  bool DateChanged = false;    // the date differs from the one read
  bool CommentChanged = false;  // the comment differs from the one read
  bool ThumbnailMade = false;  // made (again) while the folder was shown
};

// One place of the cache to write: the tile of a list item's thumbnail, the tile kept from the
// cache on disk at the same place, or nothing.
struct TTilePlan {
  int Item = -1;      // the item whose thumbnail goes here
  bool Keep = false;  // the tile the cache on disk has here
  std::uint32_t Tag = 0;
};

struct TLeavePlan {
  bool Changed = false;  // false: nothing of this run's to write; the files stay as they are
  TCatalogue Catalogue;  // the list's entries in list order, then those of files not listed
  std::vector<int> ItemEntry;   // per item: its entry in Catalogue, -1 for none
  std::vector<TTilePlan> Tiles;  // the new cache's places; empty when the cache stays as it is
};

// What to write. disk: the catalogue on disk now; tileValid(k): disk entry k's tile is its own
// in the cache on disk now; filesNamed(key): how many files of the folder (listed or not) read
// as that key, -1 when unknown (every entry then stays). A new thumbnail takes its item's list
// position, or when an entry on disk uses that place the lowest place none uses, up to
// kMaxTiles; past that it is not stored.
TLeavePlan PlanLeave(const std::vector<TLeavingItem>& items, const TCatalogue& disk,
                     const std::vector<std::string>& diskKeys, const std::function<bool(std::size_t)>& tileValid,
                     const std::function<int(const std::string&)>& filesNamed);
