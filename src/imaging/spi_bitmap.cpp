#include "imaging/spi_bitmap.h"

#include <cstring>

#include "imaging/dib_file.h"
#include "imaging/spi_filters.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

constexpr std::size_t kPaddedSize = 2048;  // IsSupported may always read this many bytes
constexpr std::size_t kHeaderSkip = 128;

// A local-memory block a plug-in handed over: locked while this lives, freed afterwards.
class LockedBlock {
 public:
  explicit LockedBlock(HLOCAL h) : h_(h), p_(h ? LocalLock(h) : nullptr), size_(h ? LocalSize(h) : 0) {}
  ~LockedBlock() {
    if (p_) LocalUnlock(h_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const void* Data() const { return p_; }
  std::size_t Size() const { return p_ ? size_ : 0; }

 private:
  HLOCAL h_;
  void* p_;
  std::size_t size_;
};

void FreeBlock(HLOCAL h) {
  if (h) LocalFree(h);
}

}  // namespace

// ---- named loads ----

namespace {

// Sets the name being loaded for the duration of one named load, whatever its outcome.
class NamedLoad {
 public:
  NamedLoad(TInSPIAble& loader, const std::string& fileName) : loader_(loader) {
    loader_.Ext = sjis::ExtractFileExt(fileName);
    loader_.FileName = fileName;
  }
  NamedLoad(const NamedLoad&) = delete;
  NamedLoad& operator=(const NamedLoad&) = delete;
  ~NamedLoad() {
    loader_.Ext.clear();
    loader_.FileName.clear();
  }

 private:
  TInSPIAble& loader_;
};

}  // namespace

void TInSPIAble::LoadFromFile(const std::string& fileName) {
  NamedLoad named(*this, fileName);
  NativeLoadFromFile(fileName);
}

void TInSPIAble::LoadFromStreamWithName(TStream& stream, const std::string& fileName) {
  NamedLoad named(*this, fileName);
  LoadFromStream(stream);
}

void TInSPIAble::LoadFromStream(TStream& stream) {
  // A memory stream is used as it is, all of it; anything else is read into memory once.
  TMemoryStream copy;
  TMemoryStream* memory = dynamic_cast<TMemoryStream*>(&stream);
  if (!memory) {
    copy.LoadFromStream(stream);
    memory = &copy;
  }
  bool loaded;
  std::string_view ext = Ext;
  if (!ext.empty()) ext.remove_prefix(1);
  if (!Ext.empty() && !sjis::SameTextAscii(ext, NativeExt))
    loaded = LoadBySPIs(*memory) || LoadNative(*memory);
  else
    loaded = LoadNative(*memory) || LoadBySPIs(*memory);
  if (!loaded) throw EInvalidGraphic("認識できない画像形式です");
}

bool TInSPIAble::LoadNative(TMemoryStream& stream) {
  stream.SetPosition(0);
  try {
    NativeLoadFromStream(stream);
    return true;
  } catch (const Exception&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool TInSPIAble::LoadBySPIs(TMemoryStream& stream) {
  if (SPI) return LoadBySPI(*SPI, stream);
  TSPIs* spis = CurrentSPIs();
  if (!spis) return false;
  std::vector<TSPI*> list;
  spis->GetSPIs({&IsSPIOf<TInSPI>}, Ext, list);
  for (TSPI* spi : list)
    if (LoadBySPI(*static_cast<TInSPI*>(spi), stream)) return true;
  return false;
}

void TInSPIAble::Notify(TProgressStage stage, int percent, bool redrawNow) {
  if (ProgressProc) ProgressProc(stage, percent, redrawNow, TRect{0, 0, Owner.Width(), Owner.Height()}, std::string());
}

bool TInSPIAble::LoadBySPI(TInSPI& plugin, TMemoryStream& stream) {
  Notify(TProgressStage::psStarting, 0, false);
  bool result = false;
  try {
    const std::uint8_t* data = stream.Memory();
    const std::size_t size = static_cast<std::size_t>(stream.Size());
    result = LoadFromMemory(plugin, data, size);
    if (!result && SkipHeader && size > kHeaderSkip) result = LoadFromMemory(plugin, data + kHeaderSkip, size - kHeaderSkip);
  } catch (...) {
    Notify(TProgressStage::psEnding, 100, true);
    throw;
  }
  Notify(TProgressStage::psEnding, 100, true);
  return result;
}

bool TInSPIAble::LoadFromMemory(TInSPI& plugin, const std::uint8_t* data, std::size_t size) {
  // Short data is offered in a zero-filled 2048-byte buffer; the length stays the real one.
  std::uint8_t padded[kPaddedSize];
  if (size < kPaddedSize) {
    std::memset(padded, 0, sizeof padded);
    if (size) std::memcpy(padded, data, size);
    data = padded;
  }
  if (size > 0x7FFFFFFF) return false;  // the plug-in interface counts bytes in 32 bits
  const LPCSTR bytes = reinterpret_cast<LPCSTR>(data);
  const long length = static_cast<long>(size);
  try {
    if (plugin.IsSupported(FileName.c_str(), data) == 0) return false;

    TPictureInfoRec info;
    SpiPictureInfo rec{};
    if (plugin.GetPictureInfo(bytes, length, 1, &rec) == 0) {
      info.Left = rec.left, info.Top = rec.top, info.Width = rec.width, info.Height = rec.height;
      info.XDensity = rec.x_density, info.YDensity = rec.y_density, info.ColorDepth = rec.colorDepth;
      if (rec.hInfo) {
        {
          LockedBlock text(rec.hInfo);
          const char* p = static_cast<const char*>(text.Data());
          if (p) info.Info.assign(p, strnlen(p, text.Size()));
        }
        FreeBlock(rec.hInfo);
      }
      info.Valid = true;
    }

    HLOCAL hInfo = nullptr, hBits = nullptr;
    pendingFailure_ = nullptr;
    int r = plugin.GetPicture(bytes, length, 1, &hInfo, &hBits, &ProgressCallback, reinterpret_cast<LONG_PTR>(this));
    if (r != 0) {
      if (pendingFailure_) std::rethrow_exception(std::exchange(pendingFailure_, nullptr));
      return false;
    }
    bool success = false;
    try {
      if (pendingFailure_) std::rethrow_exception(std::exchange(pendingFailure_, nullptr));
      LockedBlock bits(hBits), bitmapInfo(hInfo);
      if (!bitmapInfo.Data() || !bits.Data()) throw EInvalidGraphic("プラグインの出力した画像が正しくありません");
      OnLoadDIB(bitmapInfo.Data(), bitmapInfo.Size(), bits.Data(), bits.Size(), info, success);
    } catch (...) {
      FreeBlock(hInfo);
      FreeBlock(hBits);
      throw;
    }
    FreeBlock(hInfo);
    FreeBlock(hBits);
    return success;
  } catch (const ESPIPluginFault&) {
    // The plug-in faulted: it has failed for this data, and the load goes on without it.
    return false;
  }
}

int WINAPI TInSPIAble::ProgressCallback(int done, int total, LONG_PTR userValue) {
  if (userValue == 0) return 0;
  auto* self = reinterpret_cast<TInSPIAble*>(userValue);
  // No exception may travel through the plug-in's frames: a listener's failure stops the
  // plug-in and is raised again once it has returned.
  try {
    self->Notify(TProgressStage::psRunning, MulDiv(done, 98, total) + 1, false);
    return 0;
  } catch (const EAbort&) {
    return 1;
  } catch (...) {
    self->pendingFailure_ = std::current_exception();
    return 1;
  }
}

// ---- TSPIBitmap ----

const TGraphicClass TSPIBitmap::Class = {"TSPIBitmap", [] { return std::unique_ptr<TGraphic>(new TSPIBitmap); },
                                         &TBitmap::Class};

TSPIBitmap::TSPIBitmap() : loader_(*this) {
  loader_.NativeExt = "BMP";
  loader_.NativeLoadFromFile = [this](const std::string& fileName) {
    TFileStream stream(fileName);
    LoadFromStream(stream);  // this class's own, so the loader runs with the name still set
  };
  loader_.NativeLoadFromStream = [this](TMemoryStream& stream) { TBitmap::LoadFromStream(stream); };
  loader_.OnLoadDIB = [this](const void* bi, std::size_t biSize, const void* bits, std::size_t bitsSize,
                             const TPictureInfoRec& info, bool& success) { LoadDIB(bi, biSize, bits, bitsSize, info, success); };
  loader_.ProgressProc = [this](TProgressStage stage, int percent, bool redrawNow, const TRect& r, const std::string& msg) {
    Progress(stage, percent, redrawNow, r, msg);
  };
}

void TSPIBitmap::Assign(const TBitmap& source) {
  if (auto* s = dynamic_cast<const TSPIBitmap*>(&source)) {
    SkipHeader = s->SkipHeader;
    SPI = s->SPI;
  }
  TBitmap::Assign(source);
}

void TSPIBitmap::LoadFromFile(const std::string& fileName) {
  CopyToLoader();
  loader_.LoadFromFile(fileName);
}

void TSPIBitmap::LoadFromStream(TStream& stream) {
  CopyToLoader();
  loader_.LoadFromStream(stream);
}

void TSPIBitmap::LoadFromStreamWithName(TStream& stream, const std::string& fileName) {
  CopyToLoader();
  loader_.LoadFromStreamWithName(stream, fileName);
}

void TSPIBitmap::LoadDIB(const void* bitmapInfo, std::size_t infoSize, const void* bits, std::size_t bitsSize,
                         const TPictureInfoRec&, bool& success) {
  DibFile file = BuildDibFile(static_cast<const std::uint8_t*>(bitmapInfo), infoSize,
                              static_cast<const std::uint8_t*>(bits), bitsSize);
  LoadFromBmp(file.Bmp.data(), file.Bmp.size());
  if (!file.Palette4.empty()) SetPalette(std::move(file.Palette4));
  success = true;
}

// ---- picture-file test, start-up and exit ----

bool IsPictureFile(const std::string& name) {
  // A folder scan asks this for thousands of names: the upper-cased first filters are made
  // again only when the plug-ins' first filters change.
  static std::vector<std::string> cachedFor, upperFilters;
  std::vector<std::string> now;
  if (TSPIs* spis = CurrentSPIs())
    for (int i = 0; i < spis->Count(); ++i)
      if (!spis->Items(i)->Filters().empty()) now.push_back(spis->Items(i)->Filters()[0]);
  if (now != cachedFor) {
    upperFilters.clear();
    for (const std::string& f : now) upperFilters.push_back(win::UpperJa(f));
    cachedFor = std::move(now);
  }
  return IsPictureNameUpper(win::UpperJa(name), upperFilters);
}

void InitPictureFormats() {
  FindFileFormat("bmp");  // the built-in formats are in place from here on
  TSPIs::SetDefaultGraphicClass(&TSPIBitmap::Class);
}

void DonePictureFormats() { UnregisterGraphicClass(&TSPIBitmap::Class); }
