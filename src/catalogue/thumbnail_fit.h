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
  // The picture's size as stored; background: the box's colour (0x00BBGGRR) around the fitted
  // picture. orientation: the photograph's Exif orientation (1 to 8): the box shows the
  // picture as seen, fitted by its size as seen; its stored rows are sampled and the samples
  // then turned or mirrored, so the rows sampled are still stored rows.
  TPointSampler(int pictureWidth, int pictureHeight, std::uint32_t background, int orientation = 1);

  // Where the picture as seen lands in the box.
  const TThumbFit& Fit() const { return fit_; }
  // The stored picture rows the thumbnail shows, ascending, each once.
  const std::vector<int>& SourceRows() const { return sourceRows_; }
  // Hands in stored picture row y (one of SourceRows), 24-bit blue, green, red.
  void AddRow(int y, const std::uint8_t* row);
  // Samples a whole stored picture.
  void AddPicture(const PixelBuffer& picture);
  // The 144 x 108 thumbnail.
  PixelBuffer Take();

 private:
  TThumbFit fit_;
  int orientation_;
  std::uint32_t background_;
  PixelBuffer samples_;            // the fitted picture as stored: Fit's sides exchanged for a quarter turn
  std::vector<int> sourceRows_;
  std::vector<int> rowOf_;         // picture row of each sample row
  std::vector<int> columnBytes_;   // byte offset in a picture row of each sample column
};

// The thumbnail for a palette screen (8 bits per pixel or fewer): the picture averaged down
// (halftone) into the fitted rectangle and its colours reduced to the halftone palette's
// 6 x 6 x 6 colour cube, so that the screen shows it without dithering of its own.
PixelBuffer HalftoneThumbnail(const PixelBuffer& picture, std::uint32_t background);
