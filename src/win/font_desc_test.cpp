#include "win/font_desc.h"

#include <gtest/gtest.h>

// Printing at 300 and 600 dots per inch: a point size means more dots there.
TEST(FontDesc, PointsAndHeightsAtTheDevicesResolution) {
  FontDesc screen;
  screen.SetPoints(14);
  EXPECT_EQ(screen.Height, -19);
  EXPECT_EQ(screen.HeightAt(300), -59);  // 19 pixels at 96 are 59.4 dots at 300
  EXPECT_EQ(screen.HeightAt(96), -19);
  FontDesc printer;
  printer.PixelsPerInch = 600;
  printer.SetPoints(14);
  EXPECT_EQ(printer.Height, -117);
  EXPECT_EQ(printer.Points(), 14);
  EXPECT_EQ(FontDesc::HeightForPoints(10, 300), -42);
  EXPECT_EQ(printer.HeightAt(96), -19);
}
