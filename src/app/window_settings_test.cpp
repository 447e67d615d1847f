#include "app/window_settings.h"

#include <gtest/gtest.h>

using namespace app;

TEST(WindowSettings, ThePlaceComesBackAndOtherLinesStay) {
  TIniText ini = *TIniText::Parse("[UnusedFormats]\r\na.spi\t*.a\r\n[Window]\r\n; mine\r\nLeft=1\r\n");
  EXPECT_FALSE(ReadWindowPlace(ini));  // incomplete: as designed
  const WindowPlace place{{-1200, 40, 900, 700}, true, 260, 140};
  StoreWindowPlace(ini, place);
  EXPECT_EQ(ReadWindowPlace(ini), place);
  EXPECT_EQ(ini.Lines("UnusedFormats"), std::vector<std::string>{"a.spi\t*.a"});
  EXPECT_EQ(ini.Lines("Window").front(), "; mine");
  EXPECT_EQ(ReadWindowPlace(*TIniText::Parse(ini.Text())), place);

  // A value edited into something else than a number, or out of its range, is not used.
  for (const char* bad : {"Left=1x", "Left=", "Width=0", "Maximized=2", "TreeHeight=99999999999"}) {
    TIniText edited = ini;
    const std::string line = bad;
    edited.SetValue("Window", line.substr(0, line.find('=')), line.substr(line.find('=') + 1));
    EXPECT_FALSE(ReadWindowPlace(edited)) << bad;
  }
}

TEST(WindowSettings, APlaceOffEveryScreenIsNotUsed) {
  const std::vector<Box> one = {{0, 0, 1280, 984}};
  EXPECT_TRUE(OnSomeScreen({100, 100, 760, 600}, one));
  // Partly off to the right or the bottom: still taken by its title bar.
  EXPECT_TRUE(OnSomeScreen({1100, 900, 760, 600}, one));
  // Its title bar above the screen, or less than 100 pixels of it on the screen.
  EXPECT_FALSE(OnSomeScreen({100, -5, 760, 600}, one));
  EXPECT_FALSE(OnSomeScreen({1200, 100, 760, 600}, one));
  EXPECT_FALSE(OnSomeScreen({100, 970, 760, 600}, one));
  // On a second screen to the left that is gone now, and while it is there.
  const Box left{-1280, 0, 1280, 1024};
  EXPECT_FALSE(OnSomeScreen({-1000, 100, 760, 600}, one));
  EXPECT_TRUE(OnSomeScreen({-1000, 100, 760, 600}, {one[0], left}));
  // Across the two: the parts on each screen do not add up.
  EXPECT_FALSE(OnSomeScreen({-60, 100, 120, 600}, {one[0], left}));
  EXPECT_TRUE(OnSomeScreen({-60, 100, 50, 600}, {Box{-100, 0, 100, 1000}}));  // a narrow window, whole
  EXPECT_FALSE(OnSomeScreen({0, 0, 0, 0}, one));
}
