/* Resource ids shared by the program and res/quiran.rc (which windres reads too: keep it
   to plain #defines). */
#pragma once
#define IDI_QUIRAN 1          /* the program icon; the window class takes icon 1 */
#define IDB_ACTIONS 101       /* eight 24 x 24 action pictures side by side, magenta background */
#define IDB_TREEIMAGES 102    /* five 24 x 24 folder-tree pictures, magenta background */
#define IDB_SHELFTILE 103     /* the 124 x 124 wood-grain shelf tile */
#define IDB_PRINTSAMPLE 110   /* the 64 x 51, 256-colour picture of the print style diagrams */
#define IDB_PRINTGLYPHS 111   /* the print dialog's three 16 x 16 button glyphs, magenta background */
