// Which kind of code a library file holds, read from its PE header: Quiran hands a 32-bit
// plug-in to the 32-bit helper and a 64-bit one to the 64-bit helper, whatever its name.
#pragma once
#include <cstddef>
#include <cstdint>

namespace spihost {

enum class PeMachine { Unknown, I386, Amd64 };

// How many of the file's first bytes the header is looked for in.
constexpr std::size_t kPeProbeSize = 4096;

// The machine named by the PE header in the file's first bytes; Unknown for anything else
// (not a PE file, cut short, another machine).
PeMachine ReadPeMachine(const std::uint8_t* bytes, std::size_t size);

}  // namespace spihost
