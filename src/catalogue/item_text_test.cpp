// The list's picture texts: the size line, dates with their Japanese weekday, the popup's and
// the status bar's hover texts; and where an item's parts go.
#include "catalogue/item_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "catalogue/list_item_layout.h"

namespace {
TPictureEntry Entry(int w, int h, double date = 0, std::string comment = {}) {
  TPictureEntry e;
  e.PixelWidth = static_cast<std::uint16_t>(w);
  e.PixelHeight = static_cast<std::uint16_t>(h);
  e.Date = date;
  e.Comment = std::move(comment);
  return e;
}
}  // namespace

TEST(ItemText, SizeLinePadsToFourDigits) {
  EXPECT_EQ(PixelSizeText(Entry(640, 48)), "SIZE:W 640×H  48 (Dot)");
  EXPECT_EQ(PixelSizeText(Entry(4000, 3000)), "SIZE:W4000×H3000 (Dot)");
  EXPECT_EQ(PixelSizeText(Entry(65535, 0)), "SIZE:W65535×H   0 (Dot)");
  // "×" is one double-byte character in Shift-JIS.
  EXPECT_EQ(PixelSizeText(Entry(1, 1)).substr(10, 2), "\x81\x7E");
}

TEST(ItemText, DatesCountFrom1899WithJapaneseWeekdays) {
  EXPECT_EQ(DateText(0.25), "1899/12/30 (土)");
  EXPECT_EQ(DateText(1), "1899/12/31 (日)");
  EXPECT_EQ(DateText(2), "1900/01/01 (月)");
  EXPECT_EQ(DateText(60), "1900/02/28 (水)");  // 1900 was no leap year
  EXPECT_EQ(DateText(61), "1900/03/01 (木)");
  EXPECT_EQ(DateText(36585), "2000/02/29 (火)");
  EXPECT_EQ(DateText(46365.999), "2026/12/09 (水)");  // the time of day does not move the day
  EXPECT_EQ(DateText(2958465), "9999/12/31 (金)");
  // Values a damaged catalogue may hold show no date rather than a wrong one.
  EXPECT_EQ(DateText(2958466), "");
  EXPECT_EQ(DateText(-1), "");
  EXPECT_EQ(DateText(1e300), "");
  EXPECT_EQ(DateText(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(DateText(std::numeric_limits<double>::infinity()), "");
}

TEST(ItemText, DateLineOnlyForDatedEntries) {
  EXPECT_EQ(DateLine(Entry(1, 1, 46365)), "DATE:2026/12/09 (水)");
  EXPECT_EQ(DateLine(Entry(1, 1, 0)), "");
  EXPECT_EQ(DateLine(Entry(1, 1, -5)), "");
  EXPECT_EQ(DateLine(Entry(1, 1, std::numeric_limits<double>::quiet_NaN())), "");
}

TEST(ItemText, HoverTexts) {
  EXPECT_EQ(HoverHintText(Entry(640, 480)), "SIZE:W 640×H 480 (Dot)");
  EXPECT_EQ(HoverHintText(Entry(640, 480, 46365)), "SIZE:W 640×H 480 (Dot)\r\nDATE:2026/12/09 (水)");
  // Without a date the comment comes right after the size line.
  EXPECT_EQ(HoverHintText(Entry(640, 480, 0, "海\r\n山")), "SIZE:W 640×H 480 (Dot)\r\n海\r\n山");
  EXPECT_EQ(HoverHintText(Entry(640, 480, 46365, "海")), "SIZE:W 640×H 480 (Dot)\r\nDATE:2026/12/09 (水)\r\n海");

  EXPECT_EQ(HoverStatusText(Entry(640, 480)), "SIZE:W 640×H 480 (Dot)   ");
  EXPECT_EQ(HoverStatusText(Entry(640, 480, 46365, "海")), "SIZE:W 640×H 480 (Dot)   DATE:2026/12/09 (水)");
}

TEST(ListItemLayout, PartsOfAnItem) {
  // Size 3 with remarks: 222 x 77 at (222, 77), the second item of the second column.
  const TListItemLayout a = LayoutListItem({222, 77, 444, 154}, false, 72, 54, 14);
  EXPECT_EQ(a.Name, (TItemRect{226, 79, 441, 94}));
  EXPECT_EQ(a.Thumbnail, (TItemRect{224, 93, 296, 147}));
  EXPECT_EQ(a.SizeLine, (TItemRect{298, 91, 441, 151}));
  EXPECT_EQ(a.DateLine, (TItemRect{298, 105, 441, 151}));
  // The comment starts on the third line whether or not there is a date, and ends at B - 3.
  EXPECT_EQ(a.Comment, (TItemRect{298, 119, 441, 151}));

  // Selected: everything one pixel right and down, the right and bottom limits unchanged.
  const TListItemLayout s = LayoutListItem({222, 77, 444, 154}, true, 72, 54, 14);
  EXPECT_EQ(s.Name, (TItemRect{227, 80, 441, 95}));
  EXPECT_EQ(s.Thumbnail, (TItemRect{225, 94, 297, 148}));
  EXPECT_EQ(s.Comment, (TItemRect{299, 120, 441, 151}));

  // Size 5: the remarks start after the 144-pixel thumbnail and its margins.
  const TListItemLayout big = LayoutListItem({0, 0, 294, 131}, false, 144, 108, 14);
  EXPECT_EQ(big.Thumbnail, (TItemRect{2, 16, 146, 124}));
  EXPECT_EQ(big.SizeLine.Left, 148);
}
