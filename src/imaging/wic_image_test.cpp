// Pictures through Windows' own codecs (Wine's, here): the formats listed, PNG, GIF, TIFF and
// ICO files decoded to what they hold (transparency on white), damaged files refused with a
// message, and the order against plug-ins: a plug-in that claims an extension comes first, and
// WIC reads what it cannot; the user can withdraw WIC's formats.
#include "imaging/wic_image.h"

#include <gtest/gtest.h>

#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/wic_test_util.h"
#include "imaging/win_test_util.h"

using namespace imgtest;

namespace {

const TWicFormat* Named(std::string_view ext) {
  for (const TWicFormat& f : WicFormats())
    for (const std::string& e : f.Extensions)
      if (e == ext) return &f;
  return nullptr;
}

// Four pixels in a row: red, green, blue, grey.
const std::uint32_t kFour[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080};

void ExpectPixels(const PixelBuffer& p, std::initializer_list<std::uint32_t> row) {
  ASSERT_EQ(p.Width(), static_cast<int>(row.size()));
  int x = 0;
  for (std::uint32_t c : row) EXPECT_EQ(p.Pixel(x++, 0), c) << x - 1;
}

class WicPictures : public testing::Test {
 protected:
  void SetUp() override { InitPictureFormats(); }
  void TearDown() override { DonePictureFormats(); }
  TempDir dir_;
};

}  // namespace

TEST_F(WicPictures, TheFormatsWindowsDecodesOtherThanQuiransOwn) {
  for (const char* ext : {"png", "gif", "tif", "tiff", "ico"}) {
    const TWicFormat* f = Named(ext);
    ASSERT_TRUE(f) << ext;
    EXPECT_EQ(f->Description.rfind("WIC: ", 0), 0u) << f->Description;
    EXPECT_NE(f->Filter.find(std::string("*.") + ext), std::string::npos) << f->Filter;
    EXPECT_EQ(FindFileFormat(ext), &TWICImage::Class) << ext;
  }
  for (const char* ext : {"bmp", "dib", "jpg", "jpeg", "jfif"}) EXPECT_FALSE(Named(ext)) << ext;
  EXPECT_EQ(FindFileFormat("jpg"), FindFileFormat("jpeg"));
  EXPECT_NE(FindFileFormat("jpg"), &TWICImage::Class);
  EXPECT_EQ(Named("tif"), Named("tiff"));  // one format, both extensions
}

TEST_F(WicPictures, PngGifTiffAndIconsDecodeToWhatTheyHold) {
  const Bytes rgb = wictest::Png(4, 1, 2, {{255, 0, 0, 0, 255, 0, 0, 0, 255, 128, 128, 128}});
  ExpectPixels(DecodeWic(rgb.data(), rgb.size()), {kFour[0], kFour[1], kFour[2], kFour[3]});
  // Transparent parts on white: opaque, clear, half.
  const Bytes rgba = wictest::Png(3, 1, 6, {{255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 128}});
  const PixelBuffer a = DecodeWic(rgba.data(), rgba.size());
  ExpectPixels(a, {0x0000FF, 0xFFFFFF, 0x7F7F7F});
  // Palette PNG with a transparent entry.
  const Bytes pal = wictest::Png(3, 1, 3, {{0, 1, 2}}, {0, 0, 255, 255, 255, 0, 9, 9, 9}, {255, 255, 0});
  ExpectPixels(DecodeWic(pal.data(), pal.size()), {0xFF0000, 0x00FFFF, 0xFFFFFF});
  // GIF with a transparent index, 600 pixels: the codes run past several clear codes.
  Bytes indices(600);
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i % 3);
  const Bytes gif = wictest::Gif(300, 2, indices, {255, 0, 0, 0, 0, 255, 1, 2, 3}, 2);
  const PixelBuffer g = DecodeWic(gif.data(), gif.size());
  ASSERT_EQ(g.Width(), 300);
  ASSERT_EQ(g.Height(), 2);
  EXPECT_EQ(g.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(g.Pixel(1, 0), 0xFF0000u);
  EXPECT_EQ(g.Pixel(2, 0), 0xFFFFFFu);
  EXPECT_EQ(g.Pixel(0, 1), 0x0000FFu);    // pixel 300
  EXPECT_EQ(g.Pixel(299, 1), 0xFFFFFFu);  // pixel 599
  // TIFF: a photo-like picture, every pixel as written.
  const PixelBuffer photo = testpic::PhotoLike(37, 23, 5);
  const Bytes tif = wictest::Tiff(photo);
  const PixelBuffer t = DecodeWic(tif.data(), tif.size());
  ASSERT_EQ(t.Width(), 37);
  ASSERT_EQ(t.Height(), 23);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(t.Pixel(x, y), photo.Pixel(x, y)) << x << "," << y;
  // An icon: its largest image, whatever its place in the file.
  const Bytes ico = wictest::Ico({{16, 0x0000FF}, {48, 0x00FF00}, {32, 0xFF0000}});
  const PixelBuffer i = DecodeWic(ico.data(), ico.size());
  EXPECT_EQ(i.Width(), 48);
  EXPECT_EQ(i.Pixel(24, 24), 0x00FF00u);
  // A large picture comes in bands of rows.
  const PixelBuffer big = testpic::PhotoLike(700, 900, 6);
  const Bytes bigPng = wictest::PngOf(big);
  const PixelBuffer b = DecodeWic(bigPng.data(), bigPng.size());
  ASSERT_EQ(b.Height(), 900);
  EXPECT_EQ(b.Pixel(699, 899), big.Pixel(699, 899));
  EXPECT_EQ(b.Pixel(350, 450), big.Pixel(350, 450));
}

TEST_F(WicPictures, FilesAreReadByTheCodecAndPngAndGifTellTheirSizeFirst) {
  const PixelBuffer photo = testpic::PhotoLike(41, 29, 4);
  const Bytes png = wictest::PngOf(photo);
  const PixelBuffer fromFile = DecodeWicFile(dir_.File("p.png", png));
  ASSERT_EQ(fromFile.Width(), 41);
  EXPECT_EQ(fromFile.Pixel(40, 28), photo.Pixel(40, 28));
  EXPECT_THROW(DecodeWicFile(dir_.Path() + "missing.png"), EFOpenError);
  EXPECT_THROW(DecodeWicFile(dir_.File("empty.png", {})), EInvalidGraphic);
  const std::optional<WicSize> p = WicHeaderSize(png.data(), png.size());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Width, 41);
  EXPECT_EQ(p->Height, 29);
  const Bytes gif = wictest::Gif(300, 2, Bytes(600, 0), {0, 0, 0});
  ASSERT_TRUE(WicHeaderSize(gif.data(), gif.size()));
  EXPECT_EQ(WicHeaderSize(gif.data(), gif.size())->Width, 300);
  const Bytes tif = wictest::Tiff(photo);
  EXPECT_FALSE(WicHeaderSize(tif.data(), tif.size()));
  EXPECT_FALSE(WicHeaderSize(png.data(), 23));  // too short for the size
  Bytes huge = png;
  huge[16] = 0x7F;  // a width beyond what Quiran takes: decoded first, then refused
  EXPECT_FALSE(WicHeaderSize(huge.data(), huge.size()));
}

TEST_F(WicPictures, DamagedFilesAreRefusedWithAMessage) {
  const Bytes png = wictest::PngOf(testpic::PhotoLike(64, 48, 1));
  auto message = [](const Bytes& b) -> std::string {
    try {
      DecodeWic(b.data(), b.size());
    } catch (const EInvalidGraphic& e) {
      return e.Message();
    }
    return "decoded";
  };
  EXPECT_EQ(message({}), "画像ファイルが空です");
  EXPECT_EQ(message(Bytes(500, 0x41)), "認識できない画像形式です");
  // Cut short anywhere: refused, never a crash.
  for (std::size_t cut : {8u, 20u, 40u, 100u, 1000u, 5000u}) {
    const std::string m = message(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_NE(m, "decoded") << cut;
    EXPECT_FALSE(m.empty()) << cut;
  }
  // A GIF and a TIFF cut in their picture data; a TIFF whose strip lies outside the file.
  const Bytes gif = wictest::Gif(40, 40, Bytes(1600, 1), {0, 0, 0, 255, 255, 255});
  EXPECT_NE(message(Bytes(gif.begin(), gif.begin() + 900)), "decoded");
  Bytes tif = wictest::Tiff(testpic::PhotoLike(40, 40, 2));
  EXPECT_NE(message(Bytes(tif.begin(), tif.begin() + 300)), "decoded");
  tif[8 + 2 + 5 * 12 + 8] = 0xFF, tif[8 + 2 + 5 * 12 + 11] = 0x7F;  // StripOffsets far away
  EXPECT_NE(message(tif), "decoded");
  // An icon cut short in its pixels.
  const Bytes ico = wictest::Ico({{32, 0x0000FF}});
  EXPECT_NE(message(Bytes(ico.begin(), ico.begin() + 600)), "decoded");
  // Through the registry: the message reaches the caller, the holder keeps its picture.
  TPicture picture;
  picture.LoadFromFile(dir_.File("good.png", png));
  EXPECT_THROW(picture.LoadFromFile(dir_.File("cut.png", Bytes(png.begin(), png.begin() + 200))), EInvalidGraphic);
  EXPECT_EQ(picture.Width(), 64);
}

TEST_F(WicPictures, APluginComesFirstAndWicReadsWhatItCannot) {
  const std::string png = dir_.File("a.png", wictest::PngOf(testpic::PhotoLike(6, 4, 3)));
  const std::string ppm = dir_.File("b.png", Ppm(3, 2));  // a PPM picture under a PNG name
  EXPECT_TRUE(IsPictureFile("A.PNG"));
  EXPECT_TRUE(IsPictureFile("SCAN.TIFF"));
  TPicture picture;
  picture.LoadFromFile(png);
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TWICImage::Class);
  {
    // A plug-in that claims *.png: it is asked first and reads its own kind of picture...
    TSPIs spis;
    spis.Add(CreateSPI(Plugin("ppm")));
    RegisterFileFormat("png", "plug-in PNG", &TSPIBitmap::Class);
    ResetPluginLog(Plugin("ppm"));
    picture.LoadFromFile(ppm);
    EXPECT_EQ(&picture.Graphic()->ClassType(), &TSPIBitmap::Class);
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_NE(PluginLog(Plugin("ppm")), "");
    // ...and a real PNG, which it rejects, goes to WIC.
    picture.LoadFromFile(png);
    EXPECT_EQ(&picture.Graphic()->ClassType(), &TWICImage::Class);
    EXPECT_EQ(picture.Width(), 6);
    // Withdrawn by the user, WIC's PNG neither lists nor reads PNG files.
    TFormatChoice choice;
    choice.SetInUse(kWicName, Named("png")->Filter, false);
    spis.SetFormatChoice(choice);
    EXPECT_FALSE(WicFormatFor("png"));
    EXPECT_TRUE(WicFormatFor("gif"));
    EXPECT_THROW(picture.LoadFromFile(png), EInvalidGraphic);
    EXPECT_TRUE(IsPictureFile("A.GIF"));
  }
  UnregisterGraphicClass(&TSPIBitmap::Class);
  TFormatChoice none;
  none.SetInUse(kWicName, Named("png")->Filter, false);
  {
    TSPIs spis;
    spis.SetFormatChoice(none);
    EXPECT_FALSE(IsPictureFile("A.PNG"));
    TPicture other;
    EXPECT_THROW(other.LoadFromFile(png), EInvalidGraphic);
  }
}
