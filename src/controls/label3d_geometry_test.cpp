#include "controls/label3d_geometry.h"

#include <gtest/gtest.h>

namespace label3d {
namespace {

TEST(Label3DGeometry, ShadowOffsetsGrowTheLabelAndSeparateShadowFromFace) {
  Metrics m{16, 40, false, 9};
  Layout L = LayoutLabel(lsShadow, 3, -2, m, true, 10);
  EXPECT_EQ(L.height, 16 + 4);
  EXPECT_EQ(L.width, 40 + 5);
  EXPECT_EQ(L.lower, (Rect{3, 0, 48, 20}));
  EXPECT_EQ(L.face, (Rect{0, 2, 45, 22}));
  EXPECT_FALSE(L.hasUpper);

  Layout other = LayoutLabel(lsShadow, -4, 5, m, true, 10);
  EXPECT_EQ(other.lower, (Rect{0, 5, 46, 28}));
  EXPECT_EQ(other.face, (Rect{4, 0, 50, 23}));
}

TEST(Label3DGeometry, ItalicAddsAThirdOfThePointSizeAndAutoSizeOffKeepsTheWidth) {
  EXPECT_EQ(LayoutLabel(lsCustom, 0, 0, {16, 40, true, 12}, true, 10).width, 40 + 2 + 4);
  EXPECT_EQ(LayoutLabel(lsShadow, -3, 0, {16, 40, true, 14}, true, 10).width, 40 + 2 + 4 + 3);
  Layout fixed = LayoutLabel(lsShadow, 3, 7, {16, 40, false, 9}, false, 100);
  EXPECT_EQ(fixed.width, 100);
  EXPECT_EQ(fixed.height, 16 + 2 + 7);
}

}  // namespace
}  // namespace label3d
