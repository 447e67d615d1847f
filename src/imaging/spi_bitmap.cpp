#include "imaging/spi_bitmap.h"

#include <algorithm>
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
// Files from this size on are read by the plug-ins themselves where they can (file mode):
// Quiran reads only their first bytes, and neither Quiran nor a helper copies the file. A
// smaller file is given in memory, as plug-ins have always been given files: its copy costs
// less than a plug-in's opening it again.
constexpr std::uint64_t kFileModeFrom = 1u << 20;
// Longer paths are not handed to plug-ins, which keep names in buffers of the system's old
// path limit.
constexpr std::size_t kFileModePathLimit = 1024;

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
  named_ = true;
  try {
    NativeLoadFromFile(fileName);
  } catch (...) {
    named_ = false;
    throw;
  }
  named_ = false;
}

std::string TInSPIAble::FileModePath(TStream& stream) const {
  if (!named_ || !dynamic_cast<TFileStream*>(&stream) || stream.Size() < kFileModeFrom ||
      stream.Size() > static_cast<std::uint64_t>(std::numeric_limits<LONG_PTR>::max()))
    return {};
  // The path the stream was opened by, made whole: the helper's current folder is not Quiran's.
  const std::wstring name = win::Wide(FileName);
  const DWORD n = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return {};
  full.resize(got);
  std::optional<std::string> path = win::NarrowExact(full);
  return path && path->size() < kFileModePathLimit ? *path : std::string();
}

TInSPIAble::TLoadData::TLoadData(TStream& stream, std::string path) : stream_(stream), path_(std::move(path)) {
  memory_ = dynamic_cast<TMemoryStream*>(&stream);
  if (!memory_ && path_.empty()) Memory();
  size_ = memory_ ? memory_->Size() : stream.Size();
}

TMemoryStream& TInSPIAble::TLoadData::Memory() {
  if (!memory_) {
    copy_.LoadFromStream(stream_);
    memory_ = &copy_;
  }
  return *memory_;
}

const std::uint8_t* TInSPIAble::TLoadData::Head(std::uint64_t offset) {
  std::memset(head_, 0, sizeof head_);
  if (memory_) {
    if (offset < size_)
      std::memcpy(head_, memory_->Memory() + offset, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head_, size_ - offset)));
  } else {
    stream_.SetPosition(offset);
    stream_.Read(head_, sizeof head_);
  }
  return head_;
}

void TInSPIAble::LoadFromStreamWithName(TStream& stream, const std::string& fileName) {
  NamedLoad named(*this, fileName);
  LoadFromStream(stream);
}

void TInSPIAble::LoadFromStream(TStream& stream) {
  // A memory stream is used as it is, all of it; a large file loaded by name is left for the
  // plug-ins to read; anything else is read into memory once.
  TLoadData data(stream, FileModePath(stream));
  serial_ = NextSerial();
  callFailure_.clear();
  bool loaded;
  std::string_view ext = Ext;
  if (!ext.empty()) ext.remove_prefix(1);
  if (!Ext.empty() && !sjis::SameTextAscii(ext, NativeExt))
    loaded = LoadBySPIs(data) || LoadNative(data);
  else
    loaded = LoadNative(data) || LoadBySPIs(data);
  // A plug-in call that could not be made says more than that nothing could read the data.
  if (!loaded) throw EInvalidGraphic(callFailure_.empty() ? std::string("認識できない画像形式です") : callFailure_);
}

bool TInSPIAble::LoadNative(TLoadData& data) {
  TMemoryStream& stream = data.Memory();
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

bool TInSPIAble::LoadBySPIs(TLoadData& data) {
  if (SPI) return LoadBySPI(*SPI, data);
  TSPIs* spis = CurrentSPIs();
  if (!spis) return false;
  std::vector<TSPI*> list;
  spis->GetSPIs({&IsSPIOf<TInSPI>}, Ext, list);
  for (TSPI* spi : list)
    if (LoadBySPI(*static_cast<TInSPI*>(spi), data)) return true;
  return false;
}

void TInSPIAble::Notify(TProgressStage stage, int percent, bool redrawNow) {
  if (ProgressProc) ProgressProc(stage, percent, redrawNow, TRect{0, 0, Owner.Width(), Owner.Height()}, std::string());
}

bool TInSPIAble::LoadBySPI(TInSPI& plugin, TLoadData& data) {
  Notify(TProgressStage::psStarting, 0, false);
  bool result = false;
  try {
    const std::uint64_t size = data.Size();
    // The data from an offset: the file named, or the block in memory.
    auto at = [&](std::uint64_t offset) {
      if (data.Path().empty()) {
        const std::uint8_t* block = data.Memory().Memory();
        return LoadFromMemory(plugin, block + offset, static_cast<std::size_t>(size - offset));
      }
      SpiData head{data.Head(offset), static_cast<std::size_t>(size - offset), 0, data.Path().c_str(), offset};
      return Load(plugin, head, &data, offset);
    };
    result = at(0);
    if (!result && SkipHeader && size > kHeaderSkip) result = at(kHeaderSkip);
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
  return Load(plugin, d, nullptr, 0);
}

bool TInSPIAble::Load(TInSPI& plugin, const SpiData& data, TLoadData* whole, std::uint64_t offset) {
  // The length is pointer-sized in the interface (32 bits in a 32-bit process).
  if (data.Size > static_cast<std::size_t>(std::numeric_limits<LONG_PTR>::max())) return false;
  // A plug-in set aside is not called, nor one with a file it faulted on earlier in the run.
  TSPIs* const spis = plugin.Owner();
  if (plugin.SetAside() || (spis && spis->Faults().FailedOn(plugin.FileName(), FileName))) return false;
  try {
    if (plugin.IsSupported(FileName.c_str(), data) == 0) return false;
    bool success = false;
    int r = Decode(plugin, data, success);
    // A plug-in that reads no files (it answers "not implemented"), or one that failed on the
    // file, or a file whose name the plug-in's code page cannot write: the data in memory.
    // Stopped by the listener (1), it is not asked again.
    if (whole && r != 0 && r != 1) r = Decode(plugin, SpiData{whole->Memory().Memory() + offset, data.Size, serial_}, success);
    return r == 0 && success;
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

int TInSPIAble::Decode(TInSPI& plugin, const SpiData& data, bool& success) {
  TPictureInfoRec info;
  SpiPictureFacts facts;
  if (plugin.GetPictureInfo(data, facts) == 0) {
    const TInfoRecordFields& f = facts.Fields;
    info.Left = f.Left, info.Top = f.Top, info.Width = f.Width, info.Height = f.Height;
    info.XDensity = f.XDensity, info.YDensity = f.YDensity, info.ColorDepth = f.ColorDepth;
    info.Info = std::move(facts.Text);
    info.Valid = true;
  }

  std::unique_ptr<SpiPicture> picture;
  pendingFailure_ = nullptr;
  const bool listened = ProgressProc && Owner.OnProgress;
  int r = plugin.GetPicture(data, &ProgressCallback, reinterpret_cast<LONG_PTR>(this), listened, picture);
  if (pendingFailure_) {
    picture.reset();  // the plug-in's blocks are freed before the failure goes on
    std::rethrow_exception(std::exchange(pendingFailure_, nullptr));
  }
  if (r != 0) return r;
  if (TSPIs* spis = plugin.Owner()) spis->NotePluginSuccess(plugin);
  if (!picture) throw EInvalidGraphic("プラグインの出力した画像が正しくありません");
  OnLoadDIB(*picture, info, success);
  return 0;
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
  loader_.OnLoadDIB = [this](const SpiPicture& picture, const TPictureInfoRec& info, bool& success) {
    if (picture.BmpFile())
      LoadDIBFile(picture.BmpFile(), picture.BmpFileSize(), success);
    else
      LoadDIB(picture.Info(), picture.InfoSize(), picture.Bits(), picture.BitsSize(), info, success);
  };
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

void TSPIBitmap::LoadDIBFile(const std::uint8_t* bmp, std::size_t size, bool& success) {
  LoadFromBmp(bmp, size);
  // The palette LoadDIB gives 4-bit output: the colour table the image carries.
  if (BitCount() == 4) SetPalette(ColorTable());
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
