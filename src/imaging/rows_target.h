// Where a decoder puts a picture that is read while it is decoded: the viewer paints the top
// rows of a large photograph while the worker thread decodes the rest.
#pragma once
#include "win/pixel_buffer.h"

class TRowsTarget {
 public:
  virtual ~TRowsTarget() = default;
  // The buffer the rows go into. The decoder sizes it (PixelBuffer::Allocate) and then writes
  // its rows top first; it touches a row no more once it has reported it done.
  virtual PixelBuffer& Pixels() = 0;
  // Rows [0, count) of the buffer are final. False when the picture is no longer wanted: the
  // decoder then stops and returns at once. It must not throw.
  virtual bool RowsDone(int count) noexcept = 0;
};

// A target that only holds the buffer, for a decode nobody watches.
class TWholePicture : public TRowsTarget {
 public:
  PixelBuffer& Pixels() override { return pixels_; }
  bool RowsDone(int) noexcept override { return true; }

 private:
  PixelBuffer pixels_;
};
