#include "catalogue/picture_entry.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "imaging/jpeg_rows.h"
#include "win/error.h"

namespace {
// High enough that a thumbnail read from the cache and kept here loses nothing visible before
// it is written to the cache again.
constexpr int kQuality = 95;

// The compressed thumbnails live in a heap of their own. A big folder's thousands of them, kept
// in the program's heap between the decoders' and compressors' passing buffers, made that heap
// give the passing buffers' pages back to the system and take them again for each thumbnail:
// a page fault every 4 KB, some 20 us each on a virtual machine, so reading a big folder's
// cache took several times as long as decoding it.
HANDLE ThumbnailHeap() {
  static const HANDLE heap = [] {
    HANDLE h = HeapCreate(0, 0, 0);
    return h ? h : GetProcessHeap();
  }();
  return heap;
}
}  // namespace

TThumbnail::TThumbnail(const PixelBuffer& pixels) {
  if (pixels.Width() != kWidth || pixels.Height() != kHeight) throw Exception("サムネイルの大きさが正しくありません");
  const std::vector<std::uint8_t> jpeg = CompressPixels(pixels, kQuality);
  jpeg_ = static_cast<std::uint8_t*>(HeapAlloc(ThumbnailHeap(), 0, jpeg.size()));
  if (!jpeg_) throw std::bad_alloc();
  std::memcpy(jpeg_, jpeg.data(), jpeg.size());
  size_ = jpeg.size();
}

TThumbnail::~TThumbnail() { HeapFree(ThumbnailHeap(), 0, jpeg_); }

PixelBuffer TThumbnail::Pixels() const { return DecompressPixels(jpeg_, size_); }
