#include "imaging/dib_file.h"

#include <cstring>

#include "win/error.h"

namespace {

[[noreturn]] void Bad() { throw EInvalidGraphic("プラグインの出力した画像が正しくありません"); }

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

DibFileLayout LayOutDibFile(const std::uint8_t* info, std::size_t infoSize, std::size_t bitsSize, bool bitsPresent) {
  if (!info || infoSize < 40) Bad();
  const std::uint32_t biSize = U32(info);
  const std::int64_t width = static_cast<std::int32_t>(U32(info + 4));
  const std::int64_t height = static_cast<std::int32_t>(U32(info + 8));
  const int bitCount = info[14] | info[15] << 8;
  const std::uint32_t compression = U32(info + 16);
  const std::uint32_t clrUsed = U32(info + 32);

  // Image size = ((width × bits + 31) div 32) × 4 × |height|, which must be a positive 32-bit
  // value (a sum that would overflow is refused rather than wrapped).
  const std::int64_t stride = (width * bitCount + 31) / 32 * 4;
  if (stride < 0 || stride > INT32_MAX) Bad();
  const std::int64_t imageSize = stride * (height < 0 ? -height : height);
  if (imageSize > INT32_MAX) Bad();

  std::int64_t colors = clrUsed;
  if (colors == 0) colors = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;

  // Where the colour table starts in the plug-in's block, and what precedes it in ours.
  std::size_t tableAt = 40, masks = 0;
  if (biSize == 52 || biSize == 56 || biSize == 108 || biSize == 124) {
    tableAt = biSize;
  } else if (compression == 3) {
    masks = 12;  // BI_BITFIELDS after a 40-byte header: three masks come first
  }
  const std::int64_t tableBytes = 4 * colors;
  if (tableBytes > INT32_MAX || static_cast<std::int64_t>(tableAt + masks) + tableBytes > static_cast<std::int64_t>(infoSize))
    Bad();
  if (imageSize > static_cast<std::int64_t>(bitsSize) || (imageSize > 0 && !bitsPresent)) Bad();
  return {14 + tableAt + masks + static_cast<std::size_t>(tableBytes), static_cast<std::size_t>(imageSize), tableAt + masks,
          static_cast<std::size_t>(colors)};
}

void WriteDibFile(const DibFileLayout& layout, const std::uint8_t* info, const std::uint8_t* bits, std::uint8_t* head,
                  std::uint8_t* rows) {
  head[0] = 'B', head[1] = 'M';
  Put32(head + 2, static_cast<std::uint32_t>(layout.HeadSize + layout.ImageSize));
  Put32(head + 6, 0);
  Put32(head + 10, static_cast<std::uint32_t>(layout.HeadSize));
  std::memcpy(head + 14, info, layout.HeadSize - 14);
  if (layout.ImageSize) std::memcpy(rows, bits, layout.ImageSize);
}

DibFile BuildDibFile(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits, std::size_t bitsSize) {
  const DibFileLayout layout = LayOutDibFile(info, infoSize, bitsSize, bits != nullptr);
  DibFile out;
  out.Bmp.resize(layout.HeadSize + layout.ImageSize);
  WriteDibFile(layout, info, bits, out.Bmp.data(), out.Bmp.data() + layout.HeadSize);
  if ((info[14] | info[15] << 8) == 4) {
    const std::uint8_t* t = info + layout.TableAt;
    for (std::size_t i = 0; i < layout.Colors; ++i, t += 4)
      out.Palette4.push_back(t[2] | t[1] << 8 | static_cast<std::uint32_t>(t[0]) << 16);
  }
  return out;
}
