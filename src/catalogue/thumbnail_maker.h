// MakeThumbnail: a picture file fitted into the 144 x 108 thumbnail box on the button-face
// colour, its pixels point-sampled by Quiran itself (halftone on palette screens).
//
// JPEG and BMP pictures are decoded by Quiran's own code and the formats of Windows' codecs
// by those, which may run on any thread; a JPEG decodes only the rows the thumbnail samples.
// Every other format goes through the picture classes (plug-ins among them), which are called
// on the user-interface thread only.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/picture_entry.h"

enum class TThumbnailDecoder { Jpeg, Bmp, Wic, Picture };

// Which decoder the picture registry gives the file's extension (user-interface thread: the
// registry changes as plug-ins load). Picture also stands for extensions no one reads; making
// the thumbnail then fails with the registry's message.
TThumbnailDecoder ThumbnailDecoderFor(const std::string& path);

// Where the time of making one thumbnail went, in seconds: noted only when asked for (the
// benchmarks), otherwise not even the clock is read.
struct TThumbnailTimes {
  double Read = 0;      // opening and reading the file
  double Decode = 0;    // decoding the rows the thumbnail shows, skipping the others
  double Sample = 0;    // picking the thumbnail's pixels from those rows
  double Compress = 0;  // compressing the thumbnail as the list keeps it
  double Wait = 0;      // folder loading: the user-interface thread waiting for a worker
  double Progress = 0;  // folder loading: showing progress and letting messages through
};
// Adds the time its scope lasts to a figure, when it is given one.
class TTimed {
 public:
  explicit TTimed(double* into);
  ~TTimed();
  TTimed(const TTimed&) = delete;
  TTimed& operator=(const TTimed&) = delete;

 private:
  double* into_;
  double start_;
};

// The thumbnail's pixels before they are compressed, and the picture's size.
struct TThumbnailBox {
  PixelBuffer Box;
  std::int64_t Width = 0, Height = 0;
};
struct TThumbnailMade {
  TThumbnailPtr Thumbnail;
  std::int64_t Width = 0, Height = 0;
  TThumbnailTimes Times;  // when asked for
};

// Makes the thumbnail with the given decoder (Picture: user-interface thread only).
// colorDepth: the screen's bits per pixel; background: the box's colour (0x00BBGGRR). Gives up
// with EAbort when stop becomes true. Fails with the decoder's or the file's error, and with
// EInvalidGraphic for an empty picture. times (when given) receives where the time went.
TThumbnailBox MakeThumbnailBox(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                               std::uint32_t background, const std::atomic<bool>* stop = nullptr,
                               TThumbnailTimes* times = nullptr);
// The same, compressed as the list keeps it; the times in the result when timed is true.
TThumbnailMade MakeThumbnailWith(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                                 std::uint32_t background, const std::atomic<bool>* stop = nullptr,
                                 bool timed = false);

// The new entry for a picture file: its thumbnail on the system's button-face colour, its
// pixel size, no date, no comment. User-interface thread.
std::unique_ptr<TPictureEntry> MakeThumbnail(const std::string& path, int colorDepth);
