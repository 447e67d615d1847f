// libFuzzer target: plug-in output (an info block and a pixel block, split by the first byte)
// goes through the BMP file assembly and the BMP reader with nothing read past either block.
#include <cstdint>
#include <vector>

#include "imaging/bmp_reader.h"
#include "imaging/dib_file.h"
#include "win/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t infoSize = data[0] * 2u;
  if (infoSize > size - 1) infoSize = size - 1;
  // Separate exact-size copies, so the sanitizer catches a read past either block.
  std::vector<std::uint8_t> info(data + 1, data + 1 + infoSize), bits(data + 1 + infoSize, data + size);
  try {
    DibFile d = BuildDibFile(info.data(), info.size(), bits.data(), bits.size());
    ReadBmp(d.Bmp.data(), d.Bmp.size());
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
