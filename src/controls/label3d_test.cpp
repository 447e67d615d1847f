// The 3D label drawn into bitmaps under Wine: sizes from the real font, where each layer
// lands, the setter rules and the disabled colours.
#include "controls/label3d.h"

#include <gtest/gtest.h>

#include <set>

#include "win/canvas.h"

namespace {

constexpr std::uint32_t kGround = 0x00FF00;

FontDesc LabelFont(int points, bool italic = false) {
  FontDesc f;
  f.SetPoints(points);
  f.Bold = true;
  f.Italic = italic;
  return f;
}

// Paints the label into a bitmap of green ground and returns the bitmap.
std::unique_ptr<win::MemoryBitmap> Render(TLabel3D& label, int w = 160, int h = 40) {
  auto bmp = std::make_unique<win::MemoryBitmap>(w, h);
  win::Canvas c(bmp->Dc());
  c.FillRect({0, 0, w, h}, kGround);
  label.Paint(c);
  return bmp;
}

// The same caption drawn by hand in one colour into the rectangle r.
std::unique_ptr<win::MemoryBitmap> Reference(const TLabel3D& label, RECT r, std::uint32_t color, int w = 160,
                                             int h = 40) {
  auto bmp = std::make_unique<win::MemoryBitmap>(w, h);
  win::Canvas c(bmp->Dc());
  c.FillRect({0, 0, w, h}, kGround);
  FontDesc f = label.Font();
  f.Color = color;
  c.DrawText(r, label.Caption(), f, DT_SINGLELINE | DT_LEFT);
  return bmp;
}

TEST(Label3D, ShadowWithOffsetsThreeAndMinusTwo) {
  TLabel3D label;
  label.SetFont(LabelFont(12));
  label.SetCaption("サンプルWg");
  label.SetStyle(lsShadow);
  label.SetShadowXOffset(3);
  label.SetShadowYOffset(-2);
  label.SetDownColor(0x0000FF);  // red shadow; stays lsShadow
  label.SetMainColor(0xFF0000);  // blue face
  EXPECT_EQ(label.Style(), lsShadow);

  auto bmp = Render(label);
  win::Canvas probe(bmp->Dc());
  SIZE wg = probe.TextExtent("Wg", label.Font());
  SIZE text = probe.TextExtent(label.Caption(), label.Font());
  EXPECT_EQ(label.Height(), wg.cy + 4);
  EXPECT_EQ(label.Width(), text.cx + 5);

  // Every solid pixel of the face drawn alone at (0, 2) is face-coloured in the label (the
  // face is on top), and every shadow pixel of the label belongs to the text drawn at (3, 0).
  auto face = Reference(label, {0, 2, label.Width(), label.Height() + 2}, 0xFF0000);
  auto shadow = Reference(label, {3, 0, label.Width() + 3, label.Height()}, 0x0000FF);
  int facePixels = 0, shadowPixels = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x) {
      if (face->Pixel(x, y) == 0xFF0000u) {
        ++facePixels;
        EXPECT_EQ(bmp->Pixel(x, y), 0xFF0000u) << x << "," << y;
      }
      if (bmp->Pixel(x, y) == 0x0000FFu) {
        ++shadowPixels;
        EXPECT_EQ(shadow->Pixel(x, y), 0x0000FFu) << x << "," << y;
      }
    }
  EXPECT_GT(facePixels, 50);
  EXPECT_GT(shadowPixels, 20);
}

TEST(Label3D, ReliefLayersLieUpLeftAndDownRightOfTheFace) {
  TLabel3D label;
  label.SetFont(LabelFont(14));
  label.SetCaption("アルバム名称：");
  label.SetUpColor(0x0000FF);    // red, drawn at (0, 0)
  label.SetDownColor(0xFF0000);  // blue, drawn at (2, 2)
  label.SetMainColor(0x000000);  // black face at (1, 1), on top of both
  label.SetShadowXOffset(5);     // no effect outside lsShadow
  auto bmp = Render(label);
  const int w = label.Width(), h = label.Height();
  auto up = Reference(label, {0, 0, w - 2, h - 2}, 0x0000FF);
  auto down = Reference(label, {2, 2, w, h}, 0xFF0000);
  auto face = Reference(label, {1, 1, w - 1, h - 1}, 0x000000);
  int counts[3] = {};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x) {
      std::uint32_t p = bmp->Pixel(x, y);
      if (face->Pixel(x, y) == 0u) {
        ++counts[0];
        EXPECT_EQ(p, 0u) << x << "," << y;
      }
      if (p == 0x0000FFu) {
        ++counts[1];
        EXPECT_EQ(up->Pixel(x, y), 0x0000FFu) << x << "," << y;
      }
      if (p == 0xFF0000u) {
        ++counts[2];
        EXPECT_EQ(down->Pixel(x, y), 0xFF0000u) << x << "," << y;
      }
    }
  EXPECT_GT(counts[0], 50);
  EXPECT_GT(counts[1], 10);
  EXPECT_GT(counts[2], 10);
  EXPECT_EQ(label.Height(), win::Canvas(bmp->Dc()).TextExtent("Wg", label.Font()).cy + 2);
}

TEST(Label3D, SizeFollowsTheFontOnEveryPaint) {
  TLabel3D label;
  EXPECT_EQ(label.Width(), 10);
  EXPECT_EQ(label.Height(), 10);
  label.SetCaption("文字フォント：");
  label.SetFont(LabelFont(12));
  Render(label);
  const int upright = label.Width();
  label.SetFont(LabelFont(12, true));
  auto bmp = Render(label);
  SIZE italicText = win::Canvas(bmp->Dc()).TextExtent(label.Caption(), label.Font());
  EXPECT_EQ(label.Width(), italicText.cx + 2 + 4);  // 12 points div 3
  EXPECT_GT(label.Width(), upright);

  // AutoSize off: the width stays, the height still follows the font.
  label.SetAutoSize(false);
  label.SetWidth(100);
  label.SetFont(LabelFont(20));
  bmp = Render(label);
  EXPECT_EQ(label.Width(), 100);
  EXPECT_EQ(label.Height(), win::Canvas(bmp->Dc()).TextExtent("Wg", label.Font()).cy + 2);
}

TEST(Label3D, SetterRulesForStyleAndColours) {
  TLabel3D raised;
  raised.SetStyle(lsRaised);
  EXPECT_EQ(raised.UpColor(), win::SysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(raised.DownColor(), win::SysColor(COLOR_BTNSHADOW));
  raised.SetUpColor(0x123456);
  EXPECT_EQ(raised.Style(), lsCustom);
  EXPECT_EQ(raised.UpColor(), 0x123456u);
  EXPECT_EQ(raised.DownColor(), win::SysColor(COLOR_BTNSHADOW));

  TLabel3D shadow;
  shadow.SetStyle(lsShadow);
  shadow.SetDownColor(0x0000FF);
  EXPECT_EQ(shadow.Style(), lsShadow);
  shadow.SetUpColor(0x00FF00);
  EXPECT_EQ(shadow.Style(), lsCustom);

  TLabel3D custom;
  custom.SetUpColor(0x111111);
  custom.SetDownColor(0x222222);
  custom.SetStyle(lsRaised);
  custom.SetStyle(lsCustom);
  EXPECT_EQ(custom.UpColor(), win::SysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(custom.DownColor(), win::SysColor(COLOR_BTNSHADOW));
  custom.SetStyle(lsLowered);
  EXPECT_EQ(custom.UpColor(), win::SysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(custom.DownColor(), win::SysColor(COLOR_BTNHIGHLIGHT));
}

// The solid colours a rendering uses, the green ground left out.
std::set<std::uint32_t> SolidColours(const win::MemoryBitmap& bmp, const std::set<std::uint32_t>& candidates) {
  std::set<std::uint32_t> seen;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (std::uint32_t c = bmp.Pixel(x, y); candidates.count(c)) seen.insert(c);
  return seen;
}

TEST(Label3D, DisabledLabelUsesButtonColours) {
  const std::uint32_t face = win::SysColor(COLOR_BTNFACE), light = win::SysColor(COLOR_BTNHIGHLIGHT),
                      dark = win::SysColor(COLOR_BTNSHADOW);
  ASSERT_EQ(std::set<std::uint32_t>({face, light, dark}).size(), 3u);
  const std::set<std::uint32_t> all{face, light, dark, 0x0000FF, 0xFF0000, 0x00FFFF};

  TLabel3D label;
  label.SetFont(LabelFont(14));
  label.SetCaption("アルバム名称：");
  label.SetUpColor(0x0000FF);
  label.SetDownColor(0xFF0000);
  label.SetMainColor(0x00FFFF);
  EXPECT_EQ(SolidColours(*Render(label), all), (std::set<std::uint32_t>{0x0000FF, 0xFF0000, 0x00FFFF}));
  label.SetEnabled(false);
  EXPECT_EQ(SolidColours(*Render(label), all), (std::set<std::uint32_t>{face, light, dark}));

  label.SetStyle(lsShadow);
  label.SetShadowXOffset(2);
  label.SetShadowYOffset(2);
  EXPECT_EQ(SolidColours(*Render(label), all), (std::set<std::uint32_t>{face, dark}));
}

}  // namespace
