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

  std::optional<TPluginOptions> back = TPluginOptions::Parse(TPluginOptions{choice, false}.Text());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Formats, choice);
  EXPECT_FALSE(back->Formats.InUse("ifpng.spi", "*.png"));

  // Ticking a format again brings it back.
  choice.SetInUse("ifpng.spi", "*.png", true);
  EXPECT_TRUE(choice.InUse("ifpng.spi", "*.png"));
  choice.SetInUse("表示.spi", "*.tif;*.tiff", true);
  EXPECT_TRUE(choice.AllInUse());
  EXPECT_EQ(TPluginOptions::Parse(TPluginOptions{choice, false}.Text())->Formats, choice);
}

TEST(FormatChoice, DamagedTextIsRefused) {
  TFormatChoice one;
  one.SetInUse("a.spi", "*.a", false);
  const std::string good = TPluginOptions{one, false}.Text();
  EXPECT_TRUE(TPluginOptions::Parse(good));
  EXPECT_TRUE(TPluginOptions::Parse("[UnusedFormats]\n; note\n\na.spi\t*.a\n"));  // LF lines, blank lines
  for (std::string_view bad : {std::string_view(""), std::string_view("\r\n"), std::string_view("a.spi\t*.a\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi *.a\r\n"),
                               std::string_view("[UnusedFormats]\r\n\t*.a\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t*.\x01\r\n"),
                               std::string_view("[UnusedFormats]\r\na.spi\t*.\x95\r\n"),  // a lead byte alone
                               std::string_view("\xEF\xBB\xBF[UnusedFormats]\r\n")})
    EXPECT_FALSE(TPluginOptions::Parse(bad)) << bad;
  // Cut short anywhere inside its last line.
  EXPECT_FALSE(TPluginOptions::Parse(std::string_view(good).substr(0, good.size() - 1)));
  EXPECT_FALSE(TPluginOptions::Parse(std::string_view(good).substr(0, good.size() - 4)));
}

TEST(FormatChoice, WherePluginsRun) {
  // A file of an earlier version has no [Plugins] section: plug-ins run in their helpers.
  std::optional<TPluginOptions> old = TPluginOptions::Parse("[UnusedFormats]\r\na.spi\t*.a\r\n");
  ASSERT_TRUE(old);
  EXPECT_FALSE(old->InProcess);
  EXPECT_FALSE(old->Formats.InUse("a.spi", "*.a"));
  TPluginOptions inside{old->Formats, true};
  EXPECT_EQ(TPluginOptions::Parse(inside.Text()), inside);
  EXPECT_NE(inside.Text().find("[Plugins]\r\n"), std::string::npos);
  // Either section first; only 0 or 1; each section once.
  std::optional<TPluginOptions> first = TPluginOptions::Parse("[Plugins]\r\nInProcess=1\r\n[UnusedFormats]\r\n");
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->InProcess);
  EXPECT_TRUE(first->Formats.AllInUse());
  for (std::string_view bad : {std::string_view("[Plugins]\r\nInProcess=2\r\n"), std::string_view("[Plugins]\r\nInProcess=\r\n"),
                               std::string_view("[Plugins]\r\n[UnusedFormats]\r\n[Plugins]\r\n")})
    EXPECT_FALSE(TPluginOptions::Parse(bad)) << bad;
}

TEST(FormatChoice, OtherPartsLinesAreTheirs) {
  // Sections and keys of other parts of the program are neither read nor refused ...
  std::optional<TPluginOptions> read = TPluginOptions::Parse(
      "[Window]\r\nLeft=1\r\n[Plugins]\r\nInProcess = 1\r\nOther=1\r\n[UnusedFormats]\r\na.spi\t*.a\r\n");
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->InProcess);
  EXPECT_FALSE(read->Formats.InUse("a.spi", "*.a"));
  // ... and storing the formats changes only their own section.
  std::optional<TIniText> ini = TIniText::Parse("[Window]\r\nLeft=1\r\n[Plugins]\r\nInProcess=1\r\nOther=1\r\n"
                                                "[UnusedFormats]\r\na.spi\t*.a\r\n");
  ASSERT_TRUE(ini);
  TFormatChoice none;
  none.SetInUse("b.spi", "*.b", false);
  TPluginOptions::StoreFormats(*ini, none);
  EXPECT_EQ(ini->Value("Window", "Left"), "1");
  EXPECT_EQ(ini->Value("Plugins", "Other"), "1");
  EXPECT_EQ(TPluginOptions::From(*ini), (TPluginOptions{none, true}));
  // Settings without the plug-in sections get both, the switch at its default.
  TIniText fresh = *TIniText::Parse("[Window]\r\nLeft=1\r\n");
  TPluginOptions::StoreFormats(fresh, none);
  EXPECT_EQ(fresh.Value("Plugins", "InProcess"), "0");
  EXPECT_EQ(fresh.Value("Window", "Left"), "1");
}
