// The plug-in settings file: any bytes are refused or read, and what is read writes back to
// text that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "imaging/format_choice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<TPluginOptions> options = TPluginOptions::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (options && TPluginOptions::Parse(options->Text()) != options) std::abort();
  return 0;
}
