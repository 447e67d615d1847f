// The main window's place on the screen as Windows keeps it, turned into the settings' form
// and back.
#pragma once
#include <windows.h>

#include <optional>

#include "app/window_settings.h"

namespace app {

// The window's place now: its normal bounds in screen coordinates, and whether it is
// maximised (or minimised from maximised); the splitters as given.
WindowPlace PlaceOf(HWND hwnd, int panel1Width, int treeHeight);
// The work areas of the screens there are now.
std::vector<Box> WorkAreas();
// Shows the window (first showing, show as the program was started with): at the kept place
// when it can be reached on a screen now, maximised when it was (unless the start asks for
// minimised); otherwise where the system puts it. True when the kept place was used.
bool ShowAtPlace(HWND hwnd, const std::optional<WindowPlace>& place, int show);

}  // namespace app
