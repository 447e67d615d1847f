// Which picture formats of which plug-ins the user has withdrawn (the plug-in selection dialog),
// kept per plug-in file name and format filter, and the text of the settings file that keeps
// it between runs with the choice of where plug-ins run. Every format not named is in use.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TFormatChoice {
 public:
  // The plug-in is named by its file name without the directory, compared without regard to
  // ASCII case; the format by its filter text ("*.tif;*.tiff"), compared exactly.
  bool InUse(std::string_view pluginName, std::string_view filter) const;
  void SetInUse(std::string_view pluginName, std::string_view filter, bool inUse);
  bool AllInUse() const { return unused_.empty(); }
  const std::vector<std::pair<std::string, std::string>>& Unused() const { return unused_; }

  friend bool operator==(const TFormatChoice&, const TFormatChoice&) = default;

 private:
  std::vector<std::pair<std::string, std::string>> unused_;  // (plug-in file name, filter), sorted
};

// What the settings file holds: the withdrawn formats, and whether plug-ins run inside
// Quiran instead of in their helper programs (for a plug-in that needs it, or to compare).
struct TPluginOptions {
  TFormatChoice Formats;
  bool InProcess = false;

  // The file's text (Shift-JIS, CR LF lines), and back. Parse answers nothing for text that
  // is not such a file (damaged, cut short, another file's text).
  std::string Text() const;
  static std::optional<TPluginOptions> Parse(std::string_view text);

  friend bool operator==(const TPluginOptions&, const TPluginOptions&) = default;
};
