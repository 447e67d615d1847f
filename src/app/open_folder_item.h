// What the main window does with an item of the thumbnail list when it is opened
// (ListBox1DblClick and the list menu's "表示…"): the picture in a new viewer, standing in the
// window menu with the item's thumbnail.
#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "win/handle.h"

class TShownFolder;
class TViewForm;

// Opens item `item` of the shown folder (its folder node's path `folder`) in a new viewer and
// shows it, its top-left corner at `at` (screen coordinates; viewers opened while others are
// open stand a step further down and right). An item without a thumbnail gets one first; a
// small copy of it stands in the new window-menu entry (addMenuItem: the main window's
// AddWindowMenuItem). When the picture cannot be loaded the error is raised, naming the file,
// and no viewer and no entry are left.
TViewForm& OpenFolderItem(TShownFolder& shown, const std::string& folder, std::size_t item, int colorDepth,
                          const std::function<int(const std::string&, win::Bitmap)>& addMenuItem,
                          const std::function<void(int)>& removeMenuItem, POINT at = {CW_USEDEFAULT, CW_USEDEFAULT});

// The picture of a viewer's window-menu entry: the thumbnail reduced to a third.
inline constexpr int kMenuGlyphWidth = 48, kMenuGlyphHeight = 36;
