#include "imaging/spi_filters.h"

#include <deque>

#include "win/sjis.h"

std::vector<std::string_view> FilterPatterns(std::string_view filter) {
  std::vector<std::string_view> out;
  std::size_t start = 0, i = 0;
  while (i < filter.size()) {
    if (filter[i] != ';') {
      i += sjis::CharLength(filter, i);
      continue;
    }
    if (i > start) out.push_back(filter.substr(start, i - start));
    start = ++i;
  }
  if (filter.size() > start) out.push_back(filter.substr(start));
  return out;
}

std::vector<std::string> FilterExtensions(std::string_view filter) {
  std::vector<std::string> out;
  for (std::string_view pattern : FilterPatterns(filter)) {
    std::string_view ext = pattern;
    for (std::size_t i = 0; i < pattern.size(); i += sjis::CharLength(pattern, i)) {
      if (pattern[i] == '.') {
        ext = pattern.substr(i + 1);
        break;
      }
    }
    out.emplace_back(ext);
  }
  return out;
}

bool FiltersClaim(const std::vector<std::string>& filters, std::string_view fileName) {
  std::string_view wanted = sjis::ExtractFileExt(fileName);
  if (wanted.empty()) return false;
  for (const std::string& f : filters)
    if (sjis::SameTextAscii(sjis::ExtractFileExt(f), wanted)) return true;
  return false;
}

std::vector<std::size_t> CandidateOrder(std::size_t count, std::string_view fileName,
                                        const std::function<const std::vector<std::string>*(std::size_t)>& filtersAt) {
  std::deque<std::size_t> order;
  for (std::size_t i = 0; i < count; ++i) {
    const std::vector<std::string>* filters = filtersAt(i);
    if (!filters) continue;
    if (FiltersClaim(*filters, fileName))
      order.push_front(i);
    else
      order.push_back(i);
  }
  return {order.begin(), order.end()};
}

std::string_view PatternTail(std::string_view pattern) {
  return pattern.empty() ? pattern : pattern.substr(sjis::CharLength(pattern, 0));
}

bool FilterMatchesUpperName(std::string_view upperFilter, std::string_view upperName) {
  for (std::string_view pattern : FilterPatterns(upperFilter)) {
    std::string_view tail = PatternTail(pattern);
    if (!tail.empty() && sjis::EndsWith(upperName, tail)) return true;
  }
  return false;
}

bool IsPictureNameUpper(std::string_view upperName, const std::vector<std::string>& upperTails) {
  if (sjis::EndsWith(upperName, "BMP") || sjis::EndsWith(upperName, "JPG") || sjis::EndsWith(upperName, "JPEG"))
    return true;
  for (const std::string& tail : upperTails)
    if (!tail.empty() && sjis::EndsWith(upperName, tail)) return true;
  return false;
}
