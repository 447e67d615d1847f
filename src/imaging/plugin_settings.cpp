#include "imaging/plugin_settings.h"

#include "win/error.h"
#include "win/file_io.h"

TFormatChoice TPluginSettings::Load() {
  keepAside_ = false;
  inProcess_ = false;
  if (!win::FileExists(path_)) return {};
  std::optional<TPluginOptions> options;
  try {
    std::vector<std::uint8_t> bytes = win::ReadFileBytes(path_);
    options = TPluginOptions::Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const EFOpenError&) {
  }
  keepAside_ = !options;
  if (!options) return {};
  inProcess_ = options->InProcess;
  return options->Formats;
}

void TPluginSettings::Save(const TFormatChoice& choice) {
  const std::string text = TPluginOptions{choice, inProcess_}.Text();
  win::WriteFileReplacing(path_, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                          keepAside_ ? path_ + ".bak" : std::string());
  keepAside_ = false;
}
