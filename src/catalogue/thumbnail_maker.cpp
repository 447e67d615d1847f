#include "catalogue/thumbnail_maker.h"

#include <windows.h>

#include <utility>

#include "catalogue/thumbnail_fit.h"
#include "imaging/bmp_reader.h"
#include "imaging/exif_orientation.h"
#include "imaging/graphics.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
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
// orientation says, and the size is the size as seen.
PixelBuffer FromJpeg(const std::vector<std::uint8_t>& bytes, int colorDepth, std::uint32_t background,
                     const std::atomic<bool>* stop, TThumbnailBox& made) {
  JpegRowReader reader(bytes.data(), bytes.size());
  const int orientation = AppliedOrientation(bytes.data(), bytes.size());
  made.Width = reader.Width(), made.Height = reader.Height();
  if (SwapsSides(orientation)) std::swap(made.Width, made.Height);
  if (colorDepth <= 8)
    return FromPicture(OrientPixels(DecompressPixels(bytes.data(), bytes.size()), orientation), colorDepth, background);
  TPointSampler sampler(reader.Width(), reader.Height(), background, orientation);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(reader.Width()) * 3);
  std::uint8_t* rows[1] = {row.data()};
  for (int y : sampler.SourceRows()) {
    CheckStop(stop);
    reader.SkipRows(y - reader.NextRow());
    reader.ReadRows(rows, 1);
    sampler.AddRow(y, row.data());
  }
  return sampler.Take();
}

}  // namespace

TThumbnailDecoder ThumbnailDecoderFor(const std::string& path) {
  std::string_view ext = sjis::ExtractFileExt(path);
  if (!ext.empty()) ext.remove_prefix(1);
  const TGraphicClass* cls = FindFileFormat(ext);
  if (cls == &TJPEGImage::Class) return TThumbnailDecoder::Jpeg;
  if (cls == &TBitmap::Class) return TThumbnailDecoder::Bmp;
  return TThumbnailDecoder::Picture;
}

TThumbnailBox MakeThumbnailBox(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                               std::uint32_t background, const std::atomic<bool>* stop) {
  TThumbnailBox made;
  PixelBuffer& box = made.Box;
  if (decoder == TThumbnailDecoder::Picture) {
    TPicture picture;
    picture.LoadFromFile(path);
    made.Width = picture.Width(), made.Height = picture.Height();
    box = FromPicture(picture.Pixels(), colorDepth, background);
  } else {
    const std::vector<std::uint8_t> bytes = win::ReadFileBytes(path);
    CheckStop(stop);
    if (decoder == TThumbnailDecoder::Jpeg) {
      box = FromJpeg(bytes, colorDepth, background, stop, made);
    } else {
      BmpImage bmp = ReadBmp(bytes.data(), bytes.size());
      made.Width = bmp.Pixels.Width(), made.Height = bmp.Pixels.Height();
      box = FromPicture(bmp.Pixels, colorDepth, background);
    }
  }
  return made;
}

TThumbnailMade MakeThumbnailWith(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                                 std::uint32_t background, const std::atomic<bool>* stop) {
  TThumbnailBox box = MakeThumbnailBox(decoder, path, colorDepth, background, stop);
  CheckStop(stop);
  return {std::make_shared<const TThumbnail>(box.Box), box.Width, box.Height};
}

std::unique_ptr<TPictureEntry> MakeThumbnail(const std::string& path, int colorDepth) {
  TThumbnailMade made = MakeThumbnailWith(ThumbnailDecoderFor(path), path, colorDepth, win::SysColor(COLOR_BTNFACE));
  auto entry = std::make_unique<TPictureEntry>();
  entry->Thumbnail = std::move(made.Thumbnail);
  entry->PixelWidth = static_cast<std::uint16_t>(made.Width);
  entry->PixelHeight = static_cast<std::uint16_t>(made.Height);
  return entry;
}
