// libFuzzer target: the BMP reader must turn any bytes into a picture or an EInvalidGraphic.
#include <cstdint>

#include "imaging/bmp_reader.h"
#include "win/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    BmpImage img = ReadBmp(data, size);
    if (img.Pixels.Width() <= 0 || img.Pixels.Height() <= 0) __builtin_trap();
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
