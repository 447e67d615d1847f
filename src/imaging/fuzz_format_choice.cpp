// The plug-in settings file: any bytes are refused or read, and what is read writes back to
// text that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "imaging/format_choice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<TFormatChoice> choice = TFormatChoice::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (choice && TFormatChoice::Parse(choice->Text()) != choice) std::abort();
  return 0;
}
