// Sorting the list: the exchange pattern and where ties land, the compare rules of the kinds.
#include "catalogue/file_sort.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {
TSortKey Entry(std::int64_t area, double date) { return {0, true, area, date}; }
TSortKey NoEntry() { return {}; }
TSortKey Ranked(std::int64_t rank) { return {rank, false, 0, 0}; }
}  // namespace

TEST(FileSort, ExchangePatternDecidesWhereTiesLand) {
  EXPECT_TRUE(SortOrder({}, skName).empty());
  EXPECT_EQ(SortOrder({Ranked(0)}, skName), (std::vector<std::size_t>{0}));
  // A.JPG, B.BMP, C.JPG by extension (.BMP ranks 0, .JPG 1): position 0 compares C, then B,
  // and takes B; A and C then compare equal and stay.
  EXPECT_EQ(SortOrder({Ranked(1), Ranked(0), Ranked(1)}, skExtension), (std::vector<std::size_t>{1, 0, 2}));
  // Not stable: of two equal items the first is exchanged to the end (1a 1b 0 -> 0 1b 1a).
  EXPECT_EQ(SortOrder({Ranked(1), Ranked(1), Ranked(0)}, skName), (std::vector<std::size_t>{2, 1, 0}));
  // The list is only reordered by the sort itself; "none" leaves it.
  EXPECT_EQ(SortOrder({Ranked(2), Ranked(0), Ranked(1)}, skNone), (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(SortOrder({Ranked(2), Ranked(0), Ranked(1)}, skName), (std::vector<std::size_t>{1, 2, 0}));
}

TEST(FileSort, AreaAndDateKinds) {
  // Items without an entry compare -9999 against anything and 9999 from the other side.
  EXPECT_EQ(CompareFiles(NoEntry(), Entry(1, 1), skArea), -9999);
  EXPECT_EQ(CompareFiles(NoEntry(), NoEntry(), skDate), -9999);
  EXPECT_EQ(CompareFiles(Entry(1, 1), NoEntry(), skDate), 9999);
  EXPECT_EQ(SortOrder({Entry(5, 0), NoEntry(), Entry(1, 0), NoEntry()}, skArea), (std::vector<std::size_t>{3, 1, 2, 0}));
  // Areas of 65535 x 65535 and 1 x 1: the difference needs more than 32 bits.
  EXPECT_GT(CompareFiles(Entry(65535LL * 65535, 0), Entry(1, 0), skArea), 0);
  EXPECT_LT(CompareFiles(Entry(1, 0), Entry(65535LL * 65535, 0), skArea), 0);
  // Dates closer than half a day are equal; a half rounds to the even neighbour.
  EXPECT_EQ(CompareFiles(Entry(0, 45000.4), Entry(0, 45000.0), skDate), 0);
  EXPECT_EQ(CompareFiles(Entry(0, 45000.5), Entry(0, 45000.0), skDate), 0);
  EXPECT_EQ(CompareFiles(Entry(0, 45001.5), Entry(0, 45000.0), skDate), 2);
  EXPECT_EQ(CompareFiles(Entry(0, 45001.0), Entry(0, 45000.0), skDate), 1);
  EXPECT_EQ(CompareFiles(Entry(0, 0), Entry(0, 45000.0), skDate), -45000);  // undated first
  EXPECT_EQ(SortOrder({Entry(0, 45001), Entry(0, 45000.4), Entry(0, 45000)}, skDate),
            (std::vector<std::size_t>{2, 1, 0}));
  EXPECT_EQ(SortKindOfTag(3), skArea);
  EXPECT_EQ(SortKindOfTag(7), skNone);
}

TEST(FileSort, ExtensionsAndRanks) {
  EXPECT_EQ(SortExtension("A.B.JPG"), ".JPG");
  EXPECT_EQ(SortExtension("FOOBMP"), "");
  EXPECT_EQ(SortExtension("表.JPG"), ".JPG");
  std::vector<std::string> texts{"B", "A", "B", "C"};
  auto rank = RankTexts(texts.size(), [&](std::size_t a, std::size_t b) { return texts[a].compare(texts[b]); });
  EXPECT_EQ(rank, (std::vector<std::int64_t>{1, 0, 1, 2}));
}

// A damaged catalogue may hold any bits as a date: what is no number (or no finite one)
// sorts as an item without date, and the comparison stays a consistent order.
TEST(FileSort, ADateThatIsNoNumberSortsAsNoDate) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(CompareFiles(Entry(0, nan), Entry(0, 0), skDate), 0);
  EXPECT_EQ(CompareFiles(Entry(0, 5), Entry(0, nan), skDate), 5);
  EXPECT_EQ(CompareFiles(Entry(0, inf), Entry(0, inf), skDate), 0);
  EXPECT_EQ(CompareFiles(Entry(0, -inf), Entry(0, 3), skDate), -3);
  EXPECT_EQ(SortOrder({Entry(0, 5), Entry(0, nan), Entry(0, 3), Entry(0, inf)}, skDate),
            (std::vector<std::size_t>{3, 1, 2, 0}));
}
