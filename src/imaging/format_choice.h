// Which picture formats of which plug-ins the user has withdrawn (the plug-in selection dialog),
// kept per plug-in file name and format filter, and the text of the settings file that keeps
// it between runs with the choice of where plug-ins run. Every format not named is in use.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/ini_text.h"

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

// What the settings file holds for the plug-ins, in its sections [UnusedFormats] and
// [Plugins]: the withdrawn formats, and whether plug-ins run inside Quiran instead of in their
// helper programs (for a plug-in that needs it, or to compare). Other sections are other
// parts' business.
struct TPluginOptions {
  TFormatChoice Formats;
  bool InProcess = false;

  // The two sections as a file's text (Shift-JIS, CR LF lines), and back. Parse answers
  // nothing for text that is not a settings file (damaged, cut short, another file's text) or
  // whose plug-in sections hold a line that cannot be theirs.
  std::string Text() const;
  static std::optional<TPluginOptions> Parse(std::string_view text);
  static std::optional<TPluginOptions> From(const TIniText& ini);
  // Puts the withdrawn formats into the settings, keeping every other line; settings without
  // the [Plugins] section get it with its default, so that the user finds the switch there.
  static void StoreFormats(TIniText& ini, const TFormatChoice& formats);

  friend bool operator==(const TPluginOptions&, const TPluginOptions&) = default;
};
