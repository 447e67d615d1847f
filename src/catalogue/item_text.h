// The texts the thumbnail list shows for a picture: its pixel size, its date with the weekday,
// the hover popup's text and the status bar's. Portable, so they are tested natively.
#pragma once
#include <string>

#include "catalogue/picture_entry.h"

// "SIZE:W%4d×H%4d (Dot)" for the picture's pixel size.
std::string PixelSizeText(const TPictureEntry& entry);

// A date value (days since 1899-12-30, the fraction the time of day) as "yyyy/mm/dd (aaa)",
// the weekday always in Japanese (日 月 火 水 木 金 土) whatever the system's locale. Empty
// for a value before 1899-12-30 or after 9999-12-31, or not a number (a damaged catalogue).
std::string DateText(double date);

// "DATE:" and the date, or empty when the entry has no date (Date 0 or less) or one that
// cannot be shown.
std::string DateLine(const TPictureEntry& entry);

// The hover popup's text: the size line, then the date line and the comment, each on a line
// of its own when there is one.
std::string HoverHintText(const TPictureEntry& entry);

// The status bar's hover text: the size line, three spaces, and the date line when there is one.
std::string HoverStatusText(const TPictureEntry& entry);

// What the list says of an album's folder that is not on the disk (moved, deleted, or on a
// drive or network share that is not connected).
std::string MissingFolderText(const std::string& path);
