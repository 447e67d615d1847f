#include "imaging/graphics.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "imaging/bmp_reader.h"
#include "imaging/jpeg_image.h"
#include "win/error.h"
#include "win/handle.h"
#include "win/sjis.h"

bool TGraphicClass::InheritsFrom(const TGraphicClass* other) const {
  for (const TGraphicClass* c = this; c; c = c->Parent)
    if (c == other) return true;
  return false;
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName);
  LoadFromStream(stream);
}

void TGraphic::Progress(TProgressStage stage, int percent, bool redrawNow, const TRect& r, const std::string& msg) {
  if (OnProgress) OnProgress(*this, stage, percent, redrawNow, r, msg);
}

// ---- registry ----

namespace {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); i += sjis::CharLength(out, i))
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  return out;
}

std::vector<TFileFormat>& Formats() {
  static std::vector<TFileFormat> formats = {
      {"wmf", "メタファイル", &TMetafile::Class},
      {"emf", "拡張メタファイル", &TMetafile::Class},
      {"ico", "アイコン", &TIcon::Class},
      {"bmp", "ビットマップ", &TBitmap::Class},
      {"jpeg", "JPEG イメージファイル", &TJPEGImage::Class},
      {"jpg", "JPEG イメージファイル", &TJPEGImage::Class},
  };
  return formats;
}

}  // namespace

void RegisterFileFormat(std::string_view extension, std::string_view description, const TGraphicClass* graphicClass) {
  Formats().push_back({LowerAscii(extension), std::string(description), graphicClass});
}

const TGraphicClass* FindFileFormat(std::string_view extension) {
  const auto& formats = Formats();
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (sjis::SameTextAscii(it->Extension, extension)) return it->GraphicClass;
  return nullptr;
}

void UnregisterGraphicClass(const TGraphicClass* graphicClass) {
  auto& formats = Formats();
  formats.erase(std::remove_if(formats.begin(), formats.end(),
                               [&](const TFileFormat& f) { return f.GraphicClass == graphicClass; }),
                formats.end());
}

std::vector<TFileFormat> FileFormats() { return Formats(); }

// ---- TBitmap ----

const TGraphicClass TBitmap::Class = {"TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap); }, nullptr};

void TBitmap::LoadFromStream(TStream& stream) {
  std::uint64_t pos = stream.Position(), size = stream.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size > pos ? size - pos : 0));
  stream.ReadBuffer(bytes.data(), bytes.size());
  LoadFromBmp(bytes.data(), bytes.size());
}

void TBitmap::LoadFromBmp(const std::uint8_t* data, std::size_t size) {
  BmpImage img = ReadBmp(data, size);
  pixels_ = std::move(img.Pixels);
  bitCount_ = img.BitCount;
  colorTable_ = std::move(img.ColorTable);
  palette_.clear();
}

void TBitmap::Assign(const TBitmap& source) {
  pixels_ = source.pixels_;
  bitCount_ = source.bitCount_;
  colorTable_ = source.colorTable_;
  palette_ = source.palette_;
}

// ---- drawing into pixels ----

namespace {

constexpr int kMaxDrawnSide = 8192;

// Draws on a white 24-bit surface of w × h pixels and returns its rows.
template <class Draw>
PixelBuffer Render(int w, int h, Draw draw) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down, the PixelBuffer's row order
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) throw EInvalidGraphic("描画用のデバイスコンテキストを作れません");
  win::Bitmap dib(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) {
    DeleteDC(dc);
    throw EInvalidGraphic("描画用のビットマップを作れません");
  }
  PixelBuffer out(w, h);
  {
    win::SelectGuard sel(dc, dib);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw(dc);
    GdiFlush();
    std::memcpy(out.Data(), bits, out.Size());  // same stride: rows padded to 4 bytes
  }
  DeleteDC(dc);
  return out;
}

std::vector<std::uint8_t> Remaining(TStream& stream) {
  std::uint64_t pos = stream.Position(), size = stream.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size > pos ? size - pos : 0));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

// ---- TIcon ----

const TGraphicClass TIcon::Class = {"TIcon", [] { return std::unique_ptr<TGraphic>(new TIcon); }, nullptr};

void TIcon::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> b = Remaining(stream);
  const char* bad = "アイコンの形式が正しくありません";
  if (b.size() < 6 || U16(&b[0]) != 0 || U16(&b[2]) != 1) throw EInvalidGraphic(bad);
  const std::size_t count = U16(&b[4]);
  if (count == 0 || b.size() < 6 + 16 * count) throw EInvalidGraphic(bad);
  std::size_t best = count;
  int bestArea = -1, bestBits = -1, bw = 0, bh = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &b[6 + 16 * i];
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = U16(e + 6);
    std::uint32_t bytes = U32(e + 8), offset = U32(e + 12);
    if (offset > b.size() || bytes > b.size() - offset || bytes < 40) continue;
    if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) best = i, bestArea = w * h, bestBits = bits, bw = w, bh = h;
  }
  if (best == count) throw EInvalidGraphic(bad);
  const std::uint8_t* e = &b[6 + 16 * best];
  win::Icon icon(CreateIconFromResourceEx(&b[U32(e + 12)], U32(e + 8), TRUE, 0x00030000, bw, bh, LR_DEFAULTCOLOR));
  if (!icon) throw EInvalidGraphic(bad);
  pixels_ = Render(bw, bh, [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, bw, bh, 0, nullptr, DI_NORMAL); });
}

// ---- TMetafile ----

const TGraphicClass TMetafile::Class = {"TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile); }, nullptr};

void TMetafile::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> b = Remaining(stream);
  const char* bad = "メタファイルの形式が正しくありません";
  HENHMETAFILE emf = nullptr;
  int w = 0, h = 0;
  if (b.size() >= 88 && U32(&b[0]) == 1 && U32(&b[40]) == 0x464D4520) {  // EMR_HEADER and " EMF"
    emf = SetEnhMetaFileBits(static_cast<UINT>(b.size()), b.data());
  } else if (b.size() > 22 + 18 && U32(&b[0]) == 0x9AC6CDD7) {  // a placeable Windows metafile
    int left = static_cast<std::int16_t>(U16(&b[6])), top = static_cast<std::int16_t>(U16(&b[8]));
    int right = static_cast<std::int16_t>(U16(&b[10])), bottom = static_cast<std::int16_t>(U16(&b[12]));
    int inch = U16(&b[14]);
    if (inch == 0 || right <= left || bottom <= top) throw EInvalidGraphic(bad);
    METAFILEPICT mfp{MM_ANISOTROPIC, MulDiv(right - left, 2540, inch), MulDiv(bottom - top, 2540, inch), nullptr};
    emf = SetWinMetaFileBits(static_cast<UINT>(b.size() - 22), &b[22], nullptr, &mfp);
    w = MulDiv(right - left, 96, inch), h = MulDiv(bottom - top, 96, inch);
  } else if (b.size() >= 18 && (U16(&b[0]) == 1 || U16(&b[0]) == 2) && U16(&b[2]) == 9) {
    emf = SetWinMetaFileBits(static_cast<UINT>(b.size()), b.data(), nullptr, nullptr);
  }
  if (!emf) throw EInvalidGraphic(bad);
  ENHMETAHEADER hdr{};
  GetEnhMetaFileHeader(emf, sizeof hdr, &hdr);
  if (w <= 0 || h <= 0) {
    w = MulDiv(hdr.rclFrame.right - hdr.rclFrame.left, 96, 2540);
    h = MulDiv(hdr.rclFrame.bottom - hdr.rclFrame.top, 96, 2540);
  }
  if (w <= 0 || h <= 0) w = hdr.rclBounds.right - hdr.rclBounds.left + 1, h = hdr.rclBounds.bottom - hdr.rclBounds.top + 1;
  if (w <= 0 || h <= 0 || w > kMaxDrawnSide || h > kMaxDrawnSide) {
    DeleteEnhMetaFile(emf);
    throw EInvalidGraphic(bad);
  }
  try {
    pixels_ = Render(w, h, [&](HDC dc) {
      RECT r{0, 0, w, h};
      PlayEnhMetaFile(dc, emf, &r);
    });
  } catch (...) {
    DeleteEnhMetaFile(emf);
    throw;
  }
  DeleteEnhMetaFile(emf);
}

// ---- TPicture ----

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string_view ext = sjis::ExtractFileExt(fileName);
  if (!ext.empty()) ext.remove_prefix(1);
  const TGraphicClass* cls = FindFileFormat(ext);
  if (!cls) throw EInvalidGraphic(Format("拡張子 .%s の画像形式は処理できません", {ext}));
  std::unique_ptr<TGraphic> graphic = cls->Create();
  graphic->OnProgress = [this](TGraphic& sender, TProgressStage stage, int percent, bool redrawNow, const TRect& r,
                               const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redrawNow, r, msg);
  };
  graphic->LoadFromFile(fileName);
  graphic_ = std::move(graphic);
  if (OnChange) OnChange(*this);
}

const PixelBuffer& TPicture::Pixels() const {
  static const PixelBuffer empty;
  return graphic_ ? graphic_->Pixels() : empty;
}

PixelBuffer LoadPictureFile(const std::string& fileName) {
  TPicture picture;
  picture.LoadFromFile(fileName);
  return picture.TakePixels();
}
