// What the plug-in manager and the picture-file test decide from plug-ins' file filters
// ("*.pic", or several patterns joined by ";"), kept apart from Win32 so it is tested natively.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The patterns of a filter, split at ";" (never inside a double-byte character), in order;
// empty patterns are left out.
std::vector<std::string_view> FilterPatterns(std::string_view filter);

// The extensions a filter registers, in pattern order: each pattern's text after its first
// "." ("*.*" gives "*"), or the whole pattern when it has no ".".
std::vector<std::string> FilterExtensions(std::string_view filter);

// True when the file's extension (from its last ".", the "." included) is not empty and equals,
// ignoring ASCII case, the extension of one of the filters (of a filter of several patterns,
// the last pattern's).
bool FiltersClaim(const std::vector<std::string>& filters, std::string_view fileName);

// Positions of the candidate plug-ins for a file, best first: those that claim the file in
// reverse list order, then the others in list order. filtersAt(i) gives plug-in i's filters,
// or null when it is not of a wanted class (it is then left out).
std::vector<std::size_t> CandidateOrder(std::size_t count, std::string_view fileName,
                                        const std::function<const std::vector<std::string>*(std::size_t)>& filtersAt);

// What a name must end with to match a pattern: the pattern less its first character ("*.tif"
// gives ".tif"). A one-character pattern ("*") gives nothing, and matches no name.
std::string_view PatternTail(std::string_view pattern);

// True when the upper-cased name ends, on a character boundary, with the tail of one of the
// upper-cased filter's patterns.
bool FilterMatchesUpperName(std::string_view upperFilter, std::string_view upperName);

// The picture-file test on an upper-cased name: it ends (on a character boundary) with "BMP",
// "JPG" or "JPEG", or with one of the upper-cased pattern tails.
bool IsPictureNameUpper(std::string_view upperName, const std::vector<std::string>& upperTails);
