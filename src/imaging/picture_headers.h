// What Quiran reads itself of icon and metafile files before it hands their bytes to the
// system to draw: which image of an icon to take, whether a metafile's records all lie within
// the file, and a metafile's size. The system's own readers trust the lengths inside these
// files, so every length is checked here against the bytes present, in 64-bit arithmetic.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// One image of an icon file: where its data lies, how many bytes the system will read for it,
// and its size in pixels. Needed is more than Size when the file lacks the image's
// transparency mask (sloppy writers leave it out): the data is then handed over padded.
struct IconImage {
  std::size_t Offset = 0, Size = 0, Needed = 0;
  int Width = 0, Height = 0;
};

// The largest image of an icon file (among equals the one with most colours) whose data lies
// within the file and holds at least its colours; nothing when there is none.
std::optional<IconImage> ChooseIconImage(std::span<const std::uint8_t> file);

enum class MetafileKind { Enhanced, Placeable, Windows };

struct MetafileData {
  MetafileKind Kind = MetafileKind::Enhanced;
  // The metafile itself, as the system takes it (after the 22-byte placeable header).
  std::size_t Offset = 0, Size = 0;
  // A placeable file's own size: pixels at 96 per inch and hundredths of a millimetre.
  int Width = 0, Height = 0;
  int FrameWidth = 0, FrameHeight = 0;
};

// Recognises an enhanced, placeable or plain Windows metafile whose header and records all
// lie within the bytes and end with the end-of-file record; nothing otherwise.
std::optional<MetafileData> ReadMetafile(std::span<const std::uint8_t> file);

// A picture size in pixels, 0 × 0 when there is none.
struct PixelExtent {
  int Width = 0, Height = 0;
};

// The drawn size of a metafile from its header's frame (left, top, right, bottom in hundredths
// of a millimetre, drawn at 96 pixels per inch) or, when that gives none, its bounds (pixels,
// right and bottom included). Any values, however extreme, give a size or 0 × 0.
PixelExtent MetafilePixelSize(const std::int32_t frame[4], const std::int32_t bounds[4]);
