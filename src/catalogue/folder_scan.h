// The folder scan: which files of a folder the thumbnail list shows.
#pragma once
#include <string>

#include "catalogue/picture_entry.h"

// Empties items and fills it with the folder's picture files in the order the platform lists
// them: every file that is not a directory (hidden and system files too) whose upper-cased
// name passes the picture-file test. Items get no entry. Returns their number; a folder that
// cannot be listed gives none.
int ScanFolder(const std::string& folderPath, TFileItems& items);
