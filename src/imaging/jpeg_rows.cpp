#include "imaging/jpeg_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <windows.h>

#include "imaging/bmp_reader.h"
#include "imaging/picture_errors.h"
#include "win/error.h"
#include "win/handle.h"
#include "win/text.h"

// libjpeg reports fatal errors through error_exit, which by default prints and calls exit().
// Here error_exit jumps back (__builtin_longjmp) to Protected, the one frame that made the
// library call; nothing with a destructor lives in that frame, and it returns false, after
// which the caller throws with the library's message.

namespace {

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

// Warnings are ignored, except that data ending before the picture does (the library would
// make up grey rows) is an error.
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

// Runs library calls with error_exit jumping back here.
template <class F>
__attribute__((noinline)) bool Protected(ErrorManager* err, F f) {
  if (__builtin_setjmp(err->jump)) return false;
  f();
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

}  // namespace

// ---- reading ----

struct JpegRowReader::State {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool created = false, started = false, cmyk = false;
  std::string comment;
  std::vector<std::uint8_t> scratch;  // one four-colour row
  const std::uint8_t* data = nullptr;  // in memory, or
  std::size_t size = 0;
  Source source;                       // a buffer at a time
  jpeg_source_mgr src;
  std::vector<std::uint8_t> buffer;
  State() { std::memset(&cinfo, 0, sizeof cinfo); }
  ~State() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  [[noreturn]] void Fail() const { throw EInvalidGraphic(JpegErrorText(err.pub.msg_code, err.message)); }

  static State* Of(j_decompress_ptr cinfo) { return static_cast<State*>(cinfo->client_data); }
  static void InitSource(j_decompress_ptr) {}
  static boolean FillInputBuffer(j_decompress_ptr cinfo) {
    State* s = Of(cinfo);
    std::size_t n = 0;
    try {
      n = s->source(s->buffer.data(), s->buffer.size());
    } catch (...) {
      n = 0;
    }
    if (n == 0) {
      // The data ended: an end marker lets the library finish, after the warning that
      // EmitMessage turns into an error.
      WARNMS(cinfo, JWRN_JPEG_EOF);
      s->buffer[0] = 0xFF;
      s->buffer[1] = JPEG_EOI;
      n = 2;
    }
    s->src.next_input_byte = s->buffer.data();
    s->src.bytes_in_buffer = n;
    return TRUE;
  }
  static void SkipInputData(j_decompress_ptr cinfo, long count) {
    State* s = Of(cinfo);
    while (count > static_cast<long>(s->src.bytes_in_buffer)) {
      count -= static_cast<long>(s->src.bytes_in_buffer);
      FillInputBuffer(cinfo);
    }
    s->src.next_input_byte += count;
    s->src.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
  static void TermSource(j_decompress_ptr) {}
};

JpegRowReader::JpegRowReader(const std::uint8_t* data, std::size_t size) : s_(std::make_unique<State>()) {
  if (size == 0) throw EInvalidGraphic("JPEG イメージが空です");
  s_->data = data;
  s_->size = size;
  ReadHeader();
}

JpegRowReader::JpegRowReader(Source source) : s_(std::make_unique<State>()) {
  s_->source = std::move(source);
  // Few reads (each a system call), yet small enough for the heap to hand the same block
  // back reader after reader.
  s_->buffer.resize(256 * 1024);
  ReadHeader();
}

void JpegRowReader::ReadHeader() {
  State* s = s_.get();
  InitErrors(s->err);
  s->cinfo.err = &s->err.pub;
  bool ok = Protected(&s->err, [s] {
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    s->cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    if (s->source) {
      s->cinfo.client_data = s;
      s->src.init_source = &State::InitSource;
      s->src.fill_input_buffer = &State::FillInputBuffer;
      s->src.skip_input_data = &State::SkipInputData;
      s->src.resync_to_restart = jpeg_resync_to_restart;
      s->src.term_source = &State::TermSource;
      s->src.bytes_in_buffer = 0;
      s->src.next_input_byte = nullptr;
      s->cinfo.src = &s->src;
    } else {
      jpeg_mem_src(&s->cinfo, s->data, static_cast<unsigned long>(s->size));
    }
    jpeg_save_markers(&s->cinfo, JPEG_COM, 0xFFFF);
    jpeg_read_header(&s->cinfo, TRUE);
    s->cmyk = s->cinfo.jpeg_color_space == JCS_CMYK || s->cinfo.jpeg_color_space == JCS_YCCK;
    s->cinfo.out_color_space = s->cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&s->cinfo);
  });
  if (!ok) s->Fail();
  if (s->cinfo.output_components != (s->cmyk ? 4 : 3) || s->cinfo.output_width == 0 || s->cinfo.output_height == 0)
    throw EInvalidGraphic("JPEG イメージの形式が正しくありません");
  for (jpeg_saved_marker_ptr m = s->cinfo.marker_list; m; m = m->next)
    if (m->marker == JPEG_COM) {
      s->comment.assign(reinterpret_cast<const char*>(m->data), m->data_length);
      break;
    }
  if (s->cmyk) s->scratch.resize(static_cast<std::size_t>(s->cinfo.output_width) * 4);
}

JpegRowReader::~JpegRowReader() = default;

int JpegRowReader::Width() const { return static_cast<int>(s_->cinfo.output_width); }
int JpegRowReader::Height() const { return static_cast<int>(s_->cinfo.output_height); }
const std::string& JpegRowReader::Comment() const { return s_->comment; }
int JpegRowReader::NextRow() const { return static_cast<int>(s_->cinfo.output_scanline); }

bool JpegRowReader::ReadSamples() {
  State* s = s_.get();
  if (s->started || s->cinfo.jpeg_color_space != JCS_YCbCr || s->cinfo.num_components != 3) return false;
  s->cinfo.out_color_space = JCS_YCbCr;
  s->cinfo.do_fancy_upsampling = FALSE;
  if (!Protected(&s->err, [s] { jpeg_calc_output_dimensions(&s->cinfo); })) s->Fail();
  return true;
}

void BgrToSamples(std::uint8_t* p, int width) {
  // Fixed point with 16 fraction bits, rounded, as the library converts.
  for (int x = 0; x < width; ++x, p += 3) {
    const std::int32_t b = p[0], g = p[1], r = p[2];
    const std::int32_t y = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    const std::int32_t cb = (-11059 * r - 21709 * g + 32768 * b + (128 << 16) + 32767) >> 16;
    const std::int32_t cr = (32768 * r - 27439 * g - 5329 * b + (128 << 16) + 32767) >> 16;
    p[0] = static_cast<std::uint8_t>(std::clamp(y, 0, 255));
    p[1] = static_cast<std::uint8_t>(std::clamp(cb, 0, 255));
    p[2] = static_cast<std::uint8_t>(std::clamp(cr, 0, 255));
  }
}

void JpegRowReader::Start() {
  if (s_->started) return;
  State* s = s_.get();
  if (!Protected(&s->err, [s] { jpeg_start_decompress(&s->cinfo); })) s->Fail();
  s->started = true;
}

void JpegRowReader::ReadRows(std::uint8_t* const* rows, int count) {
  Start();
  State* s = s_.get();
  bool ok = Protected(&s->err, [s, rows, count] {
    for (int i = 0; i < count && s->cinfo.output_scanline < s->cinfo.output_height;) {
      if (s->cmyk) {
        JSAMPROW row = s->scratch.data();
        jpeg_read_scanlines(&s->cinfo, &row, 1);
        CmykToBgr(row, rows[i], s->cinfo.output_width, s->cinfo.saw_Adobe_marker);
        ++i;
      } else {
        i += static_cast<int>(
            jpeg_read_scanlines(&s->cinfo, const_cast<JSAMPARRAY>(rows + i), static_cast<JDIMENSION>(count - i)));
      }
    }
  });
  if (!ok) s->Fail();
}

void JpegRowReader::SkipRows(int count) {
  if (count <= 0) return;
  Start();
  State* s = s_.get();
  if (!Protected(&s->err, [s, count] { jpeg_skip_scanlines(&s->cinfo, static_cast<JDIMENSION>(count)); })) s->Fail();
}

// ---- writing ----

struct JpegRowWriter::State {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  jpeg_destination_mgr dest;
  bool created = false;
  Sink sink;
  std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(64 * 1024);
  State() { std::memset(&cinfo, 0, sizeof cinfo); }
  ~State() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
  [[noreturn]] void Fail() const { throw Exception(Format("JPEG エラー: %s", {err.message})); }

  bool Deliver(std::size_t n) {
    try {
      return n == 0 || sink(buffer.data(), n);
    } catch (...) {
      return false;
    }
  }
  static State* Of(j_compress_ptr cinfo) { return static_cast<State*>(cinfo->client_data); }
  static void InitDestination(j_compress_ptr cinfo) {
    State* s = Of(cinfo);
    s->dest.next_output_byte = s->buffer.data();
    s->dest.free_in_buffer = s->buffer.size();
  }
  static boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    State* s = Of(cinfo);
    if (!s->Deliver(s->buffer.size())) ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
  }
  static void TermDestination(j_compress_ptr cinfo) {
    State* s = Of(cinfo);
    if (!s->Deliver(s->buffer.size() - s->dest.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
  }
};

JpegRowWriter::JpegRowWriter(int width, int height, int quality, Sink sink, std::string_view comment, bool samples)
    : s_(std::make_unique<State>()) {
  if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
    throw Exception("JPEG にできない大きさの画像です");
  State* s = s_.get();
  s->sink = std::move(sink);
  InitErrors(s->err);
  s->cinfo.err = &s->err.pub;
  bool ok = Protected(&s->err, [s, width, height, quality, comment, samples] {
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    s->cinfo.client_data = s;
    s->dest.init_destination = &State::InitDestination;
    s->dest.empty_output_buffer = &State::EmptyOutputBuffer;
    s->dest.term_destination = &State::TermDestination;
    s->cinfo.dest = &s->dest;
    s->cinfo.image_width = static_cast<JDIMENSION>(width);
    s->cinfo.image_height = static_cast<JDIMENSION>(height);
    s->cinfo.input_components = 3;
    s->cinfo.in_color_space = samples ? JCS_YCbCr : JCS_EXT_BGR;
    jpeg_set_defaults(&s->cinfo);
    jpeg_set_quality(&s->cinfo, quality, TRUE);
    jpeg_start_compress(&s->cinfo, TRUE);
    if (!comment.empty())
      jpeg_write_marker(&s->cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                        static_cast<unsigned int>(comment.size()));
  });
  if (!ok) s->Fail();
}

JpegRowWriter::~JpegRowWriter() = default;

void JpegRowWriter::WriteRows(const std::uint8_t* const* rows, int count) {
  State* s = s_.get();
  bool ok = Protected(&s->err, [s, rows, count] {
    jpeg_write_scanlines(&s->cinfo, const_cast<JSAMPARRAY>(rows), static_cast<JDIMENSION>(count));
  });
  if (!ok) s->Fail();
}

void JpegRowWriter::Finish() {
  State* s = s_.get();
  if (s->cinfo.next_scanline < s->cinfo.image_height) throw Exception("JPEG の行が足りません");
  if (!Protected(&s->err, [s] { jpeg_finish_compress(&s->cinfo); })) s->Fail();
}

// ---- whole pictures ----

std::vector<std::uint8_t> CompressPixels(const PixelBuffer& pixels, int quality) {
  if (pixels.Empty()) throw Exception("空の画像は JPEG にできません");
  std::vector<std::uint8_t> out;
  JpegRowWriter w(pixels.Width(), pixels.Height(), quality, [&out](const std::uint8_t* b, std::size_t n) {
    out.insert(out.end(), b, b + n);
    return true;
  });
  std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(pixels.Height()));
  for (int y = 0; y < pixels.Height(); ++y) rows[static_cast<std::size_t>(y)] = pixels.Row(y);
  w.WriteRows(rows.data(), pixels.Height());
  w.Finish();
  return out;
}

PixelBuffer DecompressPixels(const std::uint8_t* data, std::size_t size) {
  JpegRowReader r(data, size);
  return DecompressRows(r);
}

PixelBuffer DecompressRows(JpegRowReader& r) {
  if (static_cast<std::int64_t>(r.Width()) * r.Height() > kMaxPicturePixels)
    throw EInvalidGraphic("JPEG イメージの大きさが扱える範囲を超えています");
  PixelBuffer out(r.Width(), r.Height());
  std::vector<std::uint8_t*> rows(static_cast<std::size_t>(out.Height()));
  for (int y = 0; y < out.Height(); ++y) rows[static_cast<std::size_t>(y)] = out.Row(y);
  r.ReadRows(rows.data(), out.Height());
  return out;
}

std::vector<std::uint8_t> ReadJpegHead(const JpegRowReader::Source& source) {
  std::vector<std::uint8_t> head(2 + 2 * (2 + 0xFFFF));
  std::size_t size = 0;
  for (std::size_t got = 1; got > 0 && size < head.size(); size += got) got = source(head.data() + size, head.size() - size);
  head.resize(size);
  return head;
}

JpegRowReader::Source Resumed(std::vector<std::uint8_t> head, JpegRowReader::Source rest) {
  return [head = std::move(head), rest = std::move(rest), given = std::size_t{0}](std::uint8_t* buffer,
                                                                                  std::size_t size) mutable {
    if (given == head.size()) return rest(buffer, size);
    const std::size_t n = std::min(size, head.size() - given);
    std::memcpy(buffer, head.data() + given, n);
    given += n;
    return n;
  };
}

JpegRowReader::Source FileSource(const std::string& path) {
  HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFOpenError(Format("ファイル %s は開けません", {path}));
  auto file = std::make_shared<win::File>(h);
  return [file](std::uint8_t* buffer, std::size_t size) -> std::size_t {
    DWORD got = 0;
    return ReadFile(file->Get(), buffer, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
  };
}
