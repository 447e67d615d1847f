// Draws the thumbnail list's items: a raised frame (sunken for the selected item, whose
// content then lies one pixel further right and down, its name in bold), the name, the
// thumbnail at the list's size and, in the remarks column, the pixel size, the date and the
// word-wrapped comment.
#pragma once
#include <windows.h>

#include "catalogue/picture_entry.h"
#include "win/handle.h"

class TListItemDrawer {
 public:
  // Makes the two fonts every item is drawn with.
  TListItemDrawer();

  // Draws one item into r on dc. Makes no GDI object: a folder of 15,000 pictures scrolls as
  // one of 15 does. The DC's state is as it was afterwards.
  void Draw(HDC dc, const RECT& r, const TFileItem& item, bool selected, int thumbWidth, int thumbHeight,
            bool showRemarks, int colorDepth) const;

  // The remarks' line height: the font's height and two pixels.
  int LineHeight() const { return lineHeight_; }

 private:
  win::Font normal_, bold_;
  int lineHeight_;
};
