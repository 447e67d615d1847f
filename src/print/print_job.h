// The print job: for every folder ticked in the print dialog, the folder's pictures as a grid
// of cells in the chosen style (the picture fitted into its box, its file name and its size in
// pixels), each folder starting on a new page under its path as the heading.
#pragma once
#include <string>

#include "print/koumoku_size.h"
#include "print/print_layout.h"
#include "win/canvas.h"

class TPrintForm;
class TGaugeForm;

// Prints on the current printer, showing progress in gauge; title names the document for the
// spooler. Fails with a message when the style's cell does not fit the paper (nothing is
// printed), with EUserCancel "印刷処理を中止します。" when the user cancels (nothing is
// printed), and with the printer's complaint when the spooler refuses a page (the document is
// abandoned). A picture that cannot be loaded keeps its name and an empty box in its cell.
void PrintCheckedFolders(TPrintForm& form, TGaugeForm& gauge, const std::string& title = "Quiran");

// The job's layout of a style on the printer whose device context is dc.
print::JobLayout LayoutOnPrinter(const TKoumokuSize& style, HDC dc);

// One cell on the printer: the picture at path fitted into the style's box, its name and its
// size line, the cell's corner at cell (in dots). A picture that cannot be loaded leaves its
// name and the outline of an empty box.
void PrintCell(win::Canvas& canvas, const TKoumokuSize& style, const print::JobLayout& layout, print::Point cell,
               const std::string& path, const std::string& name);
