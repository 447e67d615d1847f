// The picture-information record a plug-in's GetPictureInfo writes, read from the bytes it left
// in a block that was zeroed before the call. 32-bit plug-ins write 26 bytes, packed, with the
// text handle at offset 22. 64-bit plug-ins exist in two layouts: packed (30 bytes, handle at
// 22) and the published one with 2 bytes of padding (32 bytes, handle at 24). The fields before
// the handle are the same in all three.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Room enough for any of the layouts, with a margin for plug-ins that write past them.
constexpr std::size_t kInfoRecordRoom = 64;

struct TInfoRecordFields {
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint16_t XDensity = 0, YDensity = 0;
  std::int16_t ColorDepth = 0;
};
TInfoRecordFields ReadInfoRecord(const std::uint8_t (&block)[kInfoRecordRoom]);

// The values the text handle may be, most likely layout first, nonzero ones only: for 4-byte
// handles the one at 22; for 8-byte handles the one at 24, then the one at 22. Which of them
// (if any) is the plug-in's handle only the system can tell: the caller takes the first that
// is a live local-memory handle.
std::vector<std::uint64_t> InfoHandleCandidates(const std::uint8_t (&block)[kInfoRecordRoom], std::size_t handleSize);
