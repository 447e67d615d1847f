// libFuzzer target: the catalogue reader must survive any bytes, and what it reads must write
// back to bytes that read again to the same entries.
#include <cstdint>

#include "catalogue/catalogue_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TCatalogue c = ParseCatalogue({data, size});
  std::vector<std::uint8_t> again = SerializeCatalogue(c);
  TCatalogue d = ParseCatalogue(again);
  if (d.size() != c.size()) __builtin_trap();
  for (std::size_t i = 0; i < c.size(); ++i)
    if (d[i].Name != c[i].Name || d[i].Entry.Comment != c[i].Entry.Comment ||
        d[i].Entry.TileIndex != c[i].Entry.TileIndex)
      __builtin_trap();
  return 0;
}
