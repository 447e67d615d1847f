// One list item drawn into a bitmap: the frames, the selected item's shift and bold name, the
// remarks column's lines, the comment cut at the bottom, and no GDI object made per item.
#include "catalogue/list_item_draw.h"

#include <gtest/gtest.h>

#include "win/canvas.h"

namespace {

constexpr RECT kItem{0, 0, 294, 131};  // size 5 with remarks
constexpr int kThumbW = 144, kThumbH = 108, kRemarksX = 148, kLh = 14;

TThumbnailPtr RedThumbnail() {
  PixelBuffer red(TThumbnail::kWidth, TThumbnail::kHeight);
  for (int y = 0; y < red.Height(); ++y)
    for (int x = 0; x < red.Width(); ++x) red.SetPixel(x, y, 0x0000FF);
  return std::make_shared<TThumbnail>(red);
}

TFileItem Item(double date, std::string comment, TThumbnailPtr thumb = nullptr) {
  TFileItem item;
  item.Name = "P1000123.JPG";
  item.Entry = std::make_unique<TPictureEntry>();
  item.Entry->Thumbnail = std::move(thumb);
  item.Entry->PixelWidth = 4000;
  item.Entry->PixelHeight = 3000;
  item.Entry->Date = date;
  item.Entry->Comment = std::move(comment);
  return item;
}

class Drawn {
 public:
  Drawn(const TFileItem& item, bool selected, bool remarks = true) : bitmap_(kItem.right, kItem.bottom) {
    TListItemDrawer().Draw(bitmap_.Dc(), kItem, item, selected, kThumbW, kThumbH, remarks, 32);
  }
  std::uint32_t Pixel(int x, int y) const { return bitmap_.Pixel(x, y); }
  // Pixels of text ink (black or nearly, as smoothed glyphs draw) in [x0, x1) x [y0, y1).
  int Ink(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const std::uint32_t c = Pixel(x, y);
        if ((c & 0xFF) < 96 && (c >> 8 & 0xFF) < 96 && (c >> 16 & 0xFF) < 96) ++n;
      }
    return n;
  }
  bool Red(int x, int y) const {
    const std::uint32_t c = Pixel(x, y);
    return (c & 0xFF) > 200 && (c >> 8 & 0xFF) < 60 && (c >> 16 & 0xFF) < 60;
  }

 private:
  win::MemoryBitmap bitmap_;
};

}  // namespace

TEST(ListItemDraw, RaisedAndSunkenFrames) {
  const std::uint32_t light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW),
                      face = GetSysColor(COLOR_BTNFACE);
  const TFileItem item = Item(0, {});
  const Drawn raised(item, false);
  EXPECT_EQ(raised.Pixel(0, 60), light);
  EXPECT_EQ(raised.Pixel(100, 0), light);
  EXPECT_EQ(raised.Pixel(0, 0), light);
  EXPECT_EQ(raised.Pixel(292, 60), shadow);  // R - 2
  EXPECT_EQ(raised.Pixel(100, 129), shadow);  // B - 2
  EXPECT_EQ(raised.Pixel(293, 60), 0u);      // R - 1, black
  EXPECT_EQ(raised.Pixel(293, 0), 0u);
  EXPECT_EQ(raised.Pixel(100, 130), 0u);     // B - 1, black
  EXPECT_EQ(raised.Pixel(1, 60), face);

  const Drawn sunken(item, true);
  EXPECT_EQ(sunken.Pixel(0, 60), shadow);
  EXPECT_EQ(sunken.Pixel(100, 0), shadow);
  EXPECT_EQ(sunken.Pixel(293, 60), light);
  EXPECT_EQ(sunken.Pixel(100, 130), light);
  EXPECT_EQ(sunken.Pixel(292, 60), face);
  EXPECT_EQ(sunken.Pixel(100, 129), face);
}

TEST(ListItemDraw, SelectedContentMovesOnePixelAndItsNameIsBold) {
  const TFileItem item = Item(0, {}, RedThumbnail());
  const Drawn plain(item, false), selected(item, true);
  // The thumbnail at (L + 2, T + 16), 144 x 108; one pixel further for the selected item.
  EXPECT_TRUE(plain.Red(2, 16));
  EXPECT_FALSE(plain.Red(1, 16));
  EXPECT_FALSE(plain.Red(2, 15));
  EXPECT_TRUE(plain.Red(145, 123));
  EXPECT_FALSE(plain.Red(146, 123));
  EXPECT_FALSE(selected.Red(2, 16));
  EXPECT_TRUE(selected.Red(3, 17));
  EXPECT_TRUE(selected.Red(146, 124));
  // The name: the same text in bold, wider.
  auto nameEnd = [](const Drawn& d) {
    for (int x = 200; x > 0; --x)
      if (d.Ink(x, 2, x + 1, 14)) return x;
    return 0;
  };
  EXPECT_GT(nameEnd(plain), 40);
  EXPECT_GT(nameEnd(selected), nameEnd(plain) + 3);
  // The remarks move too: the first ink row of the size line is one lower.
  auto firstInkRow = [](const Drawn& d) {
    for (int y = kLh; y < 2 * kLh + 1; ++y)
      if (d.Ink(kRemarksX, y, 290, y + 1)) return y;
    return -1;
  };
  EXPECT_GE(firstInkRow(plain), kLh);
  EXPECT_EQ(firstInkRow(selected), firstInkRow(plain) + 1);
}

TEST(ListItemDraw, DateLineOnlyForDatedItemsAndTheCommentOnTheThirdLine) {
  const Drawn dated(Item(46365, "海"), false), undated(Item(0, "海"), false);
  EXPECT_GT(dated.Ink(kRemarksX, kLh, 290, 2 * kLh), 0);    // size line
  EXPECT_GT(undated.Ink(kRemarksX, kLh, 290, 2 * kLh), 0);
  EXPECT_GT(dated.Ink(kRemarksX, 2 * kLh, 290, 3 * kLh), 0);  // date line
  EXPECT_EQ(undated.Ink(kRemarksX, 2 * kLh, 290, 3 * kLh), 0);
  // The comment keeps its place on the third line with or without a date.
  EXPECT_GT(undated.Ink(kRemarksX, 3 * kLh, 290, 4 * kLh), 0);
  EXPECT_EQ(undated.Ink(kRemarksX, 3 * kLh, 290, 4 * kLh), dated.Ink(kRemarksX, 3 * kLh, 290, 4 * kLh));
  // No remarks column: only the name and the frame.
  const Drawn hidden(Item(46365, "海"), false, false);
  EXPECT_EQ(hidden.Ink(kRemarksX, kLh, 290, 128), 0);
  // An item without entry: its frame and name only.
  TFileItem bare;
  bare.Name = "NEW.JPG";
  const Drawn plain(bare, false);
  EXPECT_GT(plain.Ink(4, 2, 100, 16), 0);
  EXPECT_EQ(plain.Ink(2, 17, 290, 128), 0);
}

TEST(ListItemDraw, CommentWrapsAndStopsThreePixelsAboveTheBottom) {
  std::string lines;
  for (int i = 0; i < 12; ++i) lines += "あいう\r\n";
  const Drawn many(Item(46365, lines), false);
  EXPECT_GT(many.Ink(kRemarksX, 120, 290, 128), 0);  // lines reach down to the cut
  EXPECT_EQ(many.Ink(kRemarksX, 128, 290, 130), 0);  // B - 3 and below: nothing
  // A line too long for the column goes on below, broken between characters.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "写";
  const Drawn wrapped(Item(46365, wide), false);
  EXPECT_GT(wrapped.Ink(kRemarksX, 4 * kLh, 290, 5 * kLh), 0);
  EXPECT_EQ(wrapped.Ink(291, 3 * kLh, 293, 128), 0);  // nothing from R - 3 on
}

TEST(ListItemDraw, AnItemWithACommentStillShowsItsThumbnail) {
  // The comment's clip once stayed in force for the thumbnail drawn after it, so every item
  // that had a comment lost its picture in the list.
  const Drawn commented(Item(46365, "湖の朝\r\n霧", RedThumbnail()), false);
  EXPECT_GT(commented.Ink(kRemarksX, 3 * kLh, 290, 5 * kLh), 0);
  EXPECT_TRUE(commented.Red(2 + kThumbW / 2, 16 + kThumbH / 2));
}

TEST(ListItemDraw, MakesNoGdiObjectPerItem) {
  TListItemDrawer drawer;
  win::MemoryBitmap bitmap(kItem.right, kItem.bottom);
  const TFileItem item = Item(46365, "海\r\n山", RedThumbnail());
  drawer.Draw(bitmap.Dc(), kItem, item, false, kThumbW, kThumbH, true, 32);
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 200; ++i) drawer.Draw(bitmap.Dc(), kItem, item, i % 2, kThumbW, kThumbH, true, 32);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
  // The DC is left as it was found: its own font and pen.
  EXPECT_EQ(GetCurrentObject(bitmap.Dc(), OBJ_FONT), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(GetCurrentObject(bitmap.Dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
}
