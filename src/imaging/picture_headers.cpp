#include "imaging/picture_headers.h"

#include <algorithm>
#include <climits>

namespace {

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }
std::int16_t I16(const std::uint8_t* p) { return static_cast<std::int16_t>(U16(p)); }

// a × b / c rounded half away from zero, as the system's MulDiv; c > 0.
std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c) {
  std::int64_t p = a * b;
  return (p < 0 ? p - c / 2 : p + c / 2) / c;
}

bool FitsInt(std::int64_t v) { return v > 0 && v <= INT_MAX; }

struct IconBytes {
  std::uint64_t Colours = 0, Whole = 0;  // through the colour rows; with the mask rows too
};

// What an icon image's bitmap needs after its header says what it holds; nothing when the
// header is not one an icon may carry.
std::optional<IconBytes> IconBitmapBytes(const std::uint8_t* p, std::uint64_t available) {
  if (available < 40) return std::nullopt;
  const std::uint32_t headerSize = U32(p);
  const std::int32_t width = I32(p + 4), height = I32(p + 8);
  const std::uint16_t bits = U16(p + 14);
  const std::uint32_t compression = U32(p + 16), used = U32(p + 32);
  if (headerSize < 40 || width <= 0 || height <= 0 || width > 4096 || height > 8192) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
  if (compression != 0 && compression != 3) return std::nullopt;  // BI_RGB, BI_BITFIELDS
  std::uint64_t colors = used ? used : (bits <= 8 ? 1u << bits : 0);
  if (bits <= 8 && colors > (1u << bits)) return std::nullopt;
  const std::uint64_t rows = static_cast<std::uint64_t>(height) / 2;  // colour rows, then mask rows
  const std::uint64_t colourStride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t maskStride = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  IconBytes b;
  b.Colours = headerSize + (compression == 3 ? 12 : 0) + colors * 4 + colourStride * rows;
  b.Whole = b.Colours + maskStride * rows;
  return b;
}

// The bytes the system reads for an image of `size` bytes, 0 when it is not usable.
std::uint64_t IconDataNeeded(const std::uint8_t* p, std::uint64_t size) {
  static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::equal(png, png + 8, p)) return size;  // the system reads PNG images itself
  std::optional<IconBytes> b = IconBitmapBytes(p, size);
  if (!b || b->Colours > size) return 0;
  return b->Whole > size ? b->Whole : size;
}

// The records of an enhanced metafile from its header on: each at least 8 bytes, a whole
// number of 4-byte words, inside the stated size, up to the end-of-file record.
bool EnhancedRecordsFit(std::span<const std::uint8_t> data) {
  constexpr std::uint32_t kEof = 14;
  std::uint64_t pos = 0;
  while (pos + 8 <= data.size()) {
    const std::uint32_t type = U32(&data[pos]), size = U32(&data[pos + 4]);
    if (size < 8 || size % 4 || size > data.size() - pos) return false;
    if (type == kEof) return true;
    pos += size;
  }
  return false;
}

// The records of a Windows metafile after its 18-byte header: each at least 3 words, inside
// the bytes, up to the end-of-file record. Returns the bytes through that record, or 0.
std::uint64_t WindowsRecordsEnd(std::span<const std::uint8_t> data) {
  std::uint64_t pos = 18;
  while (pos + 6 <= data.size()) {
    const std::uint64_t size = std::uint64_t(U32(&data[pos])) * 2;
    const std::uint16_t function = U16(&data[pos + 4]);
    if (size < 6 || size > data.size() - pos) return 0;
    pos += size;
    if (function == 0) return pos;
  }
  return 0;
}

bool IsWindowsHeader(std::span<const std::uint8_t> data) {
  return data.size() >= 18 && (U16(&data[0]) == 1 || U16(&data[0]) == 2) && U16(&data[2]) == 9;
}

}  // namespace

std::optional<IconImage> ChooseIconImage(std::span<const std::uint8_t> file) {
  if (file.size() < 6 || U16(&file[0]) != 0 || U16(&file[2]) != 1) return std::nullopt;
  const std::size_t count = U16(&file[4]);
  if (count == 0 || file.size() < 6 + 16 * count) return std::nullopt;
  std::optional<IconImage> best;
  int bestArea = -1, bestBits = -1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &file[6 + 16 * i];
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = U16(e + 6);
    const std::uint32_t bytes = U32(e + 8), offset = U32(e + 12);
    if (offset > file.size() || bytes > file.size() - offset) continue;
    const std::uint64_t needed = IconDataNeeded(file.data() + offset, bytes);
    if (!needed) continue;
    if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
      best = IconImage{offset, bytes, static_cast<std::size_t>(needed), w, h};
      bestArea = w * h;
      bestBits = bits;
    }
  }
  return best;
}

std::optional<MetafileData> ReadMetafile(std::span<const std::uint8_t> file) {
  MetafileData m;
  if (file.size() >= 88 && U32(&file[0]) == 1 && U32(&file[40]) == 0x464D4520) {  // EMR_HEADER, " EMF"
    const std::uint32_t headerSize = U32(&file[4]), stated = U32(&file[48]);
    if (headerSize < 88 || stated < headerSize || stated > file.size()) return std::nullopt;
    if (!EnhancedRecordsFit(file.first(stated))) return std::nullopt;
    m.Kind = MetafileKind::Enhanced;
    m.Size = stated;
    return m;
  }
  if (file.size() >= 22 && U32(&file[0]) == 0x9AC6CDD7) {  // the placeable header's key
    const std::int64_t left = I16(&file[6]), top = I16(&file[8]), right = I16(&file[10]), bottom = I16(&file[12]);
    const std::int64_t inch = U16(&file[14]);
    std::span<const std::uint8_t> rest = file.subspan(22);
    if (inch == 0 || right <= left || bottom <= top || !IsWindowsHeader(rest)) return std::nullopt;
    const std::uint64_t end = WindowsRecordsEnd(rest);
    if (!end) return std::nullopt;
    m.Kind = MetafileKind::Placeable;
    m.Offset = 22;
    m.Size = end;
    m.Width = static_cast<int>(MulDiv64(right - left, 96, inch));
    m.Height = static_cast<int>(MulDiv64(bottom - top, 96, inch));
    m.FrameWidth = static_cast<int>(MulDiv64(right - left, 2540, inch));
    m.FrameHeight = static_cast<int>(MulDiv64(bottom - top, 2540, inch));
    return m;
  }
  if (IsWindowsHeader(file)) {
    const std::uint64_t end = WindowsRecordsEnd(file);
    if (!end) return std::nullopt;
    m.Kind = MetafileKind::Windows;
    m.Size = end;
    return m;
  }
  return std::nullopt;
}

PixelExtent MetafilePixelSize(const std::int32_t frame[4], const std::int32_t bounds[4]) {
  std::int64_t w = MulDiv64(std::int64_t(frame[2]) - frame[0], 96, 2540);
  std::int64_t h = MulDiv64(std::int64_t(frame[3]) - frame[1], 96, 2540);
  if (w <= 0 || h <= 0) {
    w = std::int64_t(bounds[2]) - bounds[0] + 1;
    h = std::int64_t(bounds[3]) - bounds[1] + 1;
  }
  if (!FitsInt(w) || !FitsInt(h)) return {};
  return {static_cast<int>(w), static_cast<int>(h)};
}
