// Picture classes and the picture-format registry, under Wine.
#include "imaging/graphics.h"

#include <cstdio>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "imaging/bmp_test_util.h"
#include "imaging/jpeg_image.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/error.h"

using imgtest::Bytes;
using imgtest::TempDir;

namespace {

PixelBuffer Gradient(int w, int h) {
  PixelBuffer p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, std::uint32_t(x * 255 / w) | std::uint32_t(y * 255 / h) << 8 | 0x400000u);
  return p;
}

Bytes SmallBmp(std::uint32_t color) {
  Bytes px = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color), 0};
  return bmptest::File(bmptest::InfoHeader(1, 1, 24), px);
}

int Diff(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs(int(a >> s & 255) - int(b >> s & 255)));
  return d;
}

}  // namespace

TEST(PictureRegistry, BuiltInFormatsAndLatestRegistrationWins) {
  std::vector<TFileFormat> f = FileFormats();
  ASSERT_GE(f.size(), 6u);
  const char* order[] = {"wmf", "emf", "ico", "bmp", "jpeg", "jpg"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f[i].Extension, order[i]);
  EXPECT_EQ(f[5].Description, "JPEG イメージファイル");
  EXPECT_EQ(FindFileFormat("JpG"), &TJPEGImage::Class);
  EXPECT_EQ(FindFileFormat("bmp"), &TBitmap::Class);
  EXPECT_EQ(FindFileFormat("pc2"), nullptr);

  RegisterFileFormat("BMP", "taken over", &TSPIBitmap::Class);
  RegisterFileFormat("pc2", "one", &TSPIBitmap::Class);
  EXPECT_EQ(FindFileFormat("bmp"), &TSPIBitmap::Class);
  EXPECT_EQ(FileFormats().back().Extension, "pc2");
  UnregisterGraphicClass(&TSPIBitmap::Class);
  EXPECT_EQ(FindFileFormat("bmp"), &TBitmap::Class);
  EXPECT_EQ(FindFileFormat("pc2"), nullptr);
  EXPECT_EQ(FileFormats().size(), f.size());
}

TEST(PictureHolder, ChoosesByExtensionAndKeepsItsPictureOnFailure) {
  TempDir dir;
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TPicture&) { ++changes; };
  picture.LoadFromFile(dir.File("a.BMP", SmallBmp(0x123456)));
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TBitmap::Class);
  EXPECT_EQ(picture.Pixels().Pixel(0, 0), 0x123456u);
  EXPECT_EQ(changes, 1);
  // Names whose double-byte characters end in "\" (ソ is 83 5C, 表 is 95 5C).
  picture.LoadFromFile(dir.File("ソ表.jpg", EncodeJpeg(PixelBuffer(4, 4), 90)));
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TJPEGImage::Class);
  picture.LoadFromFile(dir.File("a.BMP", SmallBmp(0x123456)));
  changes = 1;

  try {
    picture.LoadFromFile(dir.File("b.XyZ", SmallBmp(0)));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "拡張子 .XyZ の画像形式は処理できません");
  }
  EXPECT_THROW(picture.LoadFromFile(dir.File("bad.bmp", Bytes(60, 'B'))), EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile(dir.Path() + "missing.bmp"), EFOpenError);
  EXPECT_THROW(picture.LoadFromFile(dir.File("noext", SmallBmp(0))), EInvalidGraphic);
  EXPECT_EQ(picture.Pixels().Pixel(0, 0), 0x123456u);
  EXPECT_EQ(changes, 1);
}

TEST(JpegImage, EncodesAndDecodesThroughFilesAndStreams) {
  PixelBuffer src = Gradient(67, 45);
  Bytes jpeg = EncodeJpeg(src, 90);
  ASSERT_GT(jpeg.size(), 100u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  TempDir dir;
  PixelBuffer back = LoadPictureFile(dir.File("g.jpeg", jpeg));
  ASSERT_EQ(back.Width(), 67);
  ASSERT_EQ(back.Height(), 45);
  int worst = 0;
  for (int y = 0; y < 45; ++y)
    for (int x = 0; x < 67; ++x) worst = std::max(worst, Diff(back.Pixel(x, y), src.Pixel(x, y)));
  EXPECT_LT(worst, 24);

  TJPEGImage image;
  image.SetPixels(src);
  TMemoryStream out;
  image.SaveToStream(out, 90);
  out.SetPosition(0);
  TJPEGImage again;
  again.LoadFromStream(out);
  EXPECT_EQ(again.Width(), 67);
}

TEST(JpegImage, DamagedDataIsAnErrorNotAnExit) {
  Bytes jpeg = EncodeJpeg(Gradient(64, 64), 90);
  // Every cut: a header, a truncated scan, no end marker. None may end the process.
  for (std::size_t n : {std::size_t{0}, std::size_t{2}, std::size_t{20}, jpeg.size() / 2, jpeg.size() - 40}) {
    Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(DecodeJpeg(cut.data(), cut.size()), EInvalidGraphic) << n;
  }
  Bytes garbage = jpeg;
  for (std::size_t i = 2; i < 200 && i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 37);
  EXPECT_THROW(DecodeJpeg(garbage.data(), garbage.size()), EInvalidGraphic);
  // A frame header claiming 60000 × 60000 pixels is refused before any pixel memory is taken.
  Bytes huge = jpeg;
  for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xEA, huge[i + 6] = 0x60, huge[i + 7] = 0xEA, huge[i + 8] = 0x60;
      break;
    }
  }
  try {
    DecodeJpeg(huge.data(), huge.size());
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "JPEG イメージの大きさが扱える範囲を超えています");
  }
}

// A solid four-colour JPEG written with an Adobe marker (inks stored inverted, as Photoshop does).
static Bytes CmykJpeg(int w, int h, const std::uint8_t ink[4]) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = w, c.image_height = h, c.input_components = 4, c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
  for (int x = 0; x < w; ++x) std::copy(ink, ink + 4, row.begin() + 4 * x);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes b(out, out + size);
  free(out);
  return b;
}

TEST(JpegImage, FourColourPicturesBecomeRgb) {
  const std::uint8_t yellow[4] = {255, 255, 0, 255};  // inverted: no cyan, no magenta, full yellow, no black
  Bytes jpeg = CmykJpeg(24, 16, yellow);
  PixelBuffer p = DecodeJpeg(jpeg.data(), jpeg.size());
  ASSERT_EQ(p.Width(), 24);
  EXPECT_LE(Diff(p.Pixel(10, 10), 0x00FFFFu), 4);
  const std::uint8_t grey[4] = {255, 255, 255, 128};  // half black
  Bytes g = CmykJpeg(8, 8, grey);
  EXPECT_LE(Diff(DecodeJpeg(g.data(), g.size()).Pixel(3, 3), 0x808080u), 4);
}

TEST(IconAndMetafile, RegisteredClassesLoadTheirFiles) {
  // A 16 × 16 32-bit icon, all pixels one opaque colour.
  Bytes ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  const std::uint32_t imageSize = 40 + 16 * 16 * 4 + 16 * 4;
  bmptest::Put32(ico, imageSize);
  bmptest::Put32(ico, 22);
  Bytes header = bmptest::InfoHeader(16, 32, 32);
  ico.insert(ico.end(), header.begin(), header.end());
  for (int i = 0; i < 256; ++i) ico.insert(ico.end(), {0x30, 0x60, 0x90, 0xFF});
  ico.insert(ico.end(), 64, 0);
  TempDir dir;
  // (Windows' codecs read icons in its place when they are registered.)
  TIcon icon;
  icon.LoadFromFile(dir.File("i.ico", ico));
  ASSERT_EQ(icon.Width(), 16);
  EXPECT_EQ(icon.Pixels().Pixel(5, 5), 0x306090u);
  EXPECT_THROW(icon.LoadFromFile(dir.File("bad.ico", Bytes(30, 1))), EInvalidGraphic);

  // An enhanced metafile with a red rectangle over its left half.
  std::string emfPath = dir.Path() + "m.emf";
  RECT frame{0, 0, 2000, 1000};  // hundredths of a millimetre
  HDC dc = CreateEnhMetaFileW(nullptr, win::Wide(emfPath).c_str(), &frame, nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT left{0, 0, 38, 38};
  FillRect(dc, &left, red);
  DeleteObject(red);
  DeleteEnhMetaFile(CloseEnhMetaFile(dc));
  TPicture meta;
  meta.LoadFromFile(emfPath);
  EXPECT_EQ(&meta.Graphic()->ClassType(), &TMetafile::Class);
  EXPECT_GT(meta.Width(), 0);
  EXPECT_GT(meta.Height(), 0);
  EXPECT_EQ(meta.Pixels().Pixel(1, 1), 0x0000FFu);
  EXPECT_THROW(meta.LoadFromFile(dir.File("bad.wmf", Bytes(100, 7))), EInvalidGraphic);
}

// The system's readers trust the lengths inside icons and metafiles: files whose data is
// shorter than they say are refused before the system sees them.
TEST(IconAndMetafile, FilesShorterThanTheySayAreRefused) {
  Bytes ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  bmptest::Put32(ico, 40 + 16 * 16 * 4);  // the colour rows only: the mask is missing
  bmptest::Put32(ico, 22);
  Bytes header = bmptest::InfoHeader(16, 32, 32);
  ico.insert(ico.end(), header.begin(), header.end());
  for (int i = 0; i < 256; ++i) ico.insert(ico.end(), {0x30, 0x60, 0x90, 0xFF});
  TempDir dir;
  TIcon icon;
  icon.LoadFromFile(dir.File("nomask.ico", ico));  // the mask is taken as all opaque
  EXPECT_EQ(icon.Pixels().Pixel(15, 15), 0x306090u);
  ico.resize(ico.size() - 4);  // now a colour pixel is missing too
  bmptest::Set32(ico, 14, 40 + 16 * 16 * 4 - 4);
  EXPECT_THROW(icon.LoadFromFile(dir.File("short.ico", ico)), EInvalidGraphic);
  TPicture picture;

  // A Windows metafile whose second record claims more words than the file holds.
  Bytes wmf = {1, 0, 9, 0, 0, 3};
  bmptest::Put32(wmf, 9 + 5 + 3);
  wmf.resize(18, 0);
  bmptest::Put32(wmf, 5), bmptest::Put16(wmf, 0x0209), bmptest::Put32(wmf, 0x0000FF);  // SetTextColor
  bmptest::Put32(wmf, 0x10000), bmptest::Put16(wmf, 0x0418), bmptest::Put16(wmf, 0);   // Ellipse, 128 KB
  bmptest::Put32(wmf, 3), bmptest::Put16(wmf, 0);
  EXPECT_THROW(picture.LoadFromFile(dir.File("long.wmf", wmf)), EInvalidGraphic);
}
