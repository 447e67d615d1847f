#include "print/print_picture.h"

#include <gtest/gtest.h>

#include "imaging/bmp_test_util.h"
#include "imaging/exif_test_util.h"
#include "imaging/graphics.h"
#include "imaging/jpeg_image.h"
#include "imaging/spi_bitmap.h"
#include "imaging/wic_image.h"
#include "imaging/wic_test_util.h"
#include "imaging/win_test_util.h"
#include "win/error.h"
#include "win/file_io.h"

namespace {

using imgtest::Bytes;

// Left half red, right half blue, with a one-pixel black and white grid over the right half:
// fine detail that dropped pixels would turn black or white.
PixelBuffer Picture(int w, int h) {
  PixelBuffer p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, x < w / 2 ? 0x0000FF : (x + y) % 2 ? 0xFFFFFF : 0x000000);
  return p;
}

Bytes Jpeg(const PixelBuffer& p) { return EncodeJpeg(p, 95); }

int Channel(std::uint32_t c, int shift) { return static_cast<int>(c >> shift & 0xFF); }

TEST(JpegScaled, DecodesAtTheSmallestScaleThatStillHasTheSize) {
  const Bytes jpeg = Jpeg(Picture(400, 300));
  EXPECT_EQ(ReadJpegSize(jpeg.data(), jpeg.size()).Width, 400);
  EXPECT_EQ(ReadJpegSize(jpeg.data(), jpeg.size()).Height, 300);
  const struct {
    int minW, minH, w, h;
  } cases[] = {{50, 38, 50, 38},   {51, 38, 100, 75},  {40, 76, 150, 113}, {283, 212, 300, 225},
               {400, 300, 400, 300}, {401, 300, 400, 300}, {0, 0, 400, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minW);
    PixelBuffer p = DecodeJpegScaled(jpeg.data(), jpeg.size(), c.minW, c.minH);
    EXPECT_EQ(p.Width(), c.w);
    EXPECT_EQ(p.Height(), c.h);
  }
  EXPECT_THROW(ReadJpegSize(jpeg.data(), 10), EInvalidGraphic);
  EXPECT_THROW(DecodeJpegScaled(jpeg.data(), 0, 10, 10), EInvalidGraphic);
}

TEST(PrintPicture, AJpegComesAtItsPrintedSizeAveragedNotDropped) {
  imgtest::TempDir dir;
  const std::string path = dir.File("PHOTO.JPG", Jpeg(Picture(1600, 1200)));
  TPrintPicture p = LoadPrintPicture(path, 283, 212);
  EXPECT_EQ(p.Width, 1600);
  EXPECT_EQ(p.Height, 1200);
  EXPECT_EQ(p.Place, (print::Rect{0, 0, 282, 212}));
  ASSERT_EQ(p.Pixels.Width(), 282);
  ASSERT_EQ(p.Pixels.Height(), 212);
  // Red on the left; the grid on the right is grey, as the eye sees it from afar.
  EXPECT_GT(Channel(p.Pixels.Pixel(40, 100), 0), 200);
  EXPECT_LT(Channel(p.Pixels.Pixel(40, 100), 16), 60);
  for (int x = 160; x < 280; x += 17) {
    const int g = Channel(p.Pixels.Pixel(x, 100), 8);
    EXPECT_GT(g, 90) << x;
    EXPECT_LT(g, 170) << x;
  }
}

TEST(PrintPicture, OtherFormatsAndEnlargedPictures) {
  imgtest::TempDir dir;
  // A green 40 x 80 bitmap: portrait, and smaller than the box.
  Bytes rows;
  for (int i = 0; i < 40 * 80; ++i) rows.insert(rows.end(), {0x00, 0xFF, 0x00});
  const std::string bmp = dir.File("TALL.BMP", bmptest::File(bmptest::InfoHeader(40, 80, 24), rows));
  TPrintPicture p = LoadPrintPicture(bmp, 283, 212);
  EXPECT_EQ(p.Width, 40);
  EXPECT_EQ(p.Height, 80);
  EXPECT_EQ(p.Place, (print::Rect{88, 0, 194, 212}));
  EXPECT_EQ(p.Pixels.Width(), 106);
  EXPECT_EQ(p.Pixels.Pixel(50, 100), 0x00FF00u);
}

TEST(PrintPicture, APhotographStoredSidewaysPrintsAsTaken) {
  imgtest::TempDir dir;
  // Taken upright (1200 x 1600 as seen), stored turned with orientation 8.
  const PixelBuffer seen = exiftest::Quarters(1200, 1600);
  const std::string path =
      dir.File("PHONE.JPG", exiftest::WithExif(Jpeg(exiftest::Stored(seen, 8)), exiftest::Exif(8, false)));
  const Bytes bytes = win::ReadFileBytes(path);
  const JpegSize size = ReadJpegSize(bytes.data(), bytes.size());
  EXPECT_EQ(size.Width, 1200);
  EXPECT_EQ(size.Orientation, 8);
  TPrintPicture p = LoadPrintPicture(path, 283, 212);
  EXPECT_EQ(p.Width, 1200);
  EXPECT_EQ(p.Height, 1600);
  EXPECT_EQ(p.Place, (print::Rect{62, 0, 221, 212}));
  ASSERT_EQ(p.Pixels.Width(), 159);
  ASSERT_EQ(p.Pixels.Height(), 212);
  EXPECT_TRUE(exiftest::Near(p.Pixels.Pixel(30, 40), 0x0000FF));    // red at the top left
  EXPECT_TRUE(exiftest::Near(p.Pixels.Pixel(120, 170), 0xFF0000));  // blue at the bottom right
}

TEST(PrintPicture, PicturesOfWindowsCodecs) {
  imgtest::TempDir dir;
  RegisterWicFormats();
  TPrintPicture p = LoadPrintPicture(dir.File("SCAN.TIF", wictest::Tiff(exiftest::Quarters(800, 600))), 283, 212);
  EXPECT_EQ(p.Width, 800);
  EXPECT_EQ(p.Height, 600);
  EXPECT_EQ(p.Place, (print::Rect{0, 0, 282, 212}));
  EXPECT_EQ(p.Pixels.Pixel(30, 30), 0x0000FFu);
  EXPECT_EQ(p.Pixels.Pixel(250, 190), 0xFF0000u);
  const Bytes png = wictest::Png(4, 1, 2, {Bytes(12, 9)});
  EXPECT_THROW(LoadPrintPicture(dir.File("CUT.PNG", Bytes(png.begin(), png.begin() + 40)), 283, 212), EInvalidGraphic);
}

TEST(PrintPicture, FilesThatAreNotPicturesFail) {
  imgtest::TempDir dir;
  EXPECT_THROW(LoadPrintPicture(dir.File("BROKEN.JPG", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 1, 2}), 283, 212), EInvalidGraphic);
  EXPECT_THROW(LoadPrintPicture(dir.Path() + "MISSING.JPG", 283, 212), Exception);
  EXPECT_THROW(LoadPrintPicture(dir.File("NOTE.TXT", Bytes{'h', 'i'}), 283, 212), Exception);
  // A JPEG the registry hands to a plug-in does not take the built-in route.
  RegisterFileFormat("jpg", "plug-in", &TSPIBitmap::Class);
  EXPECT_THROW(LoadPrintPicture(dir.File("PLUGIN.JPG", Jpeg(Picture(40, 30))), 283, 212), Exception);
  UnregisterGraphicClass(&TSPIBitmap::Class);
  EXPECT_NO_THROW(LoadPrintPicture(dir.Path() + "PLUGIN.JPG", 283, 212));
}

}  // namespace
