#include "catalogue/thumbnail_maker.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "catalogue/thumbnail_fit.h"
#include "imaging/bmp_reader.h"
#include "imaging/exif_orientation.h"
#include "imaging/graphics.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
#include "imaging/wic_image.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/sjis.h"

namespace {

void CheckStop(const std::atomic<bool>* stop) {
  if (stop && *stop) throw EAbort();
}

// The box from a whole picture: point-sampled, or averaged on a palette screen.
PixelBuffer FromPicture(const PixelBuffer& picture, int colorDepth, std::uint32_t background) {
  if (colorDepth <= 8) return HalftoneThumbnail(picture, background);
  TPointSampler sampler(picture.Width(), picture.Height(), background);
  sampler.AddPicture(picture);
  return sampler.Take();
}

// A JPEG's box from the sampled rows only: the others are skipped, which leaves every row
// read exactly as a full decode gives it. The samples are then turned as the photograph's Exif
// orientation says, and the size is the size as seen. The file is read a buffer at a time as
// the decoder asks for it; its first bytes, which hold the Exif block, are read first.
PixelBuffer FromJpeg(const std::string& path, int colorDepth, std::uint32_t background, const std::atomic<bool>* stop,
                     TThumbnailBox& made, TThumbnailTimes* times) {
  JpegRowReader::Source file = FileSource(path);
  double* read = times ? &times->Read : nullptr;
  JpegRowReader::Source timed = [&file, read](std::uint8_t* buffer, std::size_t size) {
    TTimed t(read);
    return file(buffer, size);
  };
  std::vector<std::uint8_t> head = ReadJpegHead(timed);
  const int orientation = AppliedOrientation(head.data(), head.size());
  const double readBefore = times ? times->Read : 0;
  std::optional<JpegRowReader> header;
  {
    TTimed t(times ? &times->Decode : nullptr);
    header.emplace(Resumed(std::move(head), timed));
  }
  JpegRowReader& reader = *header;
  made.Width = reader.Width(), made.Height = reader.Height();
  if (SwapsSides(orientation)) std::swap(made.Width, made.Height);
  if (colorDepth <= 8) return FromPicture(OrientPixels(DecompressRows(reader), orientation), colorDepth, background);
  TPointSampler sampler(reader.Width(), reader.Height(), background, orientation);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(reader.Width()) * 3);
  std::uint8_t* rows[1] = {row.data()};
  for (int y : sampler.SourceRows()) {
    CheckStop(stop);
    {
      TTimed t(times ? &times->Decode : nullptr);
      reader.SkipRows(y - reader.NextRow());
      reader.ReadRows(rows, 1);
    }
    TTimed t(times ? &times->Sample : nullptr);
    sampler.AddRow(y, row.data());
  }
  // The file's reading went on inside the decoding: it is counted once, as reading.
  if (times) times->Decode -= times->Read - readBefore;
  return sampler.Take();
}

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

TTimed::TTimed(double* into) : into_(into), start_(into ? Seconds() : 0) {}
TTimed::~TTimed() {
  if (into_) *into_ += Seconds() - start_;
}

TThumbnailDecoder ThumbnailDecoderFor(const std::string& path) {
  std::string_view ext = sjis::ExtractFileExt(path);
  if (!ext.empty()) ext.remove_prefix(1);
  const TGraphicClass* cls = PictureClassFor(ext);
  if (cls == &TJPEGImage::Class) return TThumbnailDecoder::Jpeg;
  if (cls == &TBitmap::Class) return TThumbnailDecoder::Bmp;
  if (cls == &TWICImage::Class) return TThumbnailDecoder::Wic;
  return TThumbnailDecoder::Picture;
}

TThumbnailBox MakeThumbnailBox(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                               std::uint32_t background, const std::atomic<bool>* stop, TThumbnailTimes* times) {
  TThumbnailBox made;
  PixelBuffer& box = made.Box;
  if (decoder == TThumbnailDecoder::Picture) {
    TPicture picture;
    {
      TTimed t(times ? &times->Decode : nullptr);
      picture.LoadFromFile(path);
    }
    made.Width = picture.Width(), made.Height = picture.Height();
    TTimed t(times ? &times->Sample : nullptr);
    box = FromPicture(picture.Pixels(), colorDepth, background);
  } else if (decoder == TThumbnailDecoder::Jpeg) {
    box = FromJpeg(path, colorDepth, background, stop, made, times);
  } else if (decoder == TThumbnailDecoder::Wic) {
    PixelBuffer picture;
    {
      TTimed t(times ? &times->Decode : nullptr);
      picture = DecodeWicFile(path);
    }
    CheckStop(stop);
    made.Width = picture.Width(), made.Height = picture.Height();
    TTimed t(times ? &times->Sample : nullptr);
    box = FromPicture(picture, colorDepth, background);
  } else {
    std::vector<std::uint8_t> bytes;
    {
      TTimed t(times ? &times->Read : nullptr);
      bytes = win::ReadFileBytes(path);
    }
    CheckStop(stop);
    BmpImage bmp;
    {
      TTimed t(times ? &times->Decode : nullptr);
      bmp = ReadBmp(bytes.data(), bytes.size());
    }
    made.Width = bmp.Pixels.Width(), made.Height = bmp.Pixels.Height();
    TTimed t(times ? &times->Sample : nullptr);
    box = FromPicture(bmp.Pixels, colorDepth, background);
  }
  return made;
}

TThumbnailMade MakeThumbnailWith(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                                 std::uint32_t background, const std::atomic<bool>* stop, bool timed) {
  TThumbnailMade made;
  TThumbnailTimes* times = timed ? &made.Times : nullptr;
  TThumbnailBox box = MakeThumbnailBox(decoder, path, colorDepth, background, stop, times);
  CheckStop(stop);
  {
    TTimed t(times ? &times->Compress : nullptr);
    made.Thumbnail = std::make_shared<const TThumbnail>(box.Box);
  }
  made.Width = box.Width, made.Height = box.Height;
  return made;
}

std::unique_ptr<TPictureEntry> MakeThumbnail(const std::string& path, int colorDepth) {
  TThumbnailMade made = MakeThumbnailWith(ThumbnailDecoderFor(path), path, colorDepth, win::SysColor(COLOR_BTNFACE));
  auto entry = std::make_unique<TPictureEntry>();
  entry->Thumbnail = std::move(made.Thumbnail);
  entry->PixelWidth = static_cast<std::uint16_t>(made.Width);
  entry->PixelHeight = static_cast<std::uint16_t>(made.Height);
  return entry;
}
