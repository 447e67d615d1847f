// libFuzzer target: the metafile reader accepts only files whose records lie within the
// bytes, and the size arithmetic takes any header values without overflow.
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);  // exact size, so over-reads are caught
  if (std::optional<MetafileData> m = ReadMetafile(file)) {
    if (m->Offset > size || m->Size > size - m->Offset || m->Size == 0) __builtin_trap();
  }
  if (size >= 32) {
    std::int32_t frame[4], bounds[4];
    std::memcpy(frame, data, 16);
    std::memcpy(bounds, data + 16, 16);
    PixelExtent e = MetafilePixelSize(frame, bounds);
    if (e.Width < 0 || e.Height < 0 || (e.Width == 0) != (e.Height == 0)) __builtin_trap();
  }
  return 0;
}
