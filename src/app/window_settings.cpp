#include "app/window_settings.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace app {

namespace {

constexpr char kSection[] = "Window";

std::optional<int> Number(const TIniText& ini, const char* key) {
  const std::optional<std::string> text = ini.Value(kSection, key);
  if (!text || text->empty()) return std::nullopt;
  int value = 0;
  const char* end = text->data() + text->size();
  auto [at, error] = std::from_chars(text->data(), end, value);
  if (error != std::errc() || at != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<WindowPlace> ReadWindowPlace(const TIniText& ini) {
  const auto left = Number(ini, "Left"), top = Number(ini, "Top"), width = Number(ini, "Width"),
             height = Number(ini, "Height"), maximized = Number(ini, "Maximized"), shelf = Number(ini, "ShelfWidth"),
             tree = Number(ini, "TreeHeight");
  if (!left || !top || !width || !height || !maximized || !shelf || !tree) return std::nullopt;
  if (*width <= 0 || *height <= 0 || (*maximized != 0 && *maximized != 1)) return std::nullopt;
  return WindowPlace{{*left, *top, *width, *height}, *maximized == 1, *shelf, *tree};
}

void StoreWindowPlace(TIniText& ini, const WindowPlace& place) {
  const std::pair<const char*, int> values[] = {
      {"Left", place.Normal.X},       {"Top", place.Normal.Y},        {"Width", place.Normal.W},
      {"Height", place.Normal.H},     {"Maximized", place.Maximized}, {"ShelfWidth", place.Panel1Width},
      {"TreeHeight", place.TreeHeight}};
  for (const auto& [key, value] : values) ini.SetValue(kSection, key, std::to_string(value));
}

bool OnSomeScreen(const Box& window, const std::vector<Box>& workAreas) {
  constexpr int kGrip = 100, kTitle = 16;
  if (window.W <= 0 || window.H <= 0) return false;
  for (const Box& a : workAreas) {
    const int left = std::max(window.X, a.X), right = std::min(window.Right(), a.Right());
    const int top = std::max(window.Y, a.Y), bottom = std::min(window.Y + kTitle, a.Bottom());
    if (right - left >= std::min(kGrip, window.W) && window.Y >= a.Y && bottom - top >= kTitle) return true;
  }
  return false;
}

}  // namespace app
