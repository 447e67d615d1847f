// libFuzzer target: the catalogue reader must survive any bytes, what it reads must write back
// to bytes that read again to the same entries, and the list must sort and show whatever
// dates and sizes it holds (every sort kind, every date text) without undefined behaviour.
#include <cstdint>

#include "catalogue/catalogue_file.h"
#include "catalogue/file_sort.h"
#include "catalogue/item_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TCatalogue c = ParseCatalogue({data, size});
  std::vector<std::uint8_t> again = SerializeCatalogue(c);
  TCatalogue d = ParseCatalogue(again);
  if (d.size() != c.size()) __builtin_trap();
  for (std::size_t i = 0; i < c.size(); ++i)
    if (d[i].Name != c[i].Name || d[i].Entry.Comment != c[i].Entry.Comment ||
        d[i].Entry.TileIndex != c[i].Entry.TileIndex)
      __builtin_trap();

  std::vector<TSortKey> keys;
  for (const TCatalogueItem& item : c) {
    TPictureEntry entry;
    entry.PixelWidth = static_cast<std::uint16_t>(item.Entry.PixelWidth);
    entry.PixelHeight = static_cast<std::uint16_t>(item.Entry.PixelHeight);
    entry.Date = item.Entry.Date;
    entry.Comment = item.Entry.Comment;
    if (HoverHintText(entry).empty()) __builtin_trap();  // the size line is always there
    keys.push_back({static_cast<std::int64_t>(keys.size() % 3), true,
                    static_cast<std::int64_t>(entry.PixelWidth) * entry.PixelHeight, entry.Date});
  }
  for (TSortKind kind : {skName, skExtension, skArea, skDate}) {
    std::vector<std::size_t> order = SortOrder(keys, kind);
    std::vector<bool> seen(order.size());
    for (std::size_t i : order) {
      if (i >= seen.size() || seen[i]) __builtin_trap();
      seen[i] = true;
    }
  }
  return 0;
}
