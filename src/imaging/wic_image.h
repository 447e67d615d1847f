// Pictures through Windows Imaging Component (WIC), the picture decoders Windows itself
// offers: PNG, GIF, TIFF, ICO and JPEG XR everywhere, HEIC, WebP and others where their codecs
// are installed. WIC is reached through COM (ole32), so Quiran.exe imports no DLL for it.
//
// WIC reads the formats no plug-in claims: its formats are registered before the plug-ins
// are searched, so a plug-in that lists an extension takes it over, and a picture it cannot
// read is then offered to WIC. The user can withdraw WIC's formats in the plug-in selection
// dialog like a plug-in's; they are kept in the format choice under the name kWicName.
//
// Decoding works on any thread (each call sets up COM for itself when the thread has none).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/format_choice.h"
#include "imaging/graphics.h"
#include "imaging/rows_target.h"

// One picture format WIC decodes here.
struct TWicFormat {
  std::string Description;              // "WIC: " and the codec's name ("WIC: PNG Decoder")
  std::string Filter;                   // its extensions as a filter: "*.tif;*.tiff"
  std::vector<std::string> Extensions;  // lower case, without the "."
};

// The plug-in name of WIC's formats in the format choice: no plug-in file has it (their
// names end in ".spi" or ".sph").
constexpr const char* kWicName = "WIC";

// WIC's formats on this system, except those Quiran reads itself (BMP and JPEG); an extension
// two codecs claim belongs to the first. Read from Windows once, on first use; empty where
// WIC is missing.
const std::vector<TWicFormat>& WicFormats();
// The line of the plug-in dialogs for a format: "WIC: PNG Decoder (*.png)".
std::string WicFormatLine(const TWicFormat& format);
// Registers TWICImage for every extension of WIC's formats (once per process).
void RegisterWicFormats();

// Whether a format is in use in a choice; and the format in use that reads files with that
// extension (without its "."), or null: the choice is the current plug-in manager's (every
// format is in use while there is none). User-interface thread.
bool WicFormatInUse(const TWicFormat& format, const TFormatChoice& choice);
const TWicFormat* WicFormatFor(std::string_view extension);

// A picture through WIC: the first frame (of an icon, its largest image), transparent parts
// drawn on white. Fails with EInvalidGraphic: "認識できない画像形式です" for data no codec takes,
// a message with WIC's error code for a damaged picture.
PixelBuffer DecodeWic(const std::uint8_t* data, std::size_t size);
// The same from a file, which the codec reads as it needs it; EFOpenError when the file
// cannot be opened.
PixelBuffer DecodeWicFile(const std::string& path);
// The same into a target, a band of rows at a time as the codec gives them.
void DecodeWicRows(const std::string& path, TRowsTarget& target);
// The picture's size from the first bytes of a PNG or GIF file, for a window to be sized
// while the picture is decoded; nothing for other formats (their codecs may decode the whole
// picture before they tell its size) or a header out of range.
struct WicSize {
  int Width = 0, Height = 0;
};
std::optional<WicSize> WicHeaderSize(const std::uint8_t* data, std::size_t size);

class TWICImage : public TGraphic {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  // Lets the codec read the file itself.
  void LoadFromFile(const std::string& fileName) override;
  // Reads the picture from the stream's position to its end.
  void LoadFromStream(TStream& stream) override;
};
