// Resizing a picture the way a photograph should be resized: every target pixel is the
// average of the source area it covers (reducing), or blended from its nearest source pixels
// (enlarging), never a dropped or repeated pixel. Printing draws pictures resized this way at
// exactly their size in printer dots.
#pragma once
#include "win/pixel_buffer.h"

// The picture resized to width x height; an empty buffer for an empty source or target.
PixelBuffer ResamplePixels(const PixelBuffer& source, int width, int height);
