// libFuzzer target: the icon directory reader picks an image, if any, whose data lies within
// the file and holds at least its colours; it reads nothing outside the bytes.
#include <cstdint>
#include <vector>

#include "imaging/picture_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);  // exact size, so over-reads are caught
  if (std::optional<IconImage> image = ChooseIconImage(file)) {
    if (image->Offset > size || image->Size > size - image->Offset || image->Needed < image->Size ||
        image->Width <= 0 || image->Height <= 0)
      __builtin_trap();
  }
  return 0;
}
