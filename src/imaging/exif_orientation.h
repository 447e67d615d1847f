// A camera's record of how it was held: the orientation tag of a JPEG's Exif block (values 1
// to 8), and the turn or mirror that shows the stored pixels as the photograph was taken.
// Phones store every upright photo sideways with such a tag.
#pragma once
#include <cstddef>
#include <cstdint>

#include "win/pixel_buffer.h"

// The orientation of the JPEG data: the tag of its first Exif block, 1 (as stored) when
// there is none, when the block or the tag is damaged, or when the tag holds another value.
// Reads only the markers before the picture data; never reads outside the bytes given.
int JpegExifOrientation(const std::uint8_t* data, std::size_t size);

// Whether pictures are shown as their camera recorded them (on by default). The settings file
// can turn it off; read from any thread.
bool ExifOrientationEnabled();
void SetExifOrientationEnabled(bool enabled);
// The orientation to apply to the JPEG data: its tag while that is enabled, 1 otherwise.
int AppliedOrientation(const std::uint8_t* data, std::size_t size);

// Orientations 5 to 8 turn the picture a quarter: its width and height change places.
constexpr bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The picture as seen: stored pixels turned or mirrored as the orientation says
//   2 mirrored left to right, 3 turned half round, 4 mirrored top to bottom,
//   5 mirrored along the top-left to bottom-right diagonal, 6 turned a quarter clockwise,
//   7 mirrored along the other diagonal, 8 turned a quarter anticlockwise;
// 1 (or any other value) leaves it as it is.
PixelBuffer OrientPixels(PixelBuffer pixels, int orientation);
