#include "imaging/spi_bitmap.h"

#include <cstring>
#include <limits>
#include <optional>

#include "imaging/dib_file.h"
#include "imaging/fault_guard.h"
#include "imaging/spi_filters.h"
#include "imaging/wic_image.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

constexpr std::size_t kPaddedSize = 2048;  // IsSupported may always read this many bytes
constexpr std::size_t kHeaderSkip = 128;

// Names one load's data for the plug-ins' helpers, which then take the bytes once.
std::uint64_t NextSerial() {
  static std::uint64_t serial = 0;
  return ++serial;
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
  serial_ = NextSerial();
  callFailure_.clear();
  bool loaded;
  std::string_view ext = Ext;
  if (!ext.empty()) ext.remove_prefix(1);
  if (!Ext.empty() && !sjis::SameTextAscii(ext, NativeExt))
    loaded = LoadBySPIs(*memory) || LoadNative(*memory);
  else
    loaded = LoadNative(*memory) || LoadBySPIs(*memory);
  // A plug-in call that could not be made says more than that nothing could read the data.
  if (!loaded) throw EInvalidGraphic(callFailure_.empty() ? std::string("認識できない画像形式です") : callFailure_);
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
  // (The buffer's bytes change from call to call, so they carry no load serial.)
  std::uint8_t padded[kPaddedSize];
  SpiData d{data, size, serial_};
  if (size < kPaddedSize) {
    std::memset(padded, 0, sizeof padded);
    if (size) std::memcpy(padded, data, size);
    d = SpiData{padded, size, 0};
  }
  // The length is pointer-sized in the interface (32 bits in a 32-bit process).
  if (size > static_cast<std::size_t>(std::numeric_limits<LONG_PTR>::max())) return false;
  // A plug-in set aside is not called, nor one with a file it faulted on earlier in the run.
  TSPIs* const spis = plugin.Owner();
  if (plugin.SetAside() || (spis && spis->Faults().FailedOn(plugin.FileName(), FileName))) return false;
  try {
    if (plugin.IsSupported(FileName.c_str(), d) == 0) return false;

    TPictureInfoRec info;
    SpiPictureFacts facts;
    if (plugin.GetPictureInfo(d, facts) == 0) {
      const TInfoRecordFields& f = facts.Fields;
      info.Left = f.Left, info.Top = f.Top, info.Width = f.Width, info.Height = f.Height;
      info.XDensity = f.XDensity, info.YDensity = f.YDensity, info.ColorDepth = f.ColorDepth;
      info.Info = std::move(facts.Text);
      info.Valid = true;
    }

    std::unique_ptr<SpiPicture> picture;
    pendingFailure_ = nullptr;
    const bool listened = ProgressProc && Owner.OnProgress;
    int r = plugin.GetPicture(d, &ProgressCallback, reinterpret_cast<LONG_PTR>(this), listened, picture);
    if (pendingFailure_) {
      picture.reset();  // the plug-in's blocks are freed before the failure goes on
      std::rethrow_exception(std::exchange(pendingFailure_, nullptr));
    }
    if (r != 0) return false;
    if (spis) spis->NotePluginSuccess(plugin);
    if (!picture) throw EInvalidGraphic("プラグインの出力した画像が正しくありません");
    bool success = false;
    OnLoadDIB(picture->Info(), picture->InfoSize(), picture->Bits(), picture->BitsSize(), info, success);
    return success;
  } catch (const ESPIPluginFault& fault) {
    // The plug-in faulted: it has failed for this file, and the load goes on without it.
    if (spis) spis->NotePluginFault(plugin, FileName, fault.InProcess());
    return false;
  } catch (const ESPICallFailed& failure) {
    // Not the plug-in's failure: the next plug-in, and Quiran's own reader, are tried.
    if (callFailure_.empty()) callFailure_ = failure.Message();
    return false;
  }
}

int WINAPI TInSPIAble::ProgressCallback(int done, int total, LONG_PTR userValue) {
  // Quiran's own code from here on: a fault in it (or in a message loop the listener runs) is
  // not the plug-in's, so the guard around the plug-in's call stands aside.
  fault_guard::Unguarded unguarded;
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
  // A folder scan asks this for thousands of names: the upper-cased pattern tails are made
  // again only when the plug-ins or the formats in use change.
  static std::optional<std::uint64_t> cachedFor;
  static std::vector<std::string> upperTails;
  TSPIs* spis = CurrentSPIs();
  const std::uint64_t now = spis ? spis->Generation() : 0;
  if (now != cachedFor) {
    upperTails.clear();
    for (int i = 0; spis && i < spis->Count(); ++i) {
      const TSPI& spi = *spis->Items(i);
      if (!IsSPIOf<TInSPI>(spi)) continue;
      for (std::size_t j = 0; j < spi.Filters().size(); ++j) {
        if (!spis->FormatInUse(spi, j)) continue;
        const std::string upper = win::UpperJa(spi.Filters()[j]);
        for (std::string_view pattern : FilterPatterns(upper))
          if (!PatternTail(pattern).empty()) upperTails.emplace_back(PatternTail(pattern));
      }
    }
    // And the formats Windows' codecs read, those the user keeps in use.
    for (const TWicFormat& f : WicFormats())
      if (!spis || WicFormatInUse(f, spis->FormatChoice()))
        for (const std::string& ext : f.Extensions) upperTails.push_back("." + win::UpperJa(ext));
    cachedFor = now;
  }
  return IsPictureNameUpper(win::UpperJa(name), upperTails);
}

void InitPictureFormats() {
  FindFileFormat("bmp");  // the built-in formats are in place from here on
  // Windows' codecs before any plug-in: a plug-in that lists an extension takes it over.
  RegisterWicFormats();
  TSPIs::SetDefaultGraphicClass(&TSPIBitmap::Class);
}

void DonePictureFormats() { UnregisterGraphicClass(&TSPIBitmap::Class); }
