// JPEG pictures through libjpeg-turbo: decoded with the library's default settings straight
// into 24-bit BGR rows (then turned as the photograph's Exif orientation says), encoded as
// baseline colour JPEG. Library errors become EInvalidGraphic
// (or Exception when encoding); the library never ends the process.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/graphics.h"
#include "imaging/jpeg_rows.h"
#include "imaging/rows_target.h"

class TJPEGImage : public TGraphic {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  // Reads a JPEG from the stream's position to its end.
  void LoadFromStream(TStream& stream) override;
  void LoadFromMemory(const std::uint8_t* data, std::size_t size);
  // Writes the picture as a baseline JPEG at the given quality (1..100).
  void SaveToStream(TStream& stream, int quality = 90) const;
};

// A picture is decoded as seen: turned or mirrored as its Exif orientation says (while that
// is enabled), and its size is the size as seen.
PixelBuffer DecodeJpeg(const std::uint8_t* data, std::size_t size);
// The picture's size from its header, without decoding it.
struct JpegSize {
  int Width = 0, Height = 0;  // as seen
  int Orientation = 1;        // the Exif orientation applied
};
JpegSize ReadJpegSize(const std::uint8_t* data, std::size_t size);
// Decodes at the smallest of libjpeg's scales 1/8 to 8/8 whose result is at least
// minWidth x minHeight (as seen), full size when no smaller one is: a picture drawn far smaller
// than it is costs a fraction of a full decode.
PixelBuffer DecodeJpegScaled(const std::uint8_t* data, std::size_t size, int minWidth, int minHeight);
std::vector<std::uint8_t> EncodeJpeg(const PixelBuffer& pixels, int quality);

// A JPEG as seen into a target, a band of rows at a time as they are decoded, read from a
// source: head is its first bytes (ReadJpegHead, which hold the Exif orientation), rest gives
// what follows. A photograph that must be turned is decoded whole, turned, and then reported
// done in one go. Fails with EInvalidGraphic; the rows reported before stay in the target.
void DecodeJpegRows(std::vector<std::uint8_t> head, JpegRowReader::Source rest, TRowsTarget& target);
