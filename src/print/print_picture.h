// A picture as the print job draws it: loaded from its file and resized, by averaging, to
// exactly the dots it fills in its box. A JPEG is decoded at the smallest of its own reduced
// scales that still has that many pixels, so a 12-megapixel photograph printed 24 mm wide
// costs a small part of a full decode.
#pragma once
#include <string>

#include "print/print_layout.h"
#include "win/pixel_buffer.h"

struct TPrintPicture {
  int Width = 0, Height = 0;  // the picture's own size in pixels
  print::Rect Place;          // where it goes in the box (FitPicture)
  PixelBuffer Pixels;         // Place's size
};

// Loads the file through the picture-format registry (a JPEG the registry gives to the built-in
// decoder takes the reduced route) and fits it into a box of boxW x boxH dots. Fails as
// loading the picture fails.
TPrintPicture LoadPrintPicture(const std::string& path, int boxW, int boxH);
