// The print styles: the physical size of a printed thumbnail together with the text areas
// around it, all in whole millimetres from the top-left corner of one cell.
#pragma once
#include <string>
#include <vector>

#include "print/print_layout.h"
#include "win/font_desc.h"

// One text area of a style.
struct TRectExt {
  bool Visible = true;  // only visible areas count for the cell size
  FontDesc Font;        // the font the area's text is printed with
  print::Rect Rect;     // mm from the cell's corner
};

// One print style.
struct TKoumokuSize {
  std::string Title;          // as the style list shows it
  print::Rect PictureRect;    // the box the picture is fitted into
  TRectExt ExtraBoxArea;      // a 10 mm box: laid out, but nothing is printed into it
  TRectExt ExtraLineArea;     // one line: laid out, but nothing is printed into it
  TRectExt SizeArea;          // receives the picture's pixel size
  TRectExt CaptionArea;       // receives the file name; its font also prints the page heading
};

// The cell of a style in mm: 1 mm wider and taller than the farthest edge of the picture box
// and the visible text areas.
print::Rect GetCellRect(const TKoumokuSize& style);

// The five styles, from 12 × 9 mm to 60 × 45 mm pictures, in the style list's order.
std::vector<TKoumokuSize> MakePrintStyles();

// The style list's text of a style: its title, then its cell width and height.
std::string StyleListText(const TKoumokuSize& style);
