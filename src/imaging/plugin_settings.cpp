#include "imaging/plugin_settings.h"

TFormatChoice TPluginSettings::Load() {
  inProcess_ = false;
  const std::optional<TIniText> ini = file_.Read();
  const std::optional<TPluginOptions> options = ini ? TPluginOptions::From(*ini) : std::nullopt;
  if (!options) return {};
  inProcess_ = options->InProcess;
  return options->Formats;
}

void TPluginSettings::Save(const TFormatChoice& choice) {
  file_.Update([&](TIniText& ini) { TPluginOptions::StoreFormats(ini, choice); });
}
