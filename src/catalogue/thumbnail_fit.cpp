#include "catalogue/thumbnail_fit.h"

#include <algorithm>

#include "catalogue/picture_entry.h"
#include "imaging/exif_orientation.h"
#include "win/error.h"

namespace {
constexpr int kBoxW = TThumbnail::kWidth, kBoxH = TThumbnail::kHeight;

PixelBuffer Box(std::uint32_t background) {
  PixelBuffer box(kBoxW, kBoxH);
  for (int y = 0; y < kBoxH; ++y)
    for (int x = 0; x < kBoxW; ++x) box.SetPixel(x, y, background);
  return box;
}
}  // namespace

TThumbFit FitThumbnail(std::int64_t gW, std::int64_t gH) {
  if (gW <= 0 || gH <= 0) throw EInvalidGraphic("画像が空です");
  TThumbFit f;
  // gW / 144 > gH / 108, compared exactly.
  if (gW * kBoxH > gH * kBoxW) {
    f.Width = kBoxW;
    f.Height = static_cast<int>(gH * kBoxW / gW);
    f.Top = (kBoxH - f.Height) / 2;
  } else {
    f.Height = kBoxH;
    f.Width = static_cast<int>(gW * kBoxH / gH);
    f.Left = (kBoxW - f.Width) / 2;
  }
  return f;
}

int SampleIndex(int i, int source, int target) {
  return static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * source / (2 * static_cast<std::int64_t>(target)));
}

TPointSampler::TPointSampler(int pictureWidth, int pictureHeight, std::uint32_t background, int orientation)
    : fit_(SwapsSides(orientation) ? FitThumbnail(pictureHeight, pictureWidth) : FitThumbnail(pictureWidth, pictureHeight)),
      orientation_(orientation),
      background_(background) {
  const bool swap = SwapsSides(orientation);
  samples_ = PixelBuffer(swap ? fit_.Height : fit_.Width, swap ? fit_.Width : fit_.Height);
  for (int y = 0; y < samples_.Height(); ++y) {
    int sy = SampleIndex(y, pictureHeight, samples_.Height());
    rowOf_.push_back(sy);
    if (sourceRows_.empty() || sourceRows_.back() != sy) sourceRows_.push_back(sy);
  }
  for (int x = 0; x < samples_.Width(); ++x) columnBytes_.push_back(SampleIndex(x, pictureWidth, samples_.Width()) * 3);
}

void TPointSampler::AddRow(int y, const std::uint8_t* row) {
  // Sample rows showing picture row y are consecutive: find the first, fill them all.
  int t = 0;
  const int rows = samples_.Height();
  while (t < rows && rowOf_[static_cast<std::size_t>(t)] < y) ++t;
  for (; t < rows && rowOf_[static_cast<std::size_t>(t)] == y; ++t) {
    std::uint8_t* out = samples_.Row(t);
    for (int bytes : columnBytes_) {
      out[0] = row[bytes], out[1] = row[bytes + 1], out[2] = row[bytes + 2];
      out += 3;
    }
  }
}

void TPointSampler::AddPicture(const PixelBuffer& picture) {
  for (int y : sourceRows_) AddRow(y, picture.Row(y));
}

PixelBuffer TPointSampler::Take() {
  PixelBuffer box = Box(background_);
  const PixelBuffer seen = OrientPixels(std::move(samples_), orientation_);
  for (int y = 0; y < seen.Height(); ++y)
    std::copy_n(seen.Row(y), seen.Width() * 3, box.Row(fit_.Top + y) + fit_.Left * 3);
  return box;
}

PixelBuffer HalftoneThumbnail(const PixelBuffer& picture, std::uint32_t background) {
  TThumbFit f = FitThumbnail(picture.Width(), picture.Height());
  PixelBuffer box = Box(background);
  auto span = [](int i, int source, int target) {  // [first, last) of the picture under target index i
    int a = static_cast<int>(static_cast<std::int64_t>(i) * source / target);
    int b = static_cast<int>((static_cast<std::int64_t>(i) + 1) * source / target);
    return std::pair<int, int>{a, b > a ? b : a + 1};
  };
  auto cube = [](std::uint64_t sum, std::uint64_t n) {  // the average, to the nearest of 0, 51, ... 255
    unsigned v = static_cast<unsigned>((sum + n / 2) / n);
    return static_cast<std::uint8_t>((v + 25) / 51 * 51);
  };
  for (int ty = 0; ty < f.Height; ++ty) {
    auto [y0, y1] = span(ty, picture.Height(), f.Height);
    std::uint8_t* out = box.Row(f.Top + ty) + f.Left * 3;
    for (int tx = 0; tx < f.Width; ++tx, out += 3) {
      auto [x0, x1] = span(tx, picture.Width(), f.Width);
      std::uint64_t s[3] = {0, 0, 0};
      for (int y = y0; y < y1; ++y) {
        const std::uint8_t* p = picture.Row(y) + x0 * 3;
        for (int x = x0; x < x1; ++x, p += 3) s[0] += p[0], s[1] += p[1], s[2] += p[2];
      }
      const std::uint64_t n = static_cast<std::uint64_t>(y1 - y0) * static_cast<std::uint64_t>(x1 - x0);
      for (int c = 0; c < 3; ++c) out[c] = cube(s[c], n);
    }
  }
  return box;
}
