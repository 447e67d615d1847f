// Drawing a thumbnail on the screen or into a small bitmap.
#pragma once
#include <windows.h>

#include "catalogue/picture_entry.h"
#include "win/canvas.h"
#include "win/handle.h"

// Draws the thumbnail stretched into (x, y, w, h): rows and columns dropped or repeated on
// screens of more than 8 bits per pixel, halftone on palette screens.
void DrawThumbnail(win::Canvas& canvas, const TThumbnail& thumbnail, int x, int y, int w, int h, int colorDepth);

// A 24-bit bitmap of the thumbnail scaled to w x h, for a menu item's glyph; one GDI object,
// owned by the caller.
win::Bitmap ThumbnailBitmap(const TThumbnail& thumbnail, int w, int h);
