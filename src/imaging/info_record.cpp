#include "imaging/info_record.h"

namespace {

std::uint64_t Le(const std::uint8_t* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = v << 8 | p[i];
  return v;
}

}  // namespace

TInfoRecordFields ReadInfoRecord(const std::uint8_t (&block)[kInfoRecordRoom]) {
  TInfoRecordFields f;
  f.Left = static_cast<std::int32_t>(Le(block, 4));
  f.Top = static_cast<std::int32_t>(Le(block + 4, 4));
  f.Width = static_cast<std::int32_t>(Le(block + 8, 4));
  f.Height = static_cast<std::int32_t>(Le(block + 12, 4));
  f.XDensity = static_cast<std::uint16_t>(Le(block + 16, 2));
  f.YDensity = static_cast<std::uint16_t>(Le(block + 18, 2));
  f.ColorDepth = static_cast<std::int16_t>(Le(block + 20, 2));
  return f;
}

std::vector<std::uint64_t> InfoHandleCandidates(const std::uint8_t (&block)[kInfoRecordRoom], std::size_t handleSize) {
  std::vector<std::uint64_t> out;
  const std::vector<std::size_t> offsets = handleSize == 8 ? std::vector<std::size_t>{24, 22} : std::vector<std::size_t>{22};
  for (std::size_t offset : offsets)
    if (std::uint64_t v = Le(block + offset, handleSize)) out.push_back(v);
  return out;
}
