#include "catalogue/file_sort.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "win/sjis.h"

TSortKind SortKindOfTag(int tag) { return tag >= 1 && tag <= 4 ? static_cast<TSortKind>(tag) : skNone; }

namespace {
int Clamp(double v) { return v > 2147483647.0 ? 2147483647 : v < -2147483647.0 ? -2147483647 : static_cast<int>(v); }
// A damaged catalogue may hold any bits as a date: what is no finite number counts as no date.
double SortDate(double d) { return std::isfinite(d) ? d : 0.0; }
}  // namespace

int CompareFiles(const TSortKey& i, const TSortKey& j, TSortKind kind) {
  switch (kind) {
    case skName:
    case skExtension:
      return i.Rank < j.Rank ? -1 : i.Rank > j.Rank ? 1 : 0;
    case skArea:
    case skDate:
      if (!i.HasEntry) return -9999;
      if (!j.HasEntry) return 9999;
      // Areas of two 16-bit sides do not fit a 32-bit difference: compared in 64 bits.
      if (kind == skArea) return i.Area < j.Area ? -1 : i.Area > j.Area ? 1 : 0;
      return Clamp(std::nearbyint(SortDate(i.Date) - SortDate(j.Date)));
    case skNone:
      break;
  }
  return 0;
}

std::vector<std::size_t> SortOrder(std::vector<TSortKey> keys, TSortKind kind) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (kind == skNone) return order;  // every pair compares equal: nothing moves
  const std::size_t n = keys.size();
  for (std::size_t i = 0; i + 1 < n; ++i)
    for (std::size_t j = n - 1; j > i; --j)
      if (CompareFiles(keys[i], keys[j], kind) > 0) {
        std::swap(keys[i], keys[j]);
        std::swap(order[i], order[j]);
      }
  return order;
}

std::string_view SortExtension(std::string_view name) {
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); i += sjis::CharLength(name, i))
    if (name[i] == '.') dot = i;
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::vector<std::int64_t> RankTexts(std::size_t count, const std::function<int(std::size_t, std::size_t)>& compare) {
  std::vector<std::size_t> byText(count);
  std::iota(byText.begin(), byText.end(), std::size_t{0});
  std::stable_sort(byText.begin(), byText.end(), [&](std::size_t a, std::size_t b) { return compare(a, b) < 0; });
  std::vector<std::int64_t> rank(count);
  std::int64_t r = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0 && compare(byText[k - 1], byText[k]) != 0) ++r;
    rank[byText[k]] = r;
  }
  return rank;
}
