// The Exif orientation of any bytes: 1 to 8, read without a step outside them; the turn it
// names gives a picture of the expected size.
#include <cstdint>
#include <cstdlib>

#include "imaging/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int o = JpegExifOrientation(data, size);
  if (o < 1 || o > 8) std::abort();
  const PixelBuffer turned = OrientPixels(PixelBuffer(3, 2), o);
  if (turned.Width() != (SwapsSides(o) ? 2 : 3)) std::abort();
  return 0;
}
