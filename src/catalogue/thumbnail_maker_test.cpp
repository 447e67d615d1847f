// MakeThumbnail: a JPEG's thumbnail from its sampled rows equals the full decode sampled; BMP,
// plug-in pictures and those of Windows' codecs; the entry's fields; pictures that cannot be
// read; photographs stored sideways.
#include "catalogue/thumbnail_maker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "catalogue/thumbnail_fit.h"
#include "imaging/bmp_test_util.h"
#include "imaging/exif_test_util.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/wic_test_util.h"
#include "imaging/win_test_util.h"
#include "win/canvas.h"

using namespace imgtest;

namespace {
constexpr std::uint32_t kFace = 0xC8D0D4;

PixelBuffer SampledFully(const PixelBuffer& picture) {
  TPointSampler s(picture.Width(), picture.Height(), kFace);
  s.AddPicture(picture);
  return s.Take();
}

Bytes Bmp24(const PixelBuffer& p) {
  Bytes px;
  for (int y = p.Height() - 1; y >= 0; --y) px.insert(px.end(), p.Row(y), p.Row(y) + p.Stride());
  return bmptest::File(bmptest::InfoHeader(p.Width(), p.Height(), 24), px);
}
}  // namespace

TEST(ThumbnailMaker, JpegThumbnailsEqualAFullDecodeSampled) {
  TempDir dir;
  for (auto [w, h] : {std::pair{1003, 751}, {500, 1000}, {100, 60}, {144, 108}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    Bytes jpeg = CompressPixels(testpic::PhotoLike(w, h, static_cast<std::uint32_t>(w)), 92);
    std::string path = dir.File("p.jpg", jpeg);
    EXPECT_EQ(ThumbnailDecoderFor(path), TThumbnailDecoder::Jpeg);
    TThumbnailBox made = MakeThumbnailBox(TThumbnailDecoder::Jpeg, path, 24, kFace);
    EXPECT_EQ(made.Width, w);
    EXPECT_EQ(made.Height, h);
    const PixelBuffer full = DecodeJpeg(jpeg.data(), jpeg.size());
    PixelBuffer expected = SampledFully(full);
    ASSERT_EQ(made.Box.Size(), expected.Size());
    EXPECT_EQ(std::memcmp(made.Box.Data(), expected.Data(), expected.Size()), 0);
    // On a palette screen the whole picture is averaged.
    PixelBuffer palette = MakeThumbnailBox(TThumbnailDecoder::Jpeg, path, 8, kFace).Box;
    PixelBuffer halftone = HalftoneThumbnail(full, kFace);
    ASSERT_EQ(palette.Size(), halftone.Size());
    EXPECT_EQ(std::memcmp(palette.Data(), halftone.Data(), halftone.Size()), 0);
  }
}

TEST(ThumbnailMaker, NotesWhereItsTimeWentOnlyWhenAsked) {
  TempDir dir;
  std::string path = dir.File("p.jpg", CompressPixels(testpic::PhotoLike(800, 600), 90));
  TThumbnailMade timed = MakeThumbnailWith(TThumbnailDecoder::Jpeg, path, 24, kFace, nullptr, true);
  EXPECT_GT(timed.Times.Read, 0);
  EXPECT_GT(timed.Times.Decode, 0);
  EXPECT_GT(timed.Times.Compress, 0);
  TThumbnailMade plain = MakeThumbnailWith(TThumbnailDecoder::Jpeg, path, 24, kFace);
  EXPECT_EQ(plain.Times.Read + plain.Times.Decode + plain.Times.Sample + plain.Times.Compress, 0);
  ASSERT_TRUE(timed.Thumbnail && plain.Thumbnail);
  EXPECT_EQ(timed.Thumbnail->Pixels().Pixel(70, 50), plain.Thumbnail->Pixels().Pixel(70, 50));
}

TEST(ThumbnailMaker, EntriesOfBmpAndPluginPictures) {
  TempDir dir;
  InitPictureFormats();
  {
    TSPIs spis;
    spis.Add(CreateSPI(Plugin("ppm")));
    PixelBuffer pic = testpic::PhotoLike(1000, 500, 3);
    std::string bmp = dir.File("wide.bmp", Bmp24(pic));
    EXPECT_EQ(ThumbnailDecoderFor(bmp), TThumbnailDecoder::Bmp);
    auto entry = MakeThumbnail(bmp, 24);
    EXPECT_EQ(entry->PixelWidth, 1000);
    EXPECT_EQ(entry->PixelHeight, 500);
    EXPECT_EQ(entry->Date, 0);
    EXPECT_TRUE(entry->Comment.empty());
    // 1000 x 500 lands as 144 x 72 at top 18 on the button face.
    PixelBuffer shown = entry->Thumbnail->Pixels();
    const std::uint32_t face = win::SysColor(COLOR_BTNFACE);
    auto alike = [](std::uint32_t a, std::uint32_t b) {
      for (int s = 0; s < 24; s += 8)
        if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 12) return false;
      return true;
    };
    EXPECT_TRUE(alike(shown.Pixel(70, 5), face));
    EXPECT_TRUE(alike(shown.Pixel(70, 100), face));
    PixelBuffer exact = MakeThumbnailBox(TThumbnailDecoder::Bmp, bmp, 24, kFace).Box;
    EXPECT_EQ(exact.Pixel(70, 17), kFace);
    EXPECT_EQ(exact.Pixel(70, 18), pic.Pixel(SampleIndex(70, 1000, 144), SampleIndex(0, 500, 72)));

    // A plug-in picture (6 x 3 through the test PPM plug-in): its formats are the registry's.
    std::string ppm = dir.File("P.PPM", Ppm(6, 3));
    EXPECT_EQ(ThumbnailDecoderFor(ppm), TThumbnailDecoder::Picture);
    TThumbnailBox fromPlugin = MakeThumbnailBox(TThumbnailDecoder::Picture, ppm, 24, kFace);
    EXPECT_EQ(fromPlugin.Width, 6);
    EXPECT_EQ(fromPlugin.Box.Pixel(0, 18), PpmColor(0, 0));
    EXPECT_EQ(fromPlugin.Box.Pixel(143, 89), PpmColor(5, 2));

    // On a palette screen: averaged and reduced to the colour cube.
    PixelBuffer palette = MakeThumbnailBox(TThumbnailDecoder::Bmp, bmp, 8, kFace).Box;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(palette.Row(50)[70 * 3 + c] % 51, 0);
  }
  DonePictureFormats();
}

TEST(ThumbnailMaker, PicturesThatCannotBeReadRaiseTheirErrors) {
  TempDir dir;
  Bytes jpeg = CompressPixels(testpic::PhotoLike(400, 300), 90);
  std::string cut = dir.File("cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + 2000));
  EXPECT_THROW(MakeThumbnail(cut, 24), EInvalidGraphic);
  EXPECT_THROW(MakeThumbnail(dir.File("zero.jpg", {}), 24), EInvalidGraphic);
  EXPECT_THROW(MakeThumbnail(dir.File("bad.bmp", Bytes(100, 7)), 24), EInvalidGraphic);
  EXPECT_THROW(MakeThumbnail(dir.Path() + "missing.jpg", 24), EFOpenError);
  // The scan lists FOOBMP, but no decoder takes a name without an extension.
  EXPECT_THROW(MakeThumbnail(dir.File("FOOBMP", Bmp24(PixelBuffer(2, 2))), 24), EInvalidGraphic);
  // Stopped while it runs.
  std::atomic<bool> stop{true};
  EXPECT_THROW(MakeThumbnailBox(TThumbnailDecoder::Jpeg, dir.File("ok.jpg", jpeg), 24, kFace, &stop), EAbort);
}

TEST(ThumbnailMaker, PhotographsShowAsTakenInEveryOrientation) {
  TempDir dir;
  const PixelBuffer seen = exiftest::Quarters(160, 120);
  for (bool little : {true, false})
    for (int o = 1; o <= 8; ++o) {
      SCOPED_TRACE(testing::Message() << "orientation " << o << (little ? " II" : " MM"));
      const PixelBuffer stored = exiftest::Stored(seen, o);
      const Bytes jpeg = exiftest::WithExif(CompressPixels(stored, 95), exiftest::Exif(o, little));
      const std::string path = dir.File("p.jpg", jpeg);
      for (int depth : {24, 8}) {  // sampled rows, and averaged on a palette screen
        TThumbnailBox made = MakeThumbnailBox(TThumbnailDecoder::Jpeg, path, depth, kFace);
        EXPECT_EQ(made.Width, 160);
        EXPECT_EQ(made.Height, 120);
        EXPECT_TRUE(exiftest::Near(made.Box.Pixel(36, 27), 0x0000FF)) << depth;  // red at the top left
        EXPECT_TRUE(exiftest::Near(made.Box.Pixel(108, 27), 0x00FF00)) << depth;
        EXPECT_TRUE(exiftest::Near(made.Box.Pixel(108, 81), 0xFF0000)) << depth;
        EXPECT_TRUE(exiftest::Near(made.Box.Pixel(36, 81), 0xFFFFFF)) << depth;
      }
      // Exactly the full decode of the stored rows, point-sampled, then turned.
      TPointSampler s(stored.Width(), stored.Height(), kFace, o);
      s.AddPicture(DecompressPixels(jpeg.data(), jpeg.size()));
      const PixelBuffer expected = s.Take();
      const PixelBuffer made = MakeThumbnailBox(TThumbnailDecoder::Jpeg, path, 24, kFace).Box;
      ASSERT_EQ(made.Size(), expected.Size());
      EXPECT_EQ(std::memcmp(made.Data(), expected.Data(), expected.Size()), 0);
    }
  // A tall photograph taken upright: fitted by its size as seen, 81 x 108 at left 31.
  const Bytes tall = exiftest::WithExif(CompressPixels(testpic::PhotoLike(4000 / 8, 3000 / 8, 5), 90), exiftest::Exif(6, true));
  auto entry = MakeThumbnail(dir.File("tall.jpg", tall), 24);
  EXPECT_EQ(entry->PixelWidth, 375);
  EXPECT_EQ(entry->PixelHeight, 500);
  const PixelBuffer box = MakeThumbnailBox(TThumbnailDecoder::Jpeg, dir.Path() + "tall.jpg", 24, kFace).Box;
  EXPECT_EQ(box.Pixel(30, 50), kFace);
  EXPECT_NE(box.Pixel(31, 50), kFace);
  EXPECT_NE(box.Pixel(111, 50), kFace);
  EXPECT_EQ(box.Pixel(112, 50), kFace);
}

TEST(ThumbnailMaker, PicturesOfWindowsCodecsOnAWorkerThread) {
  TempDir dir;
  InitPictureFormats();
  const PixelBuffer pic = testpic::PhotoLike(300, 500, 9);
  const Bytes bytes = wictest::PngOf(pic);
  const std::string png = dir.File("tall.png", bytes);
  const std::string cut = dir.File("cut.png", Bytes(bytes.begin(), bytes.begin() + 3000));
  EXPECT_EQ(ThumbnailDecoderFor(png), TThumbnailDecoder::Wic);
  EXPECT_EQ(ThumbnailDecoderFor(dir.Path() + "x.gif"), TThumbnailDecoder::Wic);
  TThumbnailBox made;
  bool cutFailed = false;
  std::thread([&] {
    made = MakeThumbnailBox(TThumbnailDecoder::Wic, png, 24, kFace);
    try {
      MakeThumbnailBox(TThumbnailDecoder::Wic, cut, 24, kFace);
    } catch (const EInvalidGraphic&) {
      cutFailed = true;
    }
  }).join();
  EXPECT_EQ(made.Width, 300);
  EXPECT_EQ(made.Height, 500);
  const PixelBuffer expected = SampledFully(pic);
  ASSERT_EQ(made.Box.Size(), expected.Size());
  EXPECT_EQ(std::memcmp(made.Box.Data(), expected.Data(), expected.Size()), 0);
  EXPECT_TRUE(cutFailed);
  DonePictureFormats();
}
