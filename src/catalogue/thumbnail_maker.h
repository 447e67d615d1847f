// MakeThumbnail: a picture file fitted into the 144 x 108 thumbnail box on the button-face
// colour, its pixels point-sampled by Quiran itself (halftone on palette screens).
//
// JPEG and BMP pictures are decoded by Quiran's own code, which may run on any thread; a
// JPEG decodes only the rows the thumbnail samples. Every other format goes through the
// picture classes (plug-ins among them), which are called on the user-interface thread only.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/picture_entry.h"

enum class TThumbnailDecoder { Jpeg, Bmp, Picture };

// Which decoder the picture registry gives the file's extension (user-interface thread: the
// registry changes as plug-ins load). Picture also stands for extensions no one reads; making
// the thumbnail then fails with the registry's message.
TThumbnailDecoder ThumbnailDecoderFor(const std::string& path);

// The thumbnail's pixels before they are compressed, and the picture's size.
struct TThumbnailBox {
  PixelBuffer Box;
  std::int64_t Width = 0, Height = 0;
};
struct TThumbnailMade {
  TThumbnailPtr Thumbnail;
  std::int64_t Width = 0, Height = 0;
};

// Makes the thumbnail with the given decoder (Picture: user-interface thread only).
// colorDepth: the screen's bits per pixel; background: the box's colour (0x00BBGGRR). Gives up
// with EAbort when stop becomes true. Fails with the decoder's or the file's error, and with
// EInvalidGraphic for an empty picture.
TThumbnailBox MakeThumbnailBox(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                               std::uint32_t background, const std::atomic<bool>* stop = nullptr);
// The same, compressed as the list keeps it.
TThumbnailMade MakeThumbnailWith(TThumbnailDecoder decoder, const std::string& path, int colorDepth,
                                 std::uint32_t background, const std::atomic<bool>* stop = nullptr);

// The new entry for a picture file: its thumbnail on the system's button-face colour, its
// pixel size, no date, no comment. User-interface thread.
std::unique_ptr<TPictureEntry> MakeThumbnail(const std::string& path, int colorDepth);
