#include "imaging/format_choice.h"

#include <gtest/gtest.h>

TEST(FormatChoice, WithdrawnFormatsAndTheirText) {
  TFormatChoice choice;
  EXPECT_TRUE(choice.AllInUse());
  EXPECT_TRUE(choice.InUse("ifpng.spi", "*.png"));
  choice.SetInUse("IFPNG.SPI", "*.png", false);
  choice.SetInUse("表示.spi", "*.tif;*.tiff", false);  // 表 is 95 5C: its trail byte is a backslash
  choice.SetInUse("表示.spi", "*.tif;*.tiff", false);  // twice is once
  EXPECT_FALSE(choice.InUse("ifpng.spi", "*.png"));    // the file name in any ASCII case
  EXPECT_TRUE(choice.InUse("ifpng.spi", "*.PNG"));     // the filter as the plug-in gives it
  EXPECT_FALSE(choice.InUse("表示.SPI", "*.tif;*.tiff"));

  std::optional<TFormatChoice> back = TFormatChoice::Parse(choice.Text());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, choice);
  EXPECT_FALSE(back->InUse("ifpng.spi", "*.png"));

  // Ticking a format again brings it back.
  choice.SetInUse("ifpng.spi", "*.png", true);
  EXPECT_TRUE(choice.InUse("ifpng.spi", "*.png"));
  choice.SetInUse("表示.spi", "*.tif;*.tiff", true);
  EXPECT_TRUE(choice.AllInUse());
  EXPECT_EQ(TFormatChoice::Parse(choice.Text()), choice);
}

TEST(FormatChoice, DamagedTextIsRefused) {
  TFormatChoice one;
  one.SetInUse("a.spi", "*.a", false);
  const std::string good = one.Text();
  EXPECT_TRUE(TFormatChoice::Parse(good));
  EXPECT_TRUE(TFormatChoice::Parse("[UnusedFormats]\n; note\n\na.spi\t*.a\n"));  // LF lines, blank lines
  for (std::string_view bad : {std::string_view(""), std::string_view("\r\n"), std::string_view("a.spi\t*.a\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi *.a\r\n"),
                               std::string_view("[UnusedFormats]\r\n\t*.a\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t*.\x01\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t*.\x95\r\n"),  // a lead byte alone
                               std::string_view("\xEF\xBB\xBF[UnusedFormats]\r\n")})
    EXPECT_FALSE(TFormatChoice::Parse(bad)) << bad;
  // Cut short anywhere inside its last line.
  EXPECT_FALSE(TFormatChoice::Parse(std::string_view(good).substr(0, good.size() - 1)));
  EXPECT_FALSE(TFormatChoice::Parse(std::string_view(good).substr(0, good.size() - 4)));
}
