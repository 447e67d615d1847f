#include "imaging/graphics.h"

#include <windows.h>

#include <algorithm>

#include "imaging/bmp_reader.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture_headers.h"
#include "imaging/wic_image.h"
#include "win/canvas.h"
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

const TGraphicClass* PictureClassFor(std::string_view extension) {
  const auto& formats = Formats();
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (sjis::SameTextAscii(it->Extension, extension) &&
        (it->GraphicClass != &TWICImage::Class || WicFormatFor(extension)))
      return it->GraphicClass;
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
  win::MemoryBitmap surface(w, h);
  RECT r{0, 0, w, h};
  FillRect(surface.Dc(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  draw(surface.Dc());
  return surface.ToPixels();
}

std::vector<std::uint8_t> Remaining(TStream& stream) {
  std::uint64_t pos = stream.Position(), size = stream.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size > pos ? size - pos : 0));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

using EnhMetafile = win::Handle<HENHMETAFILE, DeleteEnhMetaFile>;

}  // namespace

// ---- TIcon ----

const TGraphicClass TIcon::Class = {"TIcon", [] { return std::unique_ptr<TGraphic>(new TIcon); }, nullptr};

void TIcon::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> b = Remaining(stream);
  std::optional<IconImage> image = ChooseIconImage(b);
  if (!image) throw EInvalidGraphic("アイコンの形式が正しくありません");
  const int w = image->Width, h = image->Height;
  // The system reads as much as the image's header says, so it gets that many bytes; a
  // missing transparency mask reads as zeros, all opaque.
  std::vector<std::uint8_t> data(b.begin() + static_cast<std::ptrdiff_t>(image->Offset),
                                 b.begin() + static_cast<std::ptrdiff_t>(image->Offset + image->Size));
  data.resize(image->Needed, 0);
  win::Icon icon(CreateIconFromResourceEx(data.data(), static_cast<DWORD>(data.size()), TRUE, 0x00030000, w, h,
                                          LR_DEFAULTCOLOR));
  if (!icon) throw EInvalidGraphic("アイコンの形式が正しくありません");
  pixels_ = Render(w, h, [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL); });
}

// ---- TMetafile ----

const TGraphicClass TMetafile::Class = {"TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile); }, nullptr};

void TMetafile::LoadFromStream(TStream& stream) {
  std::vector<std::uint8_t> b = Remaining(stream);
  const char* bad = "メタファイルの形式が正しくありません";
  std::optional<MetafileData> m = ReadMetafile(b);
  if (!m) throw EInvalidGraphic(bad);
  const std::uint8_t* data = b.data() + m->Offset;
  const UINT size = static_cast<UINT>(m->Size);
  EnhMetafile emf;
  if (m->Kind == MetafileKind::Enhanced) {
    emf.Reset(SetEnhMetaFileBits(size, data));
  } else {
    METAFILEPICT mfp{MM_ANISOTROPIC, m->FrameWidth, m->FrameHeight, nullptr};
    emf.Reset(SetWinMetaFileBits(size, data, nullptr, m->Kind == MetafileKind::Placeable ? &mfp : nullptr));
  }
  if (!emf) throw EInvalidGraphic(bad);
  PixelExtent extent{m->Width, m->Height};
  if (extent.Width <= 0 || extent.Height <= 0) {
    ENHMETAHEADER hdr{};
    if (!GetEnhMetaFileHeader(emf, sizeof hdr, &hdr)) throw EInvalidGraphic(bad);
    const std::int32_t frame[4] = {hdr.rclFrame.left, hdr.rclFrame.top, hdr.rclFrame.right, hdr.rclFrame.bottom};
    const std::int32_t bounds[4] = {hdr.rclBounds.left, hdr.rclBounds.top, hdr.rclBounds.right, hdr.rclBounds.bottom};
    extent = MetafilePixelSize(frame, bounds);
  }
  const int w = extent.Width, h = extent.Height;
  if (w <= 0 || h <= 0 || w > kMaxDrawnSide || h > kMaxDrawnSide) throw EInvalidGraphic(bad);
  pixels_ = Render(w, h, [&](HDC dc) {
    RECT r{0, 0, w, h};
    PlayEnhMetaFile(dc, emf, &r);
  });
}

// ---- TPicture ----

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string_view ext = sjis::ExtractFileExt(fileName);
  if (!ext.empty()) ext.remove_prefix(1);
  const TGraphicClass* cls = PictureClassFor(ext);
  if (!cls) throw EInvalidGraphic(Format("拡張子 .%s の画像形式は処理できません", {ext}));
  auto load = [&](const TGraphicClass& c) {
    std::unique_ptr<TGraphic> graphic = c.Create();
    // Only a listened picture forwards its progress: a plug-in's helper then need not stop
    // for every report of a plug-in nobody attends to.
    if (OnProgress)
      graphic->OnProgress = [this](TGraphic& sender, TProgressStage stage, int percent, bool redrawNow,
                                   const TRect& r, const std::string& msg) {
        if (OnProgress) OnProgress(sender, stage, percent, redrawNow, r, msg);
      };
    graphic->LoadFromFile(fileName);
    return graphic;
  };
  std::unique_ptr<TGraphic> graphic;
  try {
    graphic = load(*cls);
  } catch (const EInvalidGraphic&) {
    // A plug-in took the extension over but none reads this picture: Windows may.
    if (cls == &TWICImage::Class || !WicFormatFor(ext)) throw;
    graphic = load(TWICImage::Class);
  }
  Assign(std::move(graphic));
}

void TPicture::Assign(std::unique_ptr<TGraphic> graphic) {
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
