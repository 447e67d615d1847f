#include "imaging/wic_image.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "imaging/bmp_reader.h"
#include "imaging/spi.h"
#include "win/error.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

// COM on this thread for a scope: joined (multi-threaded) when the thread has none yet, as
// it is when the thread already has an apartment of either kind.
class ComScope {
 public:
  ComScope() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComScope() {
    if (joined_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool joined_;
};

// Owns one reference to a COM object.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) Reset(), p_ = std::exchange(o.p_, nullptr);
    return *this;
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For a call that hands out a new reference.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// 0x88982F50 and 0x88982F44: no codec takes the data, or it is not a picture at all.
constexpr HRESULT kNoCodec = static_cast<HRESULT>(0x88982F50), kUnknownImage = static_cast<HRESULT>(0x88982F44);

[[noreturn]] void Fail(HRESULT hr) {
  if (hr == kNoCodec || hr == kUnknownImage) throw EInvalidGraphic("認識できない画像形式です");
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
  throw EInvalidGraphic(Format("画像が壊れているため読めません (WIC エラー %s)", {code}));
}

void Check(HRESULT hr) {
  if (FAILED(hr)) Fail(hr);
}

// The factory, or none where Windows has no WIC.
ComPtr<IWICImagingFactory> TryFactory() {
  ComPtr<IWICImagingFactory> f;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              f.PutVoid())))
    f.Reset();
  return f;
}

ComPtr<IWICImagingFactory> Factory() {
  ComPtr<IWICImagingFactory> f = TryFactory();
  if (!f) throw EInvalidGraphic("Windows の画像処理コンポーネント (WIC) を使えません");
  return f;
}

// One codec's text (its name, its extensions), asked for in two calls: the length, then the text.
template <class Info, class Getter>
std::wstring CodecText(Info* info, Getter get) {
  UINT length = 0;
  if (FAILED((info->*get)(0, nullptr, &length)) || length == 0 || length > 4096) return {};
  std::wstring text(length, L'\0');
  if (FAILED((info->*get)(length, text.data(), &length))) return {};
  text.resize(std::wcslen(text.c_str()));
  return text;
}

std::vector<TWicFormat> ReadFormats() {
  std::vector<TWicFormat> formats;
  ComScope com;
  ComPtr<IWICImagingFactory> f = TryFactory();
  ComPtr<IEnumUnknown> codecs;
  if (!f || FAILED(f->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, codecs.Put()))) return formats;
  std::vector<std::string> taken;
  for (;;) {
    ComPtr<IUnknown> item;
    ULONG got = 0;
    if (codecs->Next(1, item.Put(), &got) != S_OK || got != 1) break;
    ComPtr<IWICBitmapDecoderInfo> info;
    if (FAILED(item->QueryInterface(IID_IWICBitmapDecoderInfo, info.PutVoid()))) continue;
    GUID container{};
    if (FAILED(info->GetContainerFormat(&container)) || container == GUID_ContainerFormatBmp ||
        container == GUID_ContainerFormatJpeg)
      continue;  // Quiran reads these itself
    TWicFormat format;
    format.Description = "WIC: " + win::Narrow(CodecText(info.Get(), &IWICBitmapDecoderInfo::GetFriendlyName));
    // ".tif;.tiff" or ".bmp,.dib,.rle": the separators differ between codecs.
    const std::string list = win::Narrow(CodecText(info.Get(), &IWICBitmapDecoderInfo::GetFileExtensions));
    std::size_t start = 0;
    while (start <= list.size()) {
      std::size_t end = list.find_first_of(",;", start);
      if (end == std::string::npos) end = list.size();
      std::string ext = list.substr(start, end - start);
      start = end + 1;
      ext.erase(0, ext.find_first_not_of(" ."));
      ext.erase(ext.find_last_not_of(' ') + 1);
      const bool plain = !ext.empty() && std::all_of(ext.begin(), ext.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
      });
      if (!plain) continue;
      std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
      if (std::find(taken.begin(), taken.end(), ext) != taken.end()) continue;
      taken.push_back(ext);
      format.Filter += (format.Filter.empty() ? "*." : ";*.") + ext;
      format.Extensions.push_back(std::move(ext));
    }
    if (!format.Extensions.empty()) formats.push_back(std::move(format));
  }
  std::stable_sort(formats.begin(), formats.end(),
                   [](const TWicFormat& a, const TWicFormat& b) { return a.Description < b.Description; });
  return formats;
}

struct Decoded {
  ComScope com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
};

// The factory and a stream over the data in memory.
void OpenMemory(Decoded& d, const std::uint8_t* data, std::size_t size) {
  if (size == 0) throw EInvalidGraphic("画像ファイルが空です");
  if (size > 0x7FFFFFFF) throw EInvalidGraphic("画像ファイルが大きすぎます");
  d.factory = Factory();
  Check(d.factory->CreateStream(d.stream.Put()));
  Check(d.stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)));
}

// The factory and a stream over the file, which the codec reads as it goes: a large picture
// is not read into memory first.
void OpenFile(Decoded& d, const std::string& path) {
  d.factory = Factory();
  Check(d.factory->CreateStream(d.stream.Put()));
  if (FAILED(d.stream->InitializeFromFilename(win::Wide(path).c_str(), GENERIC_READ)))
    throw EFOpenError(Format("ファイル %s は開けません", {path}));
  STATSTG stat{};
  if (SUCCEEDED(d.stream->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart == 0)
    throw EInvalidGraphic("画像ファイルが空です");
}

// Chooses the frame of the stream's picture: the first, or of an icon the largest image.
void OpenFrame(Decoded& d) {
  Check(d.factory->CreateDecoderFromStream(d.stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, d.decoder.Put()));
  GUID container{};
  UINT frames = 1;
  if (SUCCEEDED(d.decoder->GetContainerFormat(&container)) && container == GUID_ContainerFormatIco &&
      SUCCEEDED(d.decoder->GetFrameCount(&frames))) {
    std::uint64_t best = 0;
    for (UINT i = 0; i < frames; ++i) {
      ComPtr<IWICBitmapFrameDecode> f;
      UINT w = 0, h = 0;
      if (FAILED(d.decoder->GetFrame(i, f.Put())) || FAILED(f->GetSize(&w, &h))) continue;
      if (static_cast<std::uint64_t>(w) * h > best) best = static_cast<std::uint64_t>(w) * h, d.frame = std::move(f);
    }
  }
  if (!d.frame) Check(d.decoder->GetFrame(0, d.frame.Put()));
  Check(d.frame->GetSize(&d.width, &d.height));
  if (d.width == 0 || d.height == 0) throw EInvalidGraphic("画像が空です");
  if (d.width > kMaxPictureSide || d.height > kMaxPictureSide ||
      static_cast<std::int64_t>(d.width) * d.height > kMaxPicturePixels)
    throw EInvalidGraphic("画像の大きさが扱える範囲を超えています");
}

// The chosen frame's pixels in Quiran's layout, a band of rows at a time, each band reported
// done as it is copied (codecs that decode as they are asked give the top rows first).
void CopyRows(Decoded& d, TRowsTarget& target) {
  PixelBuffer& out = target.Pixels();
  out.Allocate(static_cast<int>(d.width), static_cast<int>(d.height));
  const UINT stride = static_cast<UINT>(out.Stride());
  // About a megabyte of 32-bit rows a band.
  const UINT bandStride = d.width * 4;
  const UINT bandRows = std::max<UINT>(1, (1u << 20) / bandStride);
  auto bands = [&](auto&& copy) {
    for (UINT y = 0; y < d.height; y += bandRows) {
      const UINT rows = std::min(bandRows, d.height - y);
      copy(WICRect{0, static_cast<INT>(y), static_cast<INT>(d.width), static_cast<INT>(rows)});
      if (!target.RowsDone(static_cast<int>(y + rows))) return;
    }
  };
  WICPixelFormatGUID format{};
  Check(d.frame->GetPixelFormat(&format));
  if (format == GUID_WICPixelFormat24bppBGR) {
    // Already Quiran's layout: straight into the rows.
    bands([&](const WICRect& r) {
      Check(d.frame->CopyPixels(&r, stride, stride * static_cast<UINT>(r.Height), out.Row(r.Y)));
    });
    return;
  }
  // Everything else by way of 32-bit BGRA, which every codec converts to (Wine's converter
  // gives 24-bit BGR only from some formats), and drawn on white.
  ComPtr<IWICFormatConverter> converter;
  Check(d.factory->CreateFormatConverter(converter.Put()));
  Check(converter->Initialize(d.frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom));
  std::vector<std::uint8_t> band(static_cast<std::size_t>(bandStride) * bandRows);
  bands([&](const WICRect& r) {
    Check(converter->CopyPixels(&r, bandStride, bandStride * static_cast<UINT>(r.Height), band.data()));
    for (INT i = 0; i < r.Height; ++i) {
      const std::uint8_t* s = band.data() + static_cast<std::size_t>(bandStride) * static_cast<std::size_t>(i);
      std::uint8_t* o = out.Row(r.Y + i);
      for (UINT x = 0; x < d.width; ++x, s += 4, o += 3) {
        const unsigned a = s[3];
        for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint8_t>((s[c] * a + 255 * (255 - a) + 127) / 255);
      }
    }
  });
}

}  // namespace

const std::vector<TWicFormat>& WicFormats() {
  static const std::vector<TWicFormat> formats = ReadFormats();
  return formats;
}

std::string WicFormatLine(const TWicFormat& f) { return Format("%s (%s)", {f.Description, f.Filter}); }

void RegisterWicFormats() {
  static bool registered = false;
  if (std::exchange(registered, true)) return;
  for (const TWicFormat& f : WicFormats())
    for (const std::string& ext : f.Extensions) RegisterFileFormat(ext, f.Description, &TWICImage::Class);
}

bool WicFormatInUse(const TWicFormat& format, const TFormatChoice& choice) { return choice.InUse(kWicName, format.Filter); }

const TWicFormat* WicFormatFor(std::string_view extension) {
  for (const TWicFormat& f : WicFormats())
    for (const std::string& ext : f.Extensions)
      if (sjis::SameTextAscii(ext, extension)) {
        const TSPIs* spis = CurrentSPIs();
        return !spis || WicFormatInUse(f, spis->FormatChoice()) ? &f : nullptr;
      }
  return nullptr;
}

PixelBuffer DecodeWic(const std::uint8_t* data, std::size_t size) {
  Decoded d;
  OpenMemory(d, data, size);
  OpenFrame(d);
  TWholePicture picture;
  CopyRows(d, picture);
  return std::move(picture.Pixels());
}

PixelBuffer DecodeWicFile(const std::string& path) {
  TWholePicture picture;
  DecodeWicRows(path, picture);
  return std::move(picture.Pixels());
}

void DecodeWicRows(const std::string& path, TRowsTarget& target) {
  Decoded d;
  OpenFile(d, path);
  OpenFrame(d);
  CopyRows(d, target);
}

std::optional<WicSize> WicHeaderSize(const std::uint8_t* b, std::size_t n) {
  auto be32 = [&](std::size_t at) { return static_cast<std::uint32_t>(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]); };
  if (n >= 24 && std::memcmp(b, "\x89PNG\r\n\x1A\n", 8) == 0 && std::memcmp(b + 12, "IHDR", 4) == 0) {
    const std::uint32_t w = be32(16), h = be32(20);
    if (w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide) return WicSize{static_cast<int>(w), static_cast<int>(h)};
  }
  if (n >= 10 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) {
    const int w = b[6] | b[7] << 8, h = b[8] | b[9] << 8;
    if (w > 0 && h > 0) return WicSize{w, h};
  }
  return std::nullopt;
}

const TGraphicClass TWICImage::Class = {"TWICImage", [] { return std::unique_ptr<TGraphic>(new TWICImage); }, nullptr};

void TWICImage::LoadFromFile(const std::string& fileName) { pixels_ = DecodeWicFile(fileName); }

void TWICImage::LoadFromStream(TStream& stream) {
  std::uint64_t pos = stream.Position(), size = stream.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size > pos ? size - pos : 0));
  stream.ReadBuffer(bytes.data(), bytes.size());
  pixels_ = DecodeWic(bytes.data(), bytes.size());
}
