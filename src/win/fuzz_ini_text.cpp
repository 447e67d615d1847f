// The settings file's text: any bytes are refused or read, and what is read writes back to
// the same text it reads as.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "win/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<TIniText> ini = TIniText::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (ini && TIniText::Parse(ini->Text()) != ini) std::abort();
  return 0;
}
