// A thumbnail list item drawn plainly: raised or sunken frame, the name, the thumbnail at the
// list's size. (The remarks column, with pixel size, date and comment, is drawn by the full
// item drawing that replaces this one.)
#pragma once
#include <windows.h>

#include "catalogue/picture_entry.h"

void DrawFileItem(HDC dc, RECT r, const TFileItem& item, bool selected, int thumbWidth, int thumbHeight,
                  int colorDepth);
