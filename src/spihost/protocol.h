// The conversation between Quiran and its plug-in helper (QuiranSpiHost.exe): requests go
// through a pipe one at a time and each gets its answer; the file's bytes and the decoded
// picture travel through memory both processes map, never through the pipe.
//
// A message is an 8-byte header (type, body size, both 32-bit little-endian) and its body:
// 32- and 64-bit little-endian integers and texts (a 32-bit byte count, then the bytes).
// Each side reads what the other sent as it would read a file: every count, size and text
// length is checked against the room it may take before anything is used, and a message
// that does not parse exactly is refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spihost {

constexpr std::uint32_t kMagic = 0x48505351;  // "QSPH"
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeaderSize = 8;
constexpr std::uint32_t kMaxBody = 1u << 20;
// Limits of what an answer may carry.
constexpr std::size_t kMaxPath = 32767;
constexpr std::size_t kMaxInfoText = 65535;          // the text a plug-in gives with GetPictureInfo
constexpr std::uint64_t kMaxInfoBlock = 1u << 20;     // the BMP file image's head: headers and colour table
constexpr std::uint64_t kMaxBitsBlock = 0x7FFFFFFF;   // its pixel rows (a BMP image holds no more)
constexpr std::uint64_t kBmpHeadMin = 14 + 40;        // the head of a BMP file image holds at least this
constexpr std::uint32_t kEntryBits = 9;               // the plug-in functions looked up
// The data a plug-in is given is at least this long (short data is zero-padded).
constexpr std::uint64_t kPaddedSize = 2048;
// A fault code the helper reports when a plug-in damaged the helper's heap and returned.
constexpr std::uint32_t kHeapDamaged = 0xC0000374;

enum class Msg : std::uint32_t {
  // Quiran to the helper.
  Hello = 1,        // magic, version
  Map,              // section handle (valid in the helper), section size
  Load,             // library path
  Unload,           // plug-in id
  PluginInfo,       // id, info number, buffer length
  IsSupported,      // id, file name, data offset
  // The data is in the shared block; or, when a file is named, the plug-in reads that file
  // from the file offset (the shared block then holds only its first bytes).
  GetPictureInfo,   // id, data offset, data length, file, file offset
  GetPicture,       // id, data offset, data length, whether progress is listened to, file, file offset
  // The picture goes into the shared block as a BMP file image: its head (file header,
  // information header, colour table) at the first offset, its rows at the second.
  Fetch,            // whether to take the picture, head offset, rows offset
  ProgressAnswer,   // the answer for the plug-in's progress callback
  // The helper to Quiran.
  HelloAnswer = 101,  // magic, version, pointer bits, process id
  Done,               // the request was carried out
  Loaded,             // id, found entry points (bit n = function n), module file name
  LoadFailed,         // the library could not be loaded
  PluginInfoAnswer,   // the plug-in's answer, its text
  Result,             // the plug-in's answer
  PictureInfoAnswer,  // the answer, the record's fields, its text
  PictureAnswer,      // the answer, whether the output is usable, head size, rows size
  Progress,           // done, total, whether an answer is awaited
  Fault,              // exception code: the plug-in faulted; the helper ends itself
};

// One message, as either side reads it. Which fields mean something depends on the type.
struct Message {
  Message() = default;
  explicit Message(Msg type) : Type(type) {}
  Msg Type{};
  std::uint32_t Id = 0;      // plug-in id
  std::int32_t Value = 0;    // a plug-in's answer; info number; progress done
  std::int32_t Total = 0;    // progress total; buffer length
  std::uint32_t Flag = 0;    // listened / awaited / usable / take
  std::uint32_t Entries = 0;
  std::uint32_t Magic = 0, Version = 0, PointerBits = 0, ProcessId = 0, Code = 0;
  std::uint64_t Handle = 0, Size = 0, Offset = 0, Length = 0, FileOffset = 0;
  std::uint64_t InfoOffset = 0, BitsOffset = 0, InfoSize = 0, BitsSize = 0;
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint16_t XDensity = 0, YDensity = 0;
  std::int16_t ColorDepth = 0;
  std::string Text;  // path, file name, plug-in text, the file a plug-in reads itself
};

// The message's bytes, header included.
std::vector<std::uint8_t> Encode(const Message& m);

// The header: type and body size; nothing when the size exceeds kMaxBody.
struct Header {
  std::uint32_t Type;
  std::uint32_t BodySize;
};
std::optional<Header> ReadHeader(const std::uint8_t (&bytes)[kHeaderSize]);

// Quiran's reader of what the helper sends: an answer of a known type whose body parses
// exactly and whose values are within their limits; nothing otherwise.
std::optional<Message> ReadAnswer(const Header& h, const std::uint8_t* body, std::size_t size);
// The helper's reader of Quiran's requests, with the same care.
std::optional<Message> ReadRequest(const Header& h, const std::uint8_t* body, std::size_t size);

// True when [offset, offset + length) lies within a block of the given size.
constexpr bool Within(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace spihost
