// Fitting a picture into the 144 x 108 thumbnail box and sampling its pixels. Quiran samples
// the pixels itself (rows and columns dropped or repeated, never averaged) rather than leaving
// it to the platform's stretch, so a thumbnail is the same on every Windows and under Wine; and
// because it knows which rows it samples, a JPEG decoder can skip the others.
#pragma once
#include <cstdint>
#include <vector>

#include "win/pixel_buffer.h"

// Where the picture lands in the box: its whole width (a relatively wider picture, centred
// vertically) or its whole height (centred horizontally). Integer division truncates.
struct TThumbFit {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};
// pictureWidth and pictureHeight must be positive.
TThumbFit FitThumbnail(std::int64_t pictureWidth, std::int64_t pictureHeight);

// The source index (row or column) that target index i of `target` shows when `source`
// indices are point-sampled: the one under the target pixel's centre.
int SampleIndex(int i, int source, int target);

// Builds a thumbnail from the rows of a picture given one at a time. Fails with
// EInvalidGraphic for an empty picture.
class TPointSampler {
 public:
  // background: the box's colour (0x00BBGGRR) around the fitted picture.
  TPointSampler(int pictureWidth, int pictureHeight, std::uint32_t background);

  const TThumbFit& Fit() const { return fit_; }
  // The picture rows the thumbnail shows, ascending, each once.
  const std::vector<int>& SourceRows() const { return sourceRows_; }
  // Hands in picture row y (one of SourceRows), 24-bit blue, green, red.
  void AddRow(int y, const std::uint8_t* row);
  // Samples a whole picture.
  void AddPicture(const PixelBuffer& picture);
  // The 144 x 108 thumbnail.
  PixelBuffer Take() { return std::move(box_); }

 private:
  TThumbFit fit_;
  PixelBuffer box_;
  std::vector<int> sourceRows_;
  std::vector<int> rowOf_;         // picture row of each fitted target row
  std::vector<int> columnBytes_;   // byte offset in a picture row of each fitted target column
};

// The thumbnail for a palette screen (8 bits per pixel or fewer): the picture averaged down
// (halftone) into the fitted rectangle and its colours reduced to the halftone palette's
// 6 x 6 x 6 colour cube, so that the screen shows it without dithering of its own.
PixelBuffer HalftoneThumbnail(const PixelBuffer& picture, std::uint32_t background);
