#include "catalogue/picture_entry.h"

#include "imaging/jpeg_rows.h"
#include "win/error.h"

namespace {
// High enough that a thumbnail read from the cache and kept here loses nothing visible before
// it is written to the cache again.
constexpr int kQuality = 95;
}  // namespace

TThumbnail::TThumbnail(const PixelBuffer& pixels) {
  if (pixels.Width() != kWidth || pixels.Height() != kHeight) throw Exception("サムネイルの大きさが正しくありません");
  jpeg_ = CompressPixels(pixels, kQuality);
  jpeg_.shrink_to_fit();
}

PixelBuffer TThumbnail::Pixels() const { return DecompressPixels(jpeg_.data(), jpeg_.size()); }
