#include "print/print_picture.h"

#include "imaging/graphics.h"
#include "imaging/jpeg_image.h"
#include "imaging/resample.h"
#include "win/file_io.h"
#include "win/sjis.h"

TPrintPicture LoadPrintPicture(const std::string& path, int boxW, int boxH) {
  TPrintPicture p;
  std::string_view ext = sjis::ExtractFileExt(path);
  if (!ext.empty()) ext.remove_prefix(1);
  PixelBuffer pixels;
  if (FindFileFormat(ext) == &TJPEGImage::Class) {
    const std::vector<std::uint8_t> bytes = win::ReadFileBytes(path);
    const JpegSize size = ReadJpegSize(bytes.data(), bytes.size());
    p.Width = size.Width;
    p.Height = size.Height;
    p.Place = print::FitPicture(p.Width, p.Height, boxW, boxH);
    pixels = DecodeJpegScaled(bytes.data(), bytes.size(), p.Place.Width(), p.Place.Height());
  } else {
    pixels = LoadPictureFile(path);
    p.Width = pixels.Width();
    p.Height = pixels.Height();
    p.Place = print::FitPicture(p.Width, p.Height, boxW, boxH);
  }
  p.Pixels = ResamplePixels(pixels, p.Place.Width(), p.Place.Height());
  return p;
}
