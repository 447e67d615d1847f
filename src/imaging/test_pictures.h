// Pictures for tests: smooth colour with fine noise, which compresses like a photograph.
#pragma once
#include <cmath>
#include <cstdint>

#include "win/pixel_buffer.h"

namespace testpic {

inline PixelBuffer PhotoLike(int w, int h, std::uint32_t seed = 1) {
  PixelBuffer p(w, h);
  std::uint32_t r = seed * 2654435761u + 1;
  const double fx = 6.2832 / (w + 17), fy = 6.2832 / (h + 29);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = p.Row(y);
    for (int x = 0; x < w; ++x) {
      r = r * 1664525u + 1013904223u;
      const int noise = static_cast<int>(r >> 28) - 8;
      const double a = std::sin(x * fx * (1 + seed % 3) + y * fy), b = std::cos(y * fy * 2 - x * fx + seed);
      const int v[3] = {static_cast<int>(128 + 90 * a), static_cast<int>(128 + 80 * b),
                        static_cast<int>(128 + 60 * a * b + (x * 40) / (w + 1))};
      for (int c = 0; c < 3; ++c) {
        int q = v[c] + noise;
        row[x * 3 + c] = static_cast<std::uint8_t>(q < 0 ? 0 : q > 255 ? 255 : q);
      }
    }
  }
  return p;
}

}  // namespace testpic
