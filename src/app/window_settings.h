// The main window's place as the user left it (its bounds, whether it was maximised, where the
// two splitters stood), kept in the settings file's [Window] section between runs, and the
// test of whether a kept place can still be reached on the screens there are now.
#pragma once
#include <optional>
#include <vector>

#include "app/main_layout.h"
#include "win/ini_text.h"

namespace app {

struct WindowPlace {
  Box Normal;  // the window's bounds when neither maximised nor minimised, screen coordinates
  bool Maximized = false;
  int Panel1Width = kPanel1Width;  // the shelf's width (Splitter1)
  int TreeHeight = kTreeHeight;    // the folder tree's height (Splitter2)
  bool operator==(const WindowPlace&) const = default;
};

// The place in the settings; nothing when the section is missing or a value is not a number
// (a file edited by hand): the window then opens as designed.
std::optional<WindowPlace> ReadWindowPlace(const TIniText& ini);
// Puts the place into the settings, keeping every other line.
void StoreWindowPlace(TIniText& ini, const WindowPlace& place);

// True when a window at these bounds can be taken by its title bar on one of the screens (the
// work areas, screen coordinates): the top strip of the window, as wide as the window or at
// least 100 pixels of it, and 16 pixels high, lies on one screen. A place left on a screen that
// is gone, or far off every edge, is not.
bool OnSomeScreen(const Box& window, const std::vector<Box>& workAreas);

}  // namespace app
