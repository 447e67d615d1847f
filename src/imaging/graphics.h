// Picture classes and the process-wide picture-format registry. Every picture can hand out
// its pixels as a 24-bit PixelBuffer, which is what thumbnails, the viewer and printing draw.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/streams.h"
#include "win/pixel_buffer.h"

class TGraphic;

// A picture class: its name and how to make an empty picture of it. Classes are compared by
// address, so each class has exactly one of these (its static member Class).
struct TGraphicClass {
  const char* Name;
  std::unique_ptr<TGraphic> (*Create)();
  const TGraphicClass* Parent;  // the class it derives from, or null
  bool InheritsFrom(const TGraphicClass* other) const;
};

enum class TProgressStage { psStarting, psRunning, psEnding };
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
// Progress of a long load: stage, percent done, whether to redraw now, the area concerned, a message.
using TProgressEvent =
    std::function<void(TGraphic& sender, TProgressStage stage, int percent, bool redrawNow, const TRect& r, const std::string& msg)>;

class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual const TGraphicClass& ClassType() const = 0;
  int Width() const { return Pixels().Width(); }
  int Height() const { return Pixels().Height(); }
  bool Empty() const { return Pixels().Empty(); }
  // Opens the file (others may read it, nobody may write it) and loads it with LoadFromStream.
  virtual void LoadFromFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream) = 0;
  // The picture as 24-bit rows, top row first.
  const PixelBuffer& Pixels() const { return pixels_; }
  // Hands the rows over, leaving the picture empty (saves copying a large picture).
  PixelBuffer TakePixels() { return std::move(pixels_); }
  // The picture's rows, decoded elsewhere.
  void SetPixels(PixelBuffer pixels) { pixels_ = std::move(pixels); }

  TProgressEvent OnProgress;

 protected:
  void Progress(TProgressStage stage, int percent, bool redrawNow, const TRect& r, const std::string& msg);
  PixelBuffer pixels_;
};

// The picture-format registry: (extension in lower case, description, class) in registration
// order. A lookup ignores ASCII case and answers with the latest registration.
struct TFileFormat {
  std::string Extension;
  std::string Description;
  const TGraphicClass* GraphicClass;
};
void RegisterFileFormat(std::string_view extension, std::string_view description, const TGraphicClass* graphicClass);
const TGraphicClass* FindFileFormat(std::string_view extension);
// The class that loads files with that extension: the latest registration, passing over WIC's
// formats the user withdrew (an earlier registration then answers). User-interface thread.
const TGraphicClass* PictureClassFor(std::string_view extension);
// Withdraws every registration of exactly that class.
void UnregisterGraphicClass(const TGraphicClass* graphicClass);
std::vector<TFileFormat> FileFormats();

// The plain bitmap: read with Quiran's own BMP reader.
class TBitmap : public TGraphic {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  // Reads a BMP file image from the stream's position to its end; fails with EInvalidGraphic
  // and then keeps the picture it had.
  void LoadFromStream(TStream& stream) override;
  void LoadFromBmp(const std::uint8_t* data, std::size_t size);
  int BitCount() const { return bitCount_; }
  // The colour table of the file read last (0x00BBGGRR), empty above 8 bits per pixel.
  const std::vector<std::uint32_t>& ColorTable() const { return colorTable_; }
  // An explicit palette given to the bitmap (0x00BBGGRR), empty when it has none.
  const std::vector<std::uint32_t>& Palette() const { return palette_; }
  void SetPalette(std::vector<std::uint32_t> colors) { palette_ = std::move(colors); }
  virtual void Assign(const TBitmap& source);

 private:
  int bitCount_ = 0;
  std::vector<std::uint32_t> colorTable_, palette_;
};

// An icon file (*.ico): its largest image drawn on white.
class TIcon : public TGraphic {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
};

// A metafile (*.emf, *.wmf): played on white at its own size.
class TMetafile : public TGraphic {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
};

// Holds one picture of any registered class.
class TPicture {
 public:
  // Picks the class by the file's extension (PictureClassFor); fails with
  // "拡張子 .%s の画像形式は処理できません" when none is registered. A picture no plug-in can
  // read goes to Windows' codecs when they read its format. On any failure the picture held
  // so far stays.
  void LoadFromFile(const std::string& fileName);
  // Holds a picture loaded elsewhere.
  void Assign(std::unique_ptr<TGraphic> graphic);
  TGraphic* Graphic() const { return graphic_.get(); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  // The held picture's pixels (an empty buffer when there is none).
  const PixelBuffer& Pixels() const;
  // Hands the held picture's rows over.
  PixelBuffer TakePixels() { return graphic_ ? graphic_->TakePixels() : PixelBuffer(); }

  std::function<void(TPicture&)> OnChange;
  TProgressEvent OnProgress;

 private:
  std::unique_ptr<TGraphic> graphic_;
};

// Any picture file into 24-bit pixels, through the registry: the one call thumbnails, the
// viewer and printing need.
PixelBuffer LoadPictureFile(const std::string& fileName);
