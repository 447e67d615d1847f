#include "imaging/spi_filters.h"

#include <deque>

#include "win/sjis.h"

std::vector<std::string> FilterExtensions(std::string_view filter) {
  std::vector<std::string> out;
  std::string_view rest = filter;
  while (!rest.empty()) {
    std::string_view pattern = rest;
    rest = {};
    for (std::size_t i = 0; i < pattern.size(); i += sjis::CharLength(pattern, i)) {
      if (pattern[i] == ';') {
        rest = pattern.substr(i + 1);
        pattern = pattern.substr(0, i);
        break;
      }
    }
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

bool IsPictureNameUpper(std::string_view upperName, const std::vector<std::string>& upperFirstFilters) {
  if (sjis::EndsWith(upperName, "BMP") || sjis::EndsWith(upperName, "JPG") || sjis::EndsWith(upperName, "JPEG"))
    return true;
  for (const std::string& f : upperFirstFilters) {
    if (f.empty()) continue;
    std::string_view tail = std::string_view(f).substr(sjis::CharLength(f, 0));
    if (sjis::EndsWith(upperName, tail)) return true;
  }
  return false;
}
