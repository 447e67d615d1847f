// What the thumbnail list holds for a folder's picture files: one TFileItem per file, in list
// order; a file's date, comment, pixel size and thumbnail in its TPictureEntry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "win/pixel_buffer.h"

// A picture fitted into 144 x 108 pixels. A folder may hold 15,000 pictures, and as plain
// pixels their thumbnails would take 700 MB; so each is kept compressed (a small JPEG of some
// 6 to 10 KB) and decoded each time it is drawn (a tenth of a millisecond). It holds no GDI
// object. Immutable once made, so it is shared freely (the list, a viewer's menu glyph, print).
class TThumbnail {
 public:
  static constexpr int kWidth = 144, kHeight = 108;

  // Compresses 144 x 108 pixels; Exception for another size.
  explicit TThumbnail(const PixelBuffer& pixels);
  ~TThumbnail();
  TThumbnail(const TThumbnail&) = delete;
  TThumbnail& operator=(const TThumbnail&) = delete;
  // The pixels, decoded afresh: 144 x 108, PixelBuffer's layout (which StretchDIBits draws
  // with a negative height).
  PixelBuffer Pixels() const;
  std::size_t CompressedSize() const { return size_; }

 private:
  std::uint8_t* jpeg_ = nullptr;  // in the thumbnails' own heap (see thumbnail.cpp)
  std::size_t size_ = 0;
};
using TThumbnailPtr = std::shared_ptr<const TThumbnail>;

struct TPictureEntry {
  TThumbnailPtr Thumbnail;        // null: not made yet
  std::uint16_t PixelWidth = 0;   // the picture's size in pixels (low 16 bits)
  std::uint16_t PixelHeight = 0;
  double Date = 0;                // days since 1899-12-30 00:00, the fraction the time; 0: none
  std::string Comment;            // Shift-JIS, at most 255 bytes, may hold CR LF
};

// One item of the thumbnail list: a picture file of the shown folder.
struct TFileItem {
  std::string Name;      // upper-cased: what the list shows, the catalogue stores and matches
  std::string DiskName;  // as the folder listing gave it: what the file is opened by
  std::unique_ptr<TPictureEntry> Entry;  // null: the file has none yet (only its name is shown)
  // What the shown folder keeps to write back only what changed:
  int Occurrence = 0;          // among files whose names read alike, its place by name on disk
  double ReadDate = 0;         // the date and comment as the catalogue had them when read
  std::string ReadComment = {};  // (or when last written)
  bool ThumbnailMade = false;  // made while the folder is shown, and not stored yet
};
using TFileItems = std::vector<TFileItem>;

// The path of a file of a folder: the folder with a "\" added unless it ends in one.
std::string FolderFilePath(const std::string& folder, const std::string& name);
