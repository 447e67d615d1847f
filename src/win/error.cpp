#include "win/error.h"

#include "win/sjis.h"

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < pattern.size();) {
    std::size_t n = sjis::CharLength(pattern, i);
    if (n == 1 && pattern[i] == '%' && i + 1 < pattern.size()) {
      char spec = pattern[i + 1];
      if (spec == '%') {
        out += '%';
      } else if (arg != args.end()) {
        out += *arg++;
      }
      i += 2;
      continue;
    }
    out.append(pattern.substr(i, n));
    i += n;
  }
  return out;
}
