// Row-by-row JPEG reading and writing: skipped rows leave the rows read afterwards exactly as
// a full decode gives them, whatever the file's sampling; damaged data and a failing sink are
// errors, never made-up rows.
#include "imaging/jpeg_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "imaging/test_pictures.h"
#include "win/error.h"

namespace {

struct Options {
  int h0 = 2, v0 = 2;  // the luminance sampling factors (chroma is 1 x 1)
  bool progressive = false;
  bool gray = false;
  int restartRows = 0;
};

// A JPEG made by the library directly, with settings the program's own writer never uses.
std::vector<std::uint8_t> Encode(const PixelBuffer& p, const Options& o) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(p.Width());
  c.image_height = static_cast<JDIMENSION>(p.Height());
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (o.gray) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
  c.comp_info[0].h_samp_factor = o.h0;
  c.comp_info[0].v_samp_factor = o.v0;
  if (o.progressive) jpeg_simple_progression(&c);
  c.restart_in_rows = o.restartRows;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < p.Height(); ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(p.Row(y));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  free(out);
  return bytes;
}

// Reads the rows listed (ascending), skipping the others, and compares them with a full decode.
void ExpectSkippedRowsExact(const std::vector<std::uint8_t>& jpeg, const std::vector<int>& wanted) {
  PixelBuffer full = DecompressPixels(jpeg.data(), jpeg.size());
  JpegRowReader r(jpeg.data(), jpeg.size());
  std::vector<std::uint8_t> row(static_cast<std::size_t>(r.Width()) * 3);
  for (int y : wanted) {
    r.SkipRows(y - r.NextRow());
    ASSERT_EQ(r.NextRow(), y);
    std::uint8_t* rows[1] = {row.data()};
    r.ReadRows(rows, 1);
    ASSERT_EQ(std::memcmp(row.data(), full.Row(y), row.size()), 0) << "row " << y;
  }
}

}  // namespace

TEST(JpegRows, RowsReadAfterSkippingAreThoseOfAFullDecode) {
  PixelBuffer pic = testpic::PhotoLike(301, 227, 5);
  std::vector<int> sparse;  // every 7th row, as a thumbnail of a 7-times larger picture samples them
  for (int y = 3; y < 227; y += 7) sparse.push_back(y);
  std::vector<int> dense{0, 1, 2, 15, 16, 17, 31, 32, 33, 100, 101, 224, 225, 226};
  const Options cases[] = {{2, 2}, {2, 1}, {1, 1}, {2, 2, true}, {1, 1, false, true}, {2, 2, false, false, 1}};
  for (const Options& o : cases) {
    SCOPED_TRACE(testing::Message() << o.h0 << "x" << o.v0 << (o.progressive ? " progressive" : "")
                                    << (o.gray ? " gray" : "") << (o.restartRows ? " restarts" : ""));
    std::vector<std::uint8_t> jpeg = Encode(pic, o);
    ExpectSkippedRowsExact(jpeg, sparse);
    ExpectSkippedRowsExact(jpeg, dense);
  }
}

TEST(JpegRows, WriterMakesABaselinePictureWithItsCommentInTileRows) {
  PixelBuffer pic = testpic::PhotoLike(3600, 216, 2);
  std::vector<std::uint8_t> out;
  JpegRowWriter w(3600, 216, 90, [&](const std::uint8_t* b, std::size_t n) {
    out.insert(out.end(), b, b + n);
    return true;
  }, "Quiran test");
  for (int band = 0; band < 2; ++band) {
    std::vector<const std::uint8_t*> rows;
    for (int y = 0; y < 108; ++y) rows.push_back(pic.Row(band * 108 + y));
    w.WriteRows(rows.data(), 108);
  }
  w.Finish();
  ASSERT_GT(out.size(), 1000u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xD8);
  // SOF0, the baseline frame marker, and no progressive one.
  bool sof0 = false, sof2 = false;
  for (std::size_t i = 0; i + 1 < out.size(); ++i)
    if (out[i] == 0xFF) sof0 |= out[i + 1] == 0xC0, sof2 |= out[i + 1] == 0xC2;
  EXPECT_TRUE(sof0);
  EXPECT_FALSE(sof2);
  JpegRowReader r(out.data(), out.size());
  EXPECT_EQ(r.Width(), 3600);
  EXPECT_EQ(r.Height(), 216);
  EXPECT_EQ(r.Comment(), "Quiran test");
  PixelBuffer back = DecompressPixels(out.data(), out.size());
  long long diff = 0;
  for (int y = 0; y < 216; ++y)
    for (int x = 0; x < 3600 * 3; ++x) diff += std::abs(back.Row(y)[x] - pic.Row(y)[x]);
  EXPECT_LT(diff / (3600.0 * 3 * 216), 6.0);  // quality 90: small average error
}

TEST(JpegRows, DamagedDataIsAnErrorNotGreyRows) {
  std::vector<std::uint8_t> jpeg = CompressPixels(testpic::PhotoLike(200, 160), 90);
  std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
  JpegRowReader r(cut.data(), cut.size());
  std::vector<std::uint8_t> row(200 * 3);
  std::uint8_t* rows[1] = {row.data()};
  EXPECT_THROW(
      {
        for (int y = 0; y < 160; ++y) r.ReadRows(rows, 1);
      },
      EInvalidGraphic);
  const std::uint8_t garbage[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'x', 'y', 1, 2, 3};
  EXPECT_THROW(JpegRowReader(garbage, sizeof garbage), EInvalidGraphic);
  EXPECT_THROW(JpegRowReader(garbage, 0), EInvalidGraphic);
}

TEST(JpegRows, AFailingSinkStopsTheWriterWithAnError) {
  PixelBuffer pic = testpic::PhotoLike(640, 480);
  std::size_t taken = 0;
  auto write = [&] {
    JpegRowWriter w(640, 480, 90, [&](const std::uint8_t*, std::size_t n) {
      taken += n;
      return taken < 10000;  // the disk fills up
    });
    for (int y = 0; y < 480; ++y) {
      const std::uint8_t* row = pic.Row(y);
      w.WriteRows(&row, 1);
    }
    w.Finish();
  };
  EXPECT_THROW(write(), Exception);
  EXPECT_THROW(JpegRowWriter(0, 10, 90, [](const std::uint8_t*, std::size_t) { return true; }), Exception);
}

// A file's first bytes are read ahead (for its Exif block) and given to the reader again:
// the picture read through the resumed source is the one in the file, whatever the buffers.
TEST(JpegRows, AHeadReadAheadIsGivenAgainBeforeTheRest) {
  const std::vector<std::uint8_t> jpeg = CompressPixels(testpic::PhotoLike(1600, 1200), 95);
  ASSERT_GT(jpeg.size(), 2u * (2 + 2 * (2 + 0xFFFF)));  // the rest is read after the head
  std::size_t at = 0;
  JpegRowReader::Source source = [&](std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = std::min<std::size_t>({size, 777, jpeg.size() - at});  // short reads
    std::memcpy(buffer, jpeg.data() + at, n);
    at += n;
    return n;
  };
  std::vector<std::uint8_t> head = ReadJpegHead(source);
  EXPECT_EQ(head.size(), 2u + 2 * (2 + 0xFFFF));
  EXPECT_TRUE(std::equal(head.begin(), head.end(), jpeg.begin()));
  JpegRowReader reader(Resumed(std::move(head), source));
  const PixelBuffer read = DecompressRows(reader);
  const PixelBuffer whole = DecompressPixels(jpeg.data(), jpeg.size());
  ASSERT_EQ(read.Size(), whole.Size());
  EXPECT_EQ(std::memcmp(read.Data(), whole.Data(), whole.Size()), 0);
}
