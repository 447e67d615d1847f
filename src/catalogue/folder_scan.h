// The folder scan: which files of a folder the thumbnail list shows.
#pragma once
#include <string>
#include <vector>

#include "catalogue/picture_entry.h"

// Empties items and fills it with the folder's picture files in the order the platform lists
// them: every file that is not a directory (hidden and system files too) whose upper-cased
// name passes the picture-file test. Items get no entry. Files whose names read alike to the
// catalogue (CatalogueKey) are numbered in the order of their names on disk (Occurrence).
// Returns their number. A folder that does not exist gives none; a listing that fails
// part-way (a network share dropping) raises EFOpenError and lists none, since a list missing
// files must never be taken for the folder.
int ScanFolder(const std::string& folderPath, TFileItems& items);

// The upper-cased names of all the folder's files, pictures or not. Fails as ScanFolder does.
std::vector<std::string> FolderFileNames(const std::string& folderPath);

// The form in which a file's name meets its catalogue entry: upper-cased as the scan does it,
// and cut as the entry's 255-byte field cuts it.
std::string CatalogueKey(const std::string& name);

// Failures the system seldom gives on demand, made to happen by tests; never set by the program.
namespace scan_faults {
// The next listing fails after this many names, as a share that drops mid-listing; -1 never.
inline int ListingFailsAfter = -1;
}  // namespace scan_faults
