// libFuzzer target: Quiran's reader of the helper's answers. Any bytes are refused or read
// into a message within its limits, and what is read writes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "spihost/pe_machine.h"
#include "spihost/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  spihost::ReadPeMachine(data, size);
  if (size < spihost::kHeaderSize) return 0;
  std::uint8_t head[spihost::kHeaderSize];
  std::memcpy(head, data, sizeof head);
  std::optional<spihost::Header> h = spihost::ReadHeader(head);
  if (!h) return 0;
  // The body in an exact-size copy, so the sanitizer catches a read past it.
  std::vector<std::uint8_t> body(data + spihost::kHeaderSize, data + size);
  std::optional<spihost::Message> m = spihost::ReadAnswer(*h, body.data(), body.size());
  if (!m) return 0;
  if (m->InfoSize > spihost::kMaxInfoBlock || m->BitsSize > spihost::kMaxBitsBlock) std::abort();
  std::vector<std::uint8_t> again = spihost::Encode(*m);
  if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
  return 0;
}
