#include "imaging/jpeg_image.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "imaging/bmp_reader.h"
#include "imaging/exif_orientation.h"
#include "imaging/picture_errors.h"
#include "win/error.h"

// libjpeg reports fatal errors through error_exit, which by default prints and calls exit().
// Here error_exit jumps back to the C-style function that made the library call (set up with
// __builtin_setjmp, which needs no unwinding through the library's C frames); that function
// returns false and the C++ caller turns the saved message into an exception.

namespace {

// Most of the decoder's memory is the output rows; the library's own work arrays (a
// progressive file keeps all coefficients) are limited to this.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  void* jump[5];
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  __builtin_longjmp(err->jump, 1);
}

// Warnings are ignored, except that data ending before the picture is complete (the library
// would fill the rest with grey) is an error.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorExit(cinfo);
  if (level < 0) cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {}

void InitErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.message[0] = 0;
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool created = false;
  Decoder() { std::memset(&cinfo, 0, sizeof cinfo); }
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Each stage below is a plain function with its own jump target: nothing with a destructor
// lives in its frame, and it returns false when the library reported an error.
// With a minimum size, the picture is decoded at the smallest of the library's scales M/8 whose
// result still has that size (the scaled inverse DCT leaves out most of the work).
__attribute__((noinline)) bool StartDecode(Decoder* d, const std::uint8_t* data, std::size_t size, int minWidth = 0,
                                           int minHeight = 0) {
  InitErrors(d->err);
  d->cinfo.err = &d->err.pub;
  if (__builtin_setjmp(d->err.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  d->created = true;
  d->cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d->cinfo, TRUE);
  // Straight into the PixelBuffer's byte order; four-colour (print) pictures come out as CMYK
  // and are converted row by row.
  const bool cmyk = d->cinfo.jpeg_color_space == JCS_CMYK || d->cinfo.jpeg_color_space == JCS_YCCK;
  d->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  if (minWidth > 0 || minHeight > 0) {
    const std::uint64_t w = d->cinfo.image_width, h = d->cinfo.image_height;
    unsigned m = 1;
    while (m < 8 && ((w * m + 7) / 8 < static_cast<std::uint64_t>(minWidth) ||
                     (h * m + 7) / 8 < static_cast<std::uint64_t>(minHeight)))
      ++m;
    d->cinfo.scale_num = m;
    d->cinfo.scale_denom = 8;
  }
  jpeg_calc_output_dimensions(&d->cinfo);
  return true;
}

// Four-colour rows to blue, green, red. Files with an Adobe marker store the inks inverted.
void CmykToBgr(const std::uint8_t* s, std::uint8_t* d, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, s += 4, d += 3) {
    unsigned c = s[0], m = s[1], y = s[2], k = s[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    d[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
    d[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    d[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
  }
}

// scratch holds one four-colour row when the output is CMYK.
__attribute__((noinline)) bool ReadRows(Decoder* d, std::uint8_t* rows, std::size_t stride, std::uint8_t* scratch) {
  if (__builtin_setjmp(d->err.jump)) return false;
  jpeg_start_decompress(&d->cinfo);
  JSAMPROW batch[16];
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JDIMENSION first = d->cinfo.output_scanline;
    if (d->cinfo.out_color_space == JCS_CMYK) {
      batch[0] = scratch;
      jpeg_read_scanlines(&d->cinfo, batch, 1);
      CmykToBgr(scratch, rows + first * stride, d->cinfo.output_width, d->cinfo.saw_Adobe_marker);
      continue;
    }
    JDIMENSION n = 0;
    for (; n < 16 && first + n < d->cinfo.output_height; ++n) batch[n] = rows + (first + n) * stride;
    jpeg_read_scanlines(&d->cinfo, batch, n);
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

struct Encoder {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  bool created = false;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  Encoder() { std::memset(&cinfo, 0, sizeof cinfo); }
  ~Encoder() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
};

__attribute__((noinline)) bool Encode(Encoder* e, const PixelBuffer* pixels, int quality) {
  InitErrors(e->err);
  e->cinfo.err = &e->err.pub;
  if (__builtin_setjmp(e->err.jump)) return false;
  jpeg_create_compress(&e->cinfo);
  e->created = true;
  jpeg_mem_dest(&e->cinfo, &e->out, &e->outSize);
  e->cinfo.image_width = static_cast<JDIMENSION>(pixels->Width());
  e->cinfo.image_height = static_cast<JDIMENSION>(pixels->Height());
  e->cinfo.input_components = 3;
  e->cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&e->cinfo);
  jpeg_set_quality(&e->cinfo, quality, TRUE);
  jpeg_start_compress(&e->cinfo, TRUE);
  while (e->cinfo.next_scanline < e->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels->Row(static_cast<int>(e->cinfo.next_scanline)));
    jpeg_write_scanlines(&e->cinfo, &row, 1);
  }
  jpeg_finish_compress(&e->cinfo);
  return true;
}

[[noreturn]] void Fail(const ErrorManager& err) { throw EInvalidGraphic(JpegErrorText(err.pub.msg_code, err.message)); }

}  // namespace

PixelBuffer DecodeJpeg(const std::uint8_t* data, std::size_t size) { return DecodeJpegScaled(data, size, 0, 0); }

JpegSize ReadJpegSize(const std::uint8_t* data, std::size_t size) {
  if (size == 0) throw EInvalidGraphic("JPEG イメージが空です");
  Decoder d;
  if (!StartDecode(&d, data, size)) Fail(d.err);
  // A JPEG's sides are 16-bit numbers.
  const int w = static_cast<int>(d.cinfo.image_width), h = static_cast<int>(d.cinfo.image_height);
  const int orientation = AppliedOrientation(data, size);
  return SwapsSides(orientation) ? JpegSize{h, w, orientation} : JpegSize{w, h, orientation};
}

PixelBuffer DecodeJpegScaled(const std::uint8_t* data, std::size_t size, int minWidth, int minHeight) {
  if (size == 0) throw EInvalidGraphic("JPEG イメージが空です");
  const int orientation = AppliedOrientation(data, size);
  if (SwapsSides(orientation)) std::swap(minWidth, minHeight);
  Decoder d;
  if (!StartDecode(&d, data, size, minWidth, minHeight)) Fail(d.err);
  const std::int64_t w = d.cinfo.output_width, h = d.cinfo.output_height;
  const int components = d.cinfo.out_color_space == JCS_CMYK ? 4 : 3;
  if (d.cinfo.output_components != components || w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide ||
      w * h > kMaxPicturePixels)
    throw EInvalidGraphic("JPEG イメージの大きさが扱える範囲を超えています");
  PixelBuffer out(static_cast<int>(w), static_cast<int>(h));
  std::vector<std::uint8_t> scratch(components == 4 ? static_cast<std::size_t>(w) * 4 : 0);
  if (!ReadRows(&d, out.Data(), static_cast<std::size_t>(out.Stride()), scratch.data())) Fail(d.err);
  return OrientPixels(std::move(out), orientation);
}

std::vector<std::uint8_t> EncodeJpeg(const PixelBuffer& pixels, int quality) {
  if (pixels.Empty()) throw Exception("空の画像は JPEG にできません");
  Encoder e;
  if (!Encode(&e, &pixels, quality)) throw Exception(Format("JPEG エラー: %s", {e.err.message}));
  return std::vector<std::uint8_t>(e.out, e.out + e.outSize);
}

const TGraphicClass TJPEGImage::Class = {"TJPEGImage", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }, nullptr};

void TJPEGImage::LoadFromStream(TStream& stream) {
  std::uint64_t pos = stream.Position(), size = stream.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size > pos ? size - pos : 0));
  stream.ReadBuffer(bytes.data(), bytes.size());
  LoadFromMemory(bytes.data(), bytes.size());
}

void TJPEGImage::LoadFromMemory(const std::uint8_t* data, std::size_t size) { pixels_ = DecodeJpeg(data, size); }

void TJPEGImage::SaveToStream(TStream& stream, int quality) const {
  std::vector<std::uint8_t> bytes = EncodeJpeg(pixels_, quality);
  stream.Write(bytes.data(), bytes.size());
}

void DecodeJpegRows(std::vector<std::uint8_t> head, JpegRowReader::Source rest, TRowsTarget& target) {
  const int orientation = AppliedOrientation(head.data(), head.size());
  JpegRowReader reader(Resumed(std::move(head), std::move(rest)));
  const int w = reader.Width(), h = reader.Height();
  if (w > kMaxPictureSide || h > kMaxPictureSide || static_cast<std::int64_t>(w) * h > kMaxPicturePixels)
    throw EInvalidGraphic("JPEG イメージの大きさが扱える範囲を超えています");
  PixelBuffer& out = target.Pixels();
  if (orientation != 1) {
    PixelBuffer stored = DecompressRows(reader);
    out = OrientPixels(std::move(stored), orientation);
    target.RowsDone(out.Height());
    return;
  }
  out.Allocate(w, h);
  // A band is one row of 4:2:0 blocks: the rows the library makes in one go.
  constexpr int kBand = 16;
  std::uint8_t* rows[kBand];
  while (reader.NextRow() < h) {
    const int first = reader.NextRow(), n = std::min(kBand, h - first);
    for (int i = 0; i < n; ++i) rows[i] = out.Row(first + i);
    reader.ReadRows(rows, n);
    if (!target.RowsDone(reader.NextRow())) return;
  }
}
