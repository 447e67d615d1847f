#include "imaging/format_choice.h"

#include <algorithm>

#include "win/sjis.h"

namespace {

constexpr std::string_view kFormatsSection = "UnusedFormats";
constexpr std::string_view kComment = "; 使わない画像形式: プラグインのファイル名、タブ、形式のファイル名パターン";
constexpr std::string_view kPluginsSection = "Plugins";
constexpr std::string_view kPluginsComment = "; InProcess=1: プラグインを Quiran の中で動かす (0: 別のプロセスで、既定)";
constexpr std::string_view kInProcess = "InProcess";

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
  TIniText ini;
  StoreFormats(ini, Formats);
  ini.SetValue(kPluginsSection, kInProcess, InProcess ? "1" : "0");
  return ini.Text();
}

void TPluginOptions::StoreFormats(TIniText& ini, const TFormatChoice& formats) {
  std::vector<std::string> lines{std::string(kComment)};
  for (const auto& [name, filter] : formats.Unused()) lines.push_back(name + "\t" + filter);
  ini.SetLines(kFormatsSection, std::move(lines));
  if (!ini.HasSection(kPluginsSection)) ini.SetLines(kPluginsSection, {std::string(kPluginsComment), std::string(kInProcess) + "=0"});
}

std::optional<TPluginOptions> TPluginOptions::Parse(std::string_view text) {
  std::optional<TIniText> ini = TIniText::Parse(text);
  return ini ? From(*ini) : std::nullopt;
}

std::optional<TPluginOptions> TPluginOptions::From(const TIniText& ini) {
  TPluginOptions options;
  if (std::optional<std::string> inProcess = ini.Value(kPluginsSection, kInProcess)) {
    if (*inProcess != "0" && *inProcess != "1") return std::nullopt;
    options.InProcess = *inProcess == "1";
  }
  for (const std::string& line : ini.Lines(kFormatsSection)) {
    if (line.empty() || line.front() == ';') continue;
    // A tab is never part of a double-byte character, so it can be searched byte by byte.
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return std::nullopt;
    const std::string_view name = std::string_view(line).substr(0, tab), filter = std::string_view(line).substr(tab + 1);
    if (!IsCleanText(name) || !IsCleanText(filter)) return std::nullopt;
    options.Formats.SetInUse(name, filter, false);
  }
  return options;
}
