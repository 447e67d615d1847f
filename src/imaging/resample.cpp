#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// For each target position along one axis, the source positions it takes and their weights
// (fixed point, summing to 1 << 14).
struct Taps {
  std::vector<int> first, count;
  std::vector<std::int32_t> weights;  // count[i] entries for target i, one after another
  std::vector<std::size_t> offset;
};

constexpr int kOne = 1 << 14;

Taps MakeTaps(int from, int to) {
  Taps t;
  t.first.resize(static_cast<std::size_t>(to));
  t.count.resize(static_cast<std::size_t>(to));
  t.offset.resize(static_cast<std::size_t>(to));
  const double scale = static_cast<double>(from) / to;  // source pixels per target pixel
  std::vector<double> w;
  for (int i = 0; i < to; ++i) {
    w.clear();
    int first = 0;
    if (scale >= 1) {
      // Reducing: the exact overlap of the target pixel's span with each source pixel.
      const double a = i * scale, b = a + scale;
      first = static_cast<int>(a);
      const int last = std::min(from - 1, static_cast<int>(std::ceil(b)) - 1);
      for (int s = first; s <= last; ++s) w.push_back(std::min<double>(b, s + 1) - std::max<double>(a, s));
    } else {
      // Enlarging: linear between the two source pixels around the target pixel's centre.
      const double c = (i + 0.5) * scale - 0.5;
      first = std::clamp(static_cast<int>(std::floor(c)), 0, from - 1);
      const double f = std::clamp(c - first, 0.0, 1.0);
      w.push_back(1 - f);
      if (first + 1 < from) w.push_back(f);
    }
    double sum = 0;
    for (double v : w) sum += v;
    t.first[static_cast<std::size_t>(i)] = first;
    t.count[static_cast<std::size_t>(i)] = static_cast<int>(w.size());
    t.offset[static_cast<std::size_t>(i)] = t.weights.size();
    // Rounded weights, the rounding remainder given to the largest, so they sum to exactly one.
    std::int32_t total = 0;
    std::size_t largest = t.weights.size();
    for (double v : w) {
      const auto q = static_cast<std::int32_t>(std::lround(v / sum * kOne));
      if (largest == t.weights.size() || q > t.weights[largest]) largest = t.weights.size();
      t.weights.push_back(q);
      total += q;
    }
    t.weights[largest] += kOne - total;
  }
  return t;
}

}  // namespace

PixelBuffer ResamplePixels(const PixelBuffer& source, int width, int height) {
  if (source.Empty() || width <= 0 || height <= 0) return {};
  const Taps across = MakeTaps(source.Width(), width), down = MakeTaps(source.Height(), height);
  // Across first, into rows of 32-bit sums, then down: each source row is read once.
  std::vector<std::int32_t> rows(static_cast<std::size_t>(source.Height()) * static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.Row(y);
    std::int32_t* out = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      const std::size_t xi = static_cast<std::size_t>(x);
      const std::int32_t* wt = across.weights.data() + across.offset[xi];
      const std::uint8_t* p = in + across.first[xi] * 3;
      std::int32_t b = 0, g = 0, r = 0;
      for (int k = 0; k < across.count[xi]; ++k, p += 3) {
        b += p[0] * wt[k];
        g += p[1] * wt[k];
        r += p[2] * wt[k];
      }
      out[xi * 3] = b, out[xi * 3 + 1] = g, out[xi * 3 + 2] = r;
    }
  }
  PixelBuffer result(width, height);
  std::vector<std::int64_t> sum(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    const std::size_t yi = static_cast<std::size_t>(y);
    std::fill(sum.begin(), sum.end(), 0);
    const std::int32_t* wt = down.weights.data() + down.offset[yi];
    for (int k = 0; k < down.count[yi]; ++k) {
      const std::int32_t* row =
          rows.data() + static_cast<std::size_t>(down.first[yi] + k) * static_cast<std::size_t>(width) * 3;
      for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += static_cast<std::int64_t>(row[i]) * wt[k];
    }
    std::uint8_t* out = result.Row(y);
    constexpr std::int64_t half = static_cast<std::int64_t>(kOne) * kOne / 2;
    for (std::size_t i = 0; i < sum.size(); ++i)
      out[i] = static_cast<std::uint8_t>(std::clamp<std::int64_t>((sum[i] + half) / kOne / kOne, 0, 255));
  }
  return result;
}
