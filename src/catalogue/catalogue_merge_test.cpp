// Matching files with their entries one to one, and what leaving a folder writes: only this
// run's changes over what is on disk, entries of unlisted files kept while they exist, tiles
// kept in their places and new ones in free places.
#include "catalogue/catalogue_merge.h"

#include <gtest/gtest.h>

namespace {

TCatalogueItem Disk(std::string name, std::string comment, int tile, double date = 0) {
  return {std::move(name), {date, 640, 480, std::move(comment), tile}};
}
TLeavingItem Listed(std::string name, int occurrence = 0) {
  TLeavingItem l;
  l.Key = {name, occurrence};
  l.Name = std::move(name);
  return l;
}
TLeavingItem WithEntry(std::string name, std::string comment, bool thumbnail = true, int occurrence = 0) {
  TLeavingItem l = Listed(std::move(name), occurrence);
  l.HasEntry = true;
  l.Entry = {0, 320, 240, std::move(comment), -1};
  l.HasThumbnail = thumbnail;
  return l;
}
std::vector<std::string> Keys(const TCatalogue& c) {
  std::vector<std::string> k;
  for (const TCatalogueItem& i : c) k.push_back(i.Name);
  return k;
}
const auto kAllValid = [](std::size_t) { return true; };
const auto kUnknownFiles = [](const std::string&) { return -1; };
const TCatalogueEntry* Written(const TLeavePlan& plan, const std::string& name) {
  for (const TCatalogueItem& c : plan.Catalogue)
    if (c.Name == name) return &c.Entry;
  return nullptr;
}

}  // namespace

TEST(CatalogueMerge, TheKthFileOfANameTakesTheKthEntryOfThatName) {
  const std::vector<std::string> entries{"CAF?.JPG", "B.JPG", "CAF?.JPG", "CAF?.JPG"};
  EXPECT_EQ(MatchEntries({{"CAF?.JPG", 1}, {"B.JPG", 0}, {"CAF?.JPG", 0}, {"NEW.JPG", 0}, {"CAF?.JPG", 3}}, entries),
            (std::vector<int>{2, 1, 0, -1, -1}));
  EXPECT_EQ(MatchEntries({{"B.JPG", 1}}, entries), std::vector<int>{-1});
}

TEST(CatalogueMerge, NothingChangedWritesNothing) {
  TLeavingItem a = WithEntry("A.JPG", "kept");
  const TCatalogue disk{Disk("A.JPG", "kept", 0), Disk("GONE.JPG", "", 1)};
  TLeavePlan plan = PlanLeave({a, Listed("B.JPG")}, disk, Keys(disk), kAllValid, kUnknownFiles);
  EXPECT_FALSE(plan.Changed);
  EXPECT_TRUE(plan.Catalogue.empty());
  EXPECT_TRUE(plan.Tiles.empty());
}

TEST(CatalogueMerge, OnlyThisRunsChangesGoOverWhatIsOnDisk) {
  // This run read A "old", B "", C "c" and changed B only; another Quiran meanwhile wrote A
  // "theirs" and C's new tile 7, and dropped nothing.
  // Of D this run changed the comment and the other the date: each keeps its own.
  TLeavingItem a = WithEntry("A.JPG", "old"), b = WithEntry("B.JPG", "mine"), c = WithEntry("C.JPG", "c"),
               d = WithEntry("D.JPG", "mine too");
  b.CommentChanged = b.DateChanged = true;
  b.Entry.Date = 45000;
  d.CommentChanged = true;
  const TCatalogue disk{Disk("C.JPG", "c", 7), Disk("A.JPG", "theirs", 0, 44000), Disk("B.JPG", "", 1),
                        Disk("D.JPG", "", 2, 43000)};
  TLeavePlan plan = PlanLeave({b, a, c, d}, disk, Keys(disk), kAllValid, kUnknownFiles);
  ASSERT_TRUE(plan.Changed);
  EXPECT_EQ(Keys(plan.Catalogue), (std::vector<std::string>{"B.JPG", "A.JPG", "C.JPG", "D.JPG"}));  // list order
  EXPECT_EQ(Written(plan, "D.JPG")->Comment, "mine too");
  EXPECT_EQ(Written(plan, "D.JPG")->Date, 43000);
  EXPECT_EQ(Written(plan, "A.JPG")->Comment, "theirs");
  EXPECT_EQ(Written(plan, "A.JPG")->Date, 44000);
  EXPECT_EQ(Written(plan, "B.JPG")->Comment, "mine");
  EXPECT_EQ(Written(plan, "B.JPG")->Date, 45000);
  // Tiles stay where the cache on disk has them, with the disk's pixel size: no cache to write.
  EXPECT_EQ(Written(plan, "C.JPG")->TileIndex, 7);
  EXPECT_EQ(Written(plan, "C.JPG")->PixelWidth, 640);
  EXPECT_EQ(Written(plan, "B.JPG")->TileIndex, 1);
  EXPECT_TRUE(plan.Tiles.empty());
  EXPECT_EQ(plan.ItemEntry, (std::vector<int>{0, 1, 2, 3}));
}

TEST(CatalogueMerge, EntriesOfFilesNotListedStayWhileTheFilesExist) {
  TLeavingItem a = WithEntry("A.JPG", "x");
  a.CommentChanged = true;
  const TCatalogue disk{Disk("SCAN.PPM", "scanned", 2), Disk("A.JPG", "", 0), Disk("GONE.JPG", "lost", 1),
                        Disk("TWICE.PPM", "1", -1), Disk("TWICE.PPM", "2", -1)};
  auto files = [](const std::string& key) { return key == "SCAN.PPM" || key == "A.JPG" ? 1 : key == "TWICE.PPM" ? 1 : 0; };
  TLeavePlan plan = PlanLeave({a}, disk, Keys(disk), kAllValid, files);
  EXPECT_EQ(Keys(plan.Catalogue), (std::vector<std::string>{"A.JPG", "SCAN.PPM", "TWICE.PPM"}));
  EXPECT_EQ(Written(plan, "SCAN.PPM")->Comment, "scanned");
  EXPECT_EQ(Written(plan, "SCAN.PPM")->TileIndex, 2);
  EXPECT_EQ(Written(plan, "TWICE.PPM")->Comment, "1");
  // When the folder's files cannot be listed, no entry is dropped.
  plan = PlanLeave({a}, disk, Keys(disk), kAllValid, kUnknownFiles);
  EXPECT_EQ(plan.Catalogue.size(), 5u);
}

TEST(CatalogueMerge, NamesReadAlikeEachKeepTheirOwnEntryInDiskOrder) {
  // Listed in list order 2, 0, 1 of their names on disk; only the last has an entry.
  TLeavingItem second = Listed("CAF?.JPG", 2), first = Listed("CAF?.JPG", 0), middle = WithEntry("CAF?.JPG", "mid", true, 1);
  middle.CommentChanged = true;
  TLeavePlan plan = PlanLeave({second, first, middle}, {}, {}, kAllValid, kUnknownFiles);
  // Every one of them gets an entry, in the order of their names on disk, so the next reading
  // gives the comment to the middle one again.
  ASSERT_EQ(plan.Catalogue.size(), 3u);
  EXPECT_EQ(plan.Catalogue[0].Entry.Comment, "");
  EXPECT_EQ(plan.Catalogue[1].Entry.Comment, "mid");
  EXPECT_EQ(plan.Catalogue[2].Entry.Comment, "");
  EXPECT_EQ(plan.ItemEntry, (std::vector<int>{2, 0, 1}));
  std::vector<std::string> keys(3, "CAF?.JPG");
  EXPECT_EQ(MatchEntries({first.Key, middle.Key, second.Key}, keys), (std::vector<int>{0, 1, 2}));
}

TEST(CatalogueMerge, NewThumbnailsTakeFreePlacesAndKeptTilesStay) {
  // A and C keep their tiles 0 and 3; B's was made again; D's tile on disk is not its own (the
  // cache was replaced); E is new; GONE's place 1 stays untouched for the catalogue on disk.
  TLeavingItem a = WithEntry("A.JPG", ""), b = WithEntry("B.JPG", ""), c = WithEntry("C.JPG", ""),
               d = WithEntry("D.JPG", ""), e = WithEntry("E.JPG", ""), f = WithEntry("F.JPG", "", false);
  b.ThumbnailMade = e.ThumbnailMade = true;
  const TCatalogue disk{Disk("A.JPG", "", 0), Disk("GONE.JPG", "", 1), Disk("B.JPG", "", 2), Disk("C.JPG", "", 3),
                        Disk("D.JPG", "", 4), Disk("F.JPG", "", 5)};
  auto valid = [](std::size_t k) { return k != 4 && k != 5; };
  TLeavePlan plan = PlanLeave({e, d, c, b, a, f}, disk, Keys(disk), valid, [](const std::string&) { return 0; });
  EXPECT_EQ(Written(plan, "A.JPG")->TileIndex, 0);
  EXPECT_EQ(Written(plan, "C.JPG")->TileIndex, 3);
  // New places, lowest first, never one a valid entry on disk uses (0, 1, 2, 3).
  EXPECT_EQ(Written(plan, "E.JPG")->TileIndex, 4);
  EXPECT_EQ(Written(plan, "D.JPG")->TileIndex, 5);
  EXPECT_EQ(Written(plan, "B.JPG")->TileIndex, 6);
  EXPECT_EQ(Written(plan, "B.JPG")->PixelWidth, 320);  // the new thumbnail's picture size
  EXPECT_EQ(Written(plan, "F.JPG")->TileIndex, -1);    // no thumbnail, and its tile on disk is not its own
  EXPECT_EQ(Written(plan, "GONE.JPG"), nullptr);
  ASSERT_EQ(plan.Tiles.size(), 7u);
  EXPECT_TRUE(plan.Tiles[0].Keep);
  EXPECT_EQ(plan.Tiles[0].Tag, TileTag("A.JPG"));
  EXPECT_FALSE(plan.Tiles[1].Keep);  // GONE's: black, named for nobody
  EXPECT_EQ(plan.Tiles[1].Item, -1);
  EXPECT_EQ(plan.Tiles[1].Tag, 0u);
  EXPECT_FALSE(plan.Tiles[2].Keep);  // B's old place: not used any more
  EXPECT_TRUE(plan.Tiles[3].Keep);
  EXPECT_EQ(plan.Tiles[4].Item, 0);
  EXPECT_EQ(plan.Tiles[4].Tag, TileTag("E.JPG"));
  EXPECT_EQ(plan.Tiles[6].Item, 3);
}

TEST(CatalogueMerge, ThumbnailsPastTheLargestCacheAreNotStored) {
  std::vector<TLeavingItem> items;
  for (int i = 0; i <= kMaxTiles; ++i) {
    items.push_back(WithEntry("P" + std::to_string(i) + ".JPG", ""));
    items.back().ThumbnailMade = true;
  }
  TLeavePlan plan = PlanLeave(items, {}, {}, kAllValid, kUnknownFiles);
  EXPECT_EQ(plan.Catalogue.back().Entry.TileIndex, -1);
  EXPECT_EQ(plan.Catalogue[kMaxTiles - 1].Entry.TileIndex, kMaxTiles - 1);
  EXPECT_EQ(plan.Tiles.size(), static_cast<std::size_t>(kMaxTiles));
}
