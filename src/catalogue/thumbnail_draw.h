// Drawing a thumbnail on the screen.
#pragma once
#include <windows.h>

#include "catalogue/picture_entry.h"
#include "win/canvas.h"

// Draws the thumbnail stretched into (x, y, w, h): rows and columns dropped or repeated on
// screens of more than 8 bits per pixel, halftone on palette screens.
void DrawThumbnail(win::Canvas& canvas, const TThumbnail& thumbnail, int x, int y, int w, int h, int colorDepth);
