#include "win/ini_text.h"

#include <gtest/gtest.h>

TEST(IniText, KeepsEveryLineItDoesNotChange) {
  const std::string text =
      "; Quiran\r\n\r\n[UnusedFormats]\r\n; note\r\na.spi\t*.a\r\n\r\n[Window]\r\nLeft=10\r\nOther=x=y\r\n[Mine]\r\n";
  std::optional<TIniText> ini = TIniText::Parse(text);
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->Text(), text);
  EXPECT_EQ(ini->Value("Window", "Left"), "10");
  EXPECT_EQ(ini->Value("Window", "Other"), "x=y");  // the first '=' ends the key
  EXPECT_FALSE(ini->Value("Window", "Top"));
  EXPECT_FALSE(ini->Value("Nowhere", "Left"));
  EXPECT_EQ(ini->Lines("UnusedFormats"), (std::vector<std::string>{"; note", "a.spi\t*.a", ""}));
  EXPECT_TRUE(ini->HasSection("Mine"));

  // Changing one key of one section leaves the rest byte for byte.
  ini->SetValue("Window", "Left", "-20");
  ini->SetValue("Window", "Top", "5");
  EXPECT_EQ(ini->Text(),
            "; Quiran\r\n\r\n[UnusedFormats]\r\n; note\r\na.spi\t*.a\r\n\r\n[Window]\r\nLeft=-20\r\nOther=x=y\r\nTop=5\r\n"
            "[Mine]\r\n");
  // A new key goes before the blank line that ends its section; a new section at the end.
  ini->SetValue("UnusedFormats", "K", "v");
  ini->SetLines("New", {"1", "2"});
  EXPECT_EQ(ini->Lines("UnusedFormats"), (std::vector<std::string>{"; note", "a.spi\t*.a", "K=v", ""}));
  EXPECT_EQ(TIniText::Parse(ini->Text()), ini);
  EXPECT_NE(ini->Text().find("[New]\r\n1\r\n2\r\n"), std::string::npos);
  // A comment is never a key, whatever it holds.
  ini->SetLines("C", {";Left=1"});
  EXPECT_FALSE(ini->Value("C", "Left"));
}

TEST(IniText, TextThatIsNoSettingsFileIsRefused) {
  EXPECT_TRUE(TIniText::Parse("[A]\n"));
  EXPECT_TRUE(TIniText::Parse("\r\n; c\r\n[A]\r\nx\r\n"));
  for (std::string_view bad :
       {std::string_view(""), std::string_view("\r\n"), std::string_view("; only a comment\r\n"),
        std::string_view("a.spi\t*.a\r\n[A]\r\n"), std::string_view("[A]\r\n[B]\r\n[A]\r\n"),
        std::string_view("[A]\r\nx"),  // cut short in its last line
        std::string_view("\xEF\xBB\xBF[A]\r\n"), std::string_view("[\x95]\r\n")})  // 95 5D: no closing bracket
    EXPECT_FALSE(TIniText::Parse(bad)) << bad;
  // A name whose double-byte character ends in 0x5D is still a name when the bracket follows.
  std::optional<TIniText> ini = TIniText::Parse("[\x95]]\r\nK=1\r\n");
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->Value("\x95]", "K"), "1");
}
