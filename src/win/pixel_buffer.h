// A 24-bit picture in memory: rows of blue, green, red bytes, top row first, each row padded
// to a multiple of 4 bytes, which is the layout StretchDIBits draws with a negative height.
// Thumbnails are kept this way rather than as GDI bitmaps, so a folder of thousands of
// pictures uses no GDI objects.
#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

class PixelBuffer {
 public:
  PixelBuffer() = default;
  PixelBuffer(int width, int height) { Resize(width, height); }

  void Resize(int width, int height) {
    Allocate(width, height);
    std::fill(pixels_.begin(), pixels_.end(), 0);
  }
  // Resize without clearing: for a buffer a decoder fills row by row. Its memory is taken
  // from the system only as rows are written (clearing 36 MB first would cost more than a
  // page fault per 4 KB before the first row is decoded); rows not written yet hold garbage.
  void Allocate(int width, int height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    pixels_ = Bytes();
    pixels_.resize(static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(height_));
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  int Stride() const { return StrideFor(width_); }
  static int StrideFor(int width) { return (width * 3 + 3) & ~3; }

  std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  std::uint8_t* Data() { return pixels_.data(); }
  const std::uint8_t* Data() const { return pixels_.data(); }
  std::size_t Size() const { return pixels_.size(); }

  // Colour at (x, y) as 0x00BBGGRR.
  std::uint32_t Pixel(int x, int y) const {
    const std::uint8_t* p = Row(y) + x * 3;
    return p[2] | p[1] << 8 | static_cast<std::uint32_t>(p[0]) << 16;
  }
  void SetPixel(int x, int y, std::uint32_t color) {
    std::uint8_t* p = Row(y) + x * 3;
    p[0] = static_cast<std::uint8_t>(color >> 16);
    p[1] = static_cast<std::uint8_t>(color >> 8);
    p[2] = static_cast<std::uint8_t>(color);
  }

 private:
  // Bytes left as they are when made (Allocate); Resize clears them itself.
  struct Uncleared : std::allocator<std::uint8_t> {
    template <class U>
    struct rebind {
      using other = std::conditional_t<std::is_same_v<U, std::uint8_t>, Uncleared, std::allocator<U>>;
    };
    Uncleared() = default;
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
      ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
  };
  using Bytes = std::vector<std::uint8_t, Uncleared>;
  int width_ = 0, height_ = 0;
  Bytes pixels_;
};
