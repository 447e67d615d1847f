#include "spihost/pe_machine.h"

namespace spihost {

namespace {

std::uint32_t Le(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = n; i-- > 0;) v = v << 8 | p[i];
  return v;
}

}  // namespace

PeMachine ReadPeMachine(const std::uint8_t* bytes, std::size_t size) {
  // "MZ", the PE header's offset at 0x3C, there "PE\0\0" and the 16-bit machine.
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return PeMachine::Unknown;
  const std::uint32_t pe = Le(bytes + 0x3C, 4);
  if (pe > size || size - pe < 6 || Le(bytes + pe, 4) != 0x00004550) return PeMachine::Unknown;
  switch (Le(bytes + pe + 4, 2)) {
    case 0x014C:
      return PeMachine::I386;
    case 0x8664:
      return PeMachine::Amd64;
    default:
      return PeMachine::Unknown;
  }
}

}  // namespace spihost
