#include "win/sjis.h"

#include <gtest/gtest.h>

#include "win/error.h"

// "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: their trail byte is a backslash.
TEST(Sjis, TrailBackslashIsNotAPathSeparator) {
  EXPECT_FALSE(sjis::EndsWithChar("C:\\写真\\表", '\\'));
  EXPECT_FALSE(sjis::EndsWithChar("\x83\x5C", '\\'));
  EXPECT_TRUE(sjis::EndsWithChar("C:\\", '\\'));
  EXPECT_TRUE(sjis::EndsWithChar("表\\", '\\'));
  EXPECT_FALSE(sjis::EndsWithChar("", '\\'));
  EXPECT_EQ(sjis::ExtractFileName("C:\\表\\ソ.jpg"), "ソ.jpg");
  EXPECT_EQ(sjis::ExtractFilePath("C:\\表"), "C:\\");
}

TEST(Sjis, SuffixMustStartOnACharacterBoundary) {
  EXPECT_FALSE(sjis::EndsWith("\x83\x4A" "PG", "JPG"));  // カPG
  EXPECT_TRUE(sjis::EndsWith("PHOTO.JPG", "JPG"));
  EXPECT_TRUE(sjis::EndsWith("写真JPG", "JPG"));
  EXPECT_FALSE(sjis::EndsWith("PG", "JPG"));
}

TEST(Sjis, UpperAsciiLeavesTrailBytesAlone) {
  // 0x83 0x61 is "ヂ"; its trail byte is the letter "a" and must not become "A".
  EXPECT_EQ(sjis::UpperAscii("a\x83\x61z"), "A\x83\x61Z");
  EXPECT_TRUE(sjis::SameTextAscii("C:\\Photos\\ヂa", "c:\\PHOTOS\\ヂA"));
  EXPECT_FALSE(sjis::SameTextAscii("\x83\x61", "\x83\x41"));
}

TEST(Sjis, TruncateNeverSplitsADoubleByteCharacter) {
  std::string text(254, 'a');
  text += "表";  // bytes 254 and 255
  EXPECT_EQ(sjis::Truncate(text, 255).size(), 254u);
  EXPECT_EQ(sjis::Truncate(text, 256).size(), 256u);
  EXPECT_EQ(sjis::Truncate("abc", 255), "abc");
}

TEST(Sjis, ExtensionsAreFoundCharacterByCharacter) {
  EXPECT_EQ(sjis::ExtractFileExt("C:\\a.b\\photo.jpeg"), ".jpeg");
  EXPECT_EQ(sjis::ExtractFileExt("C:\\a.b\\photo"), "");
  EXPECT_EQ(sjis::ChangeFileExt("C:\\Apps\\viewer.exe", ".Alb"), "C:\\Apps\\viewer.Alb");
  EXPECT_EQ(sjis::ChangeFileExt("C:\\Apps\\表", ".Alb"), "C:\\Apps\\表.Alb");
}

TEST(Format, ReplacesArgumentsInOrder) {
  EXPECT_EQ(Format("ファイル %s は開けません", {"C:\\x.Alb"}), "ファイル C:\\x.Alb は開けません");
  EXPECT_EQ(Format("%s:%s 100%%", {"a", "b"}), "a:b 100%");
  // A double-byte character whose trail byte is '%' (none exists in code page 932, but '\'
  // does): the pattern is walked by characters.
  EXPECT_EQ(Format("表%s", {"x"}), "表x");
}
