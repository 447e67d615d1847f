#include "imaging/spi_filters.h"

#include <gtest/gtest.h>

using Strings = std::vector<std::string>;

TEST(SpiFilters, ExtensionsOfAFilter) {
  EXPECT_EQ(FilterExtensions("*.pic;*.pi2;*.p"), (Strings{"pic", "pi2", "p"}));
  EXPECT_EQ(FilterExtensions("*.*"), Strings{"*"});
  EXPECT_EQ(FilterExtensions("mag"), Strings{"mag"});
  EXPECT_EQ(FilterExtensions("*.tar.gz"), Strings{"tar.gz"});  // after the first "."
  EXPECT_EQ(FilterExtensions("*.a;"), Strings{"a"});
  EXPECT_EQ(FilterExtensions(";;*.a"), Strings{"a"});  // empty patterns register nothing
  EXPECT_TRUE(FilterExtensions("").empty());
  // A ";" inside a double-byte character is no separator: 81 3B is one character.
  EXPECT_EQ(FilterExtensions("*.\x81\x3B" "b"), Strings{"\x81\x3B" "b"});
}

TEST(SpiFilters, CandidateOrderPutsClaimersFirstInReverse) {
  const std::vector<Strings> filters = {{"*.pic"}, {"*.mag"}, {"*.xx;*.PIC"}, {"*.q"}};
  auto at = [&](std::size_t i) { return &filters[i]; };
  EXPECT_EQ(CandidateOrder(4, "C:\\a\\photo.pic", at), (std::vector<std::size_t>{2, 0, 1, 3}));
  EXPECT_EQ(CandidateOrder(4, "C:\\a.pic\\photo", at), (std::vector<std::size_t>{0, 1, 2, 3}));
  // Of a filter with several patterns only the last pattern counts.
  EXPECT_EQ(CandidateOrder(4, "x.xx", at), (std::vector<std::size_t>{0, 1, 2, 3}));
  // Plug-ins of other classes are left out.
  auto some = [&](std::size_t i) { return i == 1 ? nullptr : &filters[i]; };
  EXPECT_EQ(CandidateOrder(4, "y.MAG", some), (std::vector<std::size_t>{0, 2, 3}));
  EXPECT_EQ(CandidateOrder(4, "y.q", some), (std::vector<std::size_t>{3, 0, 2}));
}

TEST(SpiFilters, PictureNames) {
  const Strings none;
  EXPECT_TRUE(IsPictureNameUpper("PHOTO.JPEG", none));
  EXPECT_TRUE(IsPictureNameUpper("SCANBMP", none));
  EXPECT_TRUE(IsPictureNameUpper("A.JPG", none));
  EXPECT_FALSE(IsPictureNameUpper("A.PNG", none));
  // "カPG" is 83 4A 50 47: "J" is the trail byte of "カ", so the name does not end with "JPG".
  EXPECT_FALSE(IsPictureNameUpper("\x83\x4A\x50\x47", none));
  EXPECT_TRUE(IsPictureNameUpper("\x83\x4A.JPG", none));
  EXPECT_TRUE(IsPictureNameUpper("A.PNG", Strings{".PNG"}));
  EXPECT_TRUE(IsPictureNameUpper("A.PNG", Strings{"", ".TIF", ".PNG"}));
  // The tail must also start on a character boundary of the name: ".\x83\x4A" vs "\x4A".
  EXPECT_FALSE(IsPictureNameUpper("A\x83\x4A", Strings{"\x4A"}));
}

TEST(SpiFilters, FilterPatternsAndTheNamesTheyMatch) {
  using Views = std::vector<std::string_view>;
  EXPECT_EQ(FilterPatterns("*.tif;*.tiff"), (Views{"*.tif", "*.tiff"}));
  EXPECT_EQ(FilterPatterns(";*.a;;*.b;"), (Views{"*.a", "*.b"}));
  EXPECT_EQ(FilterPatterns("*.\x81\x3B"), Views{"*.\x81\x3B"});  // 81 3B is one character, not a ";"
  EXPECT_EQ(PatternTail("*.tif"), ".tif");
  EXPECT_EQ(PatternTail("\x83\x4A.X"), ".X");  // the first character, not the first byte
  EXPECT_EQ(PatternTail("*"), "");
  // Any pattern of a filter of several, each taken less its first character.
  EXPECT_TRUE(FilterMatchesUpperName("*.TIF;*.TIFF", "SCAN.TIFF"));
  EXPECT_TRUE(FilterMatchesUpperName("*.TIF;*.TIFF", "SCAN.TIF"));
  EXPECT_FALSE(FilterMatchesUpperName("*.TIF;*.TIFF", "SCAN.TIFX"));
  // "*" and "*.*" make no ordinary name match: "*" has no tail, ".*" is taken as it stands.
  EXPECT_FALSE(FilterMatchesUpperName("*;*.*", "A.PNG"));
  EXPECT_FALSE(FilterMatchesUpperName("*.PG", "\x83\x4A\x50\x47"));  // "カPG": "J" is a trail byte
  EXPECT_FALSE(FilterMatchesUpperName("", "A.PNG"));
}
