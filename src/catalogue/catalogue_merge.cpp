#include "catalogue/catalogue_merge.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

std::vector<int> MatchEntries(const std::vector<TNameKey>& items, const std::vector<std::string>& entryKeys) {
  std::unordered_map<std::string, std::vector<int>> byKey;
  for (std::size_t k = 0; k < entryKeys.size(); ++k) byKey[entryKeys[k]].push_back(static_cast<int>(k));
  std::vector<int> out(items.size(), -1);
  for (std::size_t i = 0; i < items.size(); ++i) {
    auto found = byKey.find(items[i].Key);
    const int k = items[i].Occurrence;
    if (found != byKey.end() && k >= 0 && static_cast<std::size_t>(k) < found->second.size())
      out[i] = found->second[static_cast<std::size_t>(k)];
  }
  return out;
}

namespace {

constexpr int kNewTile = -2;  // an entry whose tile is the item's thumbnail, its place not chosen yet

}  // namespace

TLeavePlan PlanLeave(const std::vector<TLeavingItem>& items, const TCatalogue& disk,
                     const std::vector<std::string>& diskKeys, const std::function<bool(std::size_t)>& tileValid,
                     const std::function<int(const std::string&)>& filesNamed) {
  TLeavePlan plan;
  plan.Changed = std::any_of(items.begin(), items.end(),
                             [](const TLeavingItem& i) { return i.DateChanged || i.CommentChanged || i.ThumbnailMade; });
  if (!plan.Changed) return plan;

  const std::size_t n = items.size();
  std::vector<TNameKey> keys(n);
  std::map<std::string, int> listed;  // key -> items listed under it
  for (std::size_t i = 0; i < n; ++i) {
    keys[i] = items[i].Key;
    ++listed[items[i].Key.Key];
  }
  const std::vector<int> onDisk = MatchEntries(keys, diskKeys);
  std::vector<bool> valid(disk.size());
  for (std::size_t k = 0; k < disk.size(); ++k) valid[k] = disk[k].Entry.TileIndex >= 0 && tileValid(k);

  // Each item's entry: this run's date, comment where it changed them (or where the disk has
  // no entry), the disk's otherwise; the thumbnail made here, else the disk's tile, else the
  // one shown when the disk has none that is its own.
  std::vector<std::optional<TCatalogueEntry>> entries(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TLeavingItem& it = items[i];
    const int d = onDisk[i];
    if (!it.HasEntry) {
      if (d >= 0) {
        entries[i] = disk[static_cast<std::size_t>(d)].Entry;
        if (!valid[static_cast<std::size_t>(d)]) entries[i]->TileIndex = -1;
      }
      continue;
    }
    TCatalogueEntry e = it.Entry;
    const TCatalogueEntry* theirs = d >= 0 ? &disk[static_cast<std::size_t>(d)].Entry : nullptr;
    if (theirs && !it.DateChanged) e.Date = theirs->Date;
    if (theirs && !it.CommentChanged) e.Comment = theirs->Comment;
    if (it.ThumbnailMade) {
      e.TileIndex = kNewTile;
    } else if (theirs && valid[static_cast<std::size_t>(d)]) {
      e.TileIndex = theirs->TileIndex;
      e.PixelWidth = theirs->PixelWidth;
      e.PixelHeight = theirs->PixelHeight;
    } else {
      e.TileIndex = it.HasThumbnail ? kNewTile : -1;
    }
    entries[i] = std::move(e);
  }
  // Where names read alike, the k-th file takes the k-th entry when the folder is read next:
  // each of them then has an entry, written in the order of their names on disk.
  std::map<std::string, std::vector<std::size_t>> alike;
  for (std::size_t i = 0; i < n; ++i)
    if (listed[items[i].Key.Key] > 1) alike[items[i].Key.Key].push_back(i);
  for (auto& [key, group] : alike) {
    for (std::size_t i : group)
      if (!entries[i]) entries[i] = TCatalogueEntry{};
  }

  // Entries on disk that no listed item took stay while their files exist.
  std::vector<std::size_t> kept;
  {
    std::vector<bool> taken(disk.size());
    for (int d : onDisk)
      if (d >= 0) taken[static_cast<std::size_t>(d)] = true;
    std::map<std::string, int> room;
    for (std::size_t k = 0; k < disk.size(); ++k) {
      if (taken[k]) continue;
      const std::string& key = diskKeys[k];
      auto r = room.find(key);
      if (r == room.end()) {
        const int files = filesNamed(key);
        r = room.emplace(key, files < 0 ? static_cast<int>(disk.size()) : files - listed[key]).first;
      }
      if (r->second-- > 0) kept.push_back(k);
    }
  }

  // The order written: list order, names read alike taking their places in disk-name order.
  std::vector<std::size_t> order;
  {
    std::map<std::string, std::size_t> next;
    for (auto& [key, group] : alike)
      std::stable_sort(group.begin(), group.end(),
                       [&](std::size_t a, std::size_t b) { return items[a].Key.Occurrence < items[b].Key.Occurrence; });
    for (std::size_t i = 0; i < n; ++i) {
      if (!entries[i]) continue;
      auto g = alike.find(items[i].Key.Key);
      order.push_back(g == alike.end() ? i : g->second[next[items[i].Key.Key]++]);
    }
  }

  // Places: those every valid entry on disk uses stay untouched (so the catalogue still on
  // disk reads the new cache alike). A new thumbnail takes its item's list position when that
  // is free, as a cache written afresh has it, else the lowest free place.
  std::set<int> used;
  for (std::size_t k = 0; k < disk.size(); ++k)
    if (valid[k]) used.insert(disk[k].Entry.TileIndex);
  int free = 0;
  bool anyNew = false;
  plan.ItemEntry.assign(n, -1);
  std::vector<int> tileItem;  // per entry written: the item whose thumbnail fills a new place, or -1
  for (std::size_t i : order) {
    TCatalogueEntry e = *entries[i];
    int newItem = -1;
    if (e.TileIndex == kNewTile) {
      int place = static_cast<int>(i);
      if (place >= kMaxTiles || used.count(place)) {
        while (used.count(free)) ++free;
        place = free;
      }
      if (place < kMaxTiles) {
        used.insert(place);
        e.TileIndex = place;
        newItem = static_cast<int>(i);
        anyNew = true;
      } else {
        e.TileIndex = -1;
      }
    }
    plan.ItemEntry[i] = static_cast<int>(plan.Catalogue.size());
    plan.Catalogue.push_back({items[i].Name, std::move(e)});
    tileItem.push_back(newItem);
  }
  for (std::size_t k : kept) {
    TCatalogueEntry e = disk[k].Entry;
    if (!valid[k]) e.TileIndex = -1;
    plan.Catalogue.push_back({disk[k].Name, std::move(e)});
    tileItem.push_back(-1);
  }
  if (!anyNew) return plan;  // the cache on disk holds every tile written

  int places = 0;
  for (const TCatalogueItem& c : plan.Catalogue) places = std::max(places, c.Entry.TileIndex + 1);
  plan.Tiles.resize(static_cast<std::size_t>(places));
  for (std::size_t e = 0; e < plan.Catalogue.size(); ++e) {
    const int t = plan.Catalogue[e].Entry.TileIndex;
    if (t < 0) continue;
    TTilePlan& place = plan.Tiles[static_cast<std::size_t>(t)];
    if (place.Item >= 0 || place.Keep) continue;  // two entries of one tile: the first names it
    const std::string& key = e < order.size() ? items[order[e]].Key.Key : diskKeys[kept[e - order.size()]];
    place.Item = tileItem[e];
    place.Keep = tileItem[e] < 0;
    place.Tag = TileTag(key);
  }
  return plan;
}
