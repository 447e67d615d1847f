#include "imaging/format_choice.h"

#include <algorithm>

#include "win/sjis.h"

namespace {

constexpr std::string_view kHeader = "[UnusedFormats]";
constexpr std::string_view kComment = "; 使わない画像形式: プラグインのファイル名、タブ、形式のファイル名パターン";
constexpr std::string_view kPluginsHeader = "[Plugins]";
constexpr std::string_view kPluginsComment = "; InProcess=1: プラグインを Quiran の中で動かす (0: 別のプロセスで、既定)";
constexpr std::string_view kInProcess = "InProcess=";

// Orders and compares entries: the plug-in name without regard to ASCII case, then the filter.
std::pair<std::string, std::string> Key(std::string_view pluginName, std::string_view filter) {
  return {sjis::UpperAscii(pluginName), std::string(filter)};
}

// Well-formed Shift-JIS without control characters: what a file name or a filter can hold.
bool IsCleanText(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (sjis::IsLeadByte(c)) {
      if (i + 1 >= text.size()) return false;
      auto t = static_cast<unsigned char>(text[i + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
      i += 2;
      continue;
    }
    if (c < 0x20 || c == 0x7F) return false;
    ++i;
  }
  return true;
}

}  // namespace

bool TFormatChoice::InUse(std::string_view pluginName, std::string_view filter) const {
  return !std::binary_search(unused_.begin(), unused_.end(), Key(pluginName, filter));
}

void TFormatChoice::SetInUse(std::string_view pluginName, std::string_view filter, bool inUse) {
  auto key = Key(pluginName, filter);
  auto at = std::lower_bound(unused_.begin(), unused_.end(), key);
  bool listed = at != unused_.end() && *at == key;
  if (inUse && listed) unused_.erase(at);
  if (!inUse && !listed) unused_.insert(at, std::move(key));
}

std::string TPluginOptions::Text() const {
  std::string out = std::string(kHeader) + "\r\n" + std::string(kComment) + "\r\n";
  for (const auto& [name, filter] : Formats.Unused()) out += name + "\t" + filter + "\r\n";
  out += std::string(kPluginsHeader) + "\r\n" + std::string(kPluginsComment) + "\r\n";
  out += std::string(kInProcess) + (InProcess ? "1" : "0") + "\r\n";
  return out;
}

std::optional<TPluginOptions> TPluginOptions::Parse(std::string_view text) {
  TPluginOptions options;
  enum { None, Formats, Plugins } section = None;
  bool seenFormats = false, seenPlugins = false;
  // Only whole lines count: a file cut short in its last line is damaged.
  if (text.empty() || text.back() != '\n') return std::nullopt;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The first line is a section's header; each section comes once.
    if (line == kHeader && !seenFormats) {
      section = Formats, seenFormats = true;
      continue;
    }
    if (line == kPluginsHeader && !seenPlugins) {
      section = Plugins, seenPlugins = true;
      continue;
    }
    if (section == None) return std::nullopt;
    if (line.empty() || line.front() == ';') continue;
    if (section == Plugins) {
      if (line == std::string(kInProcess) + "0" || line == std::string(kInProcess) + "1")
        options.InProcess = line.back() == '1';
      else
        return std::nullopt;
      continue;
    }
    // A tab is never part of a double-byte character, so it can be searched byte by byte.
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    std::string_view name = line.substr(0, tab), filter = line.substr(tab + 1);
    if (!IsCleanText(name) || !IsCleanText(filter)) return std::nullopt;
    options.Formats.SetInUse(name, filter, false);
  }
  return options;
}
