// The plug-in bitmap: a bitmap that decodes any data through the image-input plug-ins and
// falls back on the plain BMP reader; the loader that holds the plug-in logic; the picture-file
// test of the folder scan; and the start-up and exit steps of picture decoding.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "imaging/graphics.h"
#include "imaging/spi.h"

// The picture information a plug-in gave, handed to the pixel-data converter.
struct TPictureInfoRec {
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint16_t XDensity = 0, YDensity = 0;
  std::int16_t ColorDepth = 0;
  std::string Info;
  bool Valid = false;
};

// Does the loading for its owner, independent of the owner's class: the owner hands it its
// native extension, native readers, pixel-data converter and progress notification.
class TInSPIAble {
 public:
  explicit TInSPIAble(TGraphic& owner) : Owner(owner) {}

  TGraphic& Owner;
  std::string Ext;       // extension with its "." while a named load runs
  std::string FileName;  // the name while a named load runs
  std::string NativeExt;
  std::function<void(const std::string& fileName)> NativeLoadFromFile;
  std::function<void(TMemoryStream& stream)> NativeLoadFromStream;
  // Plug-in output to the owner's picture: the plug-in's blocks (their sizes bound what may be
  // read from them), or the BMP file image a helper made of them.
  std::function<void(const SpiPicture& picture, const TPictureInfoRec& info, bool& success)> OnLoadDIB;
  TInSPI* SPI = nullptr;
  std::function<void(TProgressStage stage, int percent, bool redrawNow, const TRect& r, const std::string& msg)> ProgressProc;
  bool SkipHeader = true;

  void LoadFromFile(const std::string& fileName);
  void LoadFromStreamWithName(TStream& stream, const std::string& fileName);
  void LoadFromStream(TStream& stream);

  // The data of one load: a block in memory, or a large file loaded by its name, which plug-ins
  // that read files read themselves (the interface's file mode) and which is read into memory
  // only when something needs it there.
  class TLoadData {
   public:
    // A memory stream is used as it is; any other stream is read whole, unless path names the
    // file it reads (a full path), which plug-ins may then read.
    TLoadData(TStream& stream, std::string path);
    std::uint64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }
    TMemoryStream& Memory();
    // The 2048 bytes from offset (zero past the end).
    const std::uint8_t* Head(std::uint64_t offset);

   private:
    TStream& stream_;
    TMemoryStream* memory_ = nullptr;
    TMemoryStream copy_;
    std::string path_;
    std::uint64_t size_ = 0;
    std::uint8_t head_[2048] = {};
  };

  bool LoadNative(TLoadData& data);
  bool LoadBySPIs(TLoadData& data);
  bool LoadBySPI(TInSPI& plugin, TLoadData& data);
  bool LoadFromMemory(TInSPI& plugin, const std::uint8_t* data, std::size_t size);
  // Called by a plug-in during GetPicture; the user value is the loader.
  static int WINAPI ProgressCallback(int done, int total, LONG_PTR userValue);

 private:
  // The file plug-ins may read themselves in this load of the stream, or empty.
  std::string FileModePath(TStream& stream) const;
  // LoadFromMemory's steps for data in memory or a file: with whole set, a plug-in that does not
  // read the file itself is given it in memory from offset after all.
  bool Load(TInSPI& plugin, const SpiData& data, TLoadData* whole, std::uint64_t offset);
  // GetPictureInfo, GetPicture and the picture: the plug-in's answer, success set when the owner
  // holds the picture.
  int Decode(TInSPI& plugin, const SpiData& data, bool& success);
  void Notify(TProgressStage stage, int percent, bool redrawNow);
  bool named_ = false;  // LoadFromFile runs: the stream it opens is the named file
  std::exception_ptr pendingFailure_;  // a listener's failure, raised after the plug-in returns
  std::string callFailure_;            // the first plug-in call of the load that could not be made
  std::uint64_t serial_ = 0;           // names the data of the load running
};

class TSPIBitmap : public TBitmap {
 public:
  static const TGraphicClass Class;
  const TGraphicClass& ClassType() const override { return Class; }
  TSPIBitmap();

  TInSPI* SPI = nullptr;  // when set, only this plug-in is tried
  bool SkipHeader = true;  // ask a rejecting plug-in once more with the first 128 bytes skipped

  void Assign(const TBitmap& source) override;
  void LoadFromFile(const std::string& fileName) override;
  void LoadFromStream(TStream& stream) override;
  virtual void LoadFromStreamWithName(TStream& stream, const std::string& fileName);
  // Always this bitmap's own LoadFromStreamWithName; there is nothing to assign.
  std::function<void(TStream&, const std::string&)> OnLoadFromStreamWithName() {
    return [this](TStream& stream, const std::string& fileName) { LoadFromStreamWithName(stream, fileName); };
  }
  void LoadDIB(const void* bitmapInfo, std::size_t infoSize, const void* bits, std::size_t bitsSize,
               const TPictureInfoRec& info, bool& success);
  // The same from the BMP file image a plug-in's helper made of its output.
  void LoadDIBFile(const std::uint8_t* bmp, std::size_t size, bool& success);
  TInSPIAble& Loader() { return loader_; }

 private:
  void CopyToLoader() {
    loader_.SkipHeader = SkipHeader;
    loader_.SPI = SPI;
  }
  TInSPIAble loader_;
};

// The folder scan's question: is this directory entry's name a picture file?
bool IsPictureFile(const std::string& name);

// Start-up, before the main window is built: plug-in formats are to be registered under
// TSPIBitmap. Exit: every registration of TSPIBitmap is withdrawn.
void InitPictureFormats();
void DonePictureFormats();
