#include "win/canvas.h"

#include <stdexcept>

#include "win/error.h"
#include "win/text.h"

namespace win {

Font CreateFontFrom(const FontDesc& desc, int pixelsPerInch) {
  LOGFONTW lf{};
  lf.lfHeight = pixelsPerInch > 0 ? desc.HeightAt(pixelsPerInch) : desc.Height;
  lf.lfWeight = desc.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = desc.Italic;
  lf.lfEscapement = desc.Escapement;
  lf.lfCharSet = static_cast<BYTE>(desc.CharSet);
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = Wide(desc.Name);
  face.resize(std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  wcscpy(lf.lfFaceName, face.c_str());
  Font f(CreateFontIndirectW(&lf));
  if (!f) throw Exception("フォントを作成できません");
  return f;
}

BITMAPINFO Dib24Info(int width, int height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

std::uint32_t SysColor(int index) { return GetSysColor(index); }

Canvas::Canvas(HDC dc)
    : dc_(dc), pixelsPerInch_(GetDeviceCaps(dc, TECHNOLOGY) == DT_RASPRINTER ? GetDeviceCaps(dc, LOGPIXELSY) : 96) {}

void Canvas::FillRect(const RECT& r, std::uint32_t color) {
  Brush brush(CreateSolidBrush(color));
  ::FillRect(dc_, &r, brush);
}

void Canvas::Rectangle(const RECT& r, std::uint32_t fill, std::uint32_t outline) {
  Brush brush(CreateSolidBrush(fill));
  Pen pen(CreatePen(PS_SOLID, 1, outline));
  SelectGuard b(dc_, brush), p(dc_, pen);
  ::Rectangle(dc_, r.left, r.top, r.right, r.bottom);
}

void Canvas::Polygon(std::span<const POINT> points, std::uint32_t fill, std::uint32_t outline) {
  Brush brush(CreateSolidBrush(fill));
  Pen pen(CreatePen(PS_SOLID, 1, outline));
  SelectGuard b(dc_, brush), p(dc_, pen);
  ::Polygon(dc_, points.data(), static_cast<int>(points.size()));
}

void Canvas::Line(POINT a, POINT b, std::uint32_t color) {
  POINT pts[2] = {a, b};
  PolyLine(pts, color);
}

void Canvas::PolyLine(std::span<const POINT> points, std::uint32_t color) {
  Pen pen(CreatePen(PS_SOLID, 1, color));
  SelectGuard p(dc_, pen);
  ::Polyline(dc_, points.data(), static_cast<int>(points.size()));
}

void Canvas::TextOut(int x, int y, std::string_view text, const FontDesc& font) {
  RECT none{};
  std::wstring w = Wide(text);
  Font f = CreateFontFrom(font, pixelsPerInch_);
  SelectGuard g(dc_, f);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, font.Color);
  ExtTextOutW(dc_, x, y, 0, &none, w.c_str(), static_cast<UINT>(w.size()), nullptr);
}

void Canvas::TextRect(const RECT& clip, int x, int y, std::string_view text, const FontDesc& font) {
  std::wstring w = Wide(text);
  Font f = CreateFontFrom(font, pixelsPerInch_);
  SelectGuard g(dc_, f);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, font.Color);
  ExtTextOutW(dc_, x, y, ETO_CLIPPED, &clip, w.c_str(), static_cast<UINT>(w.size()), nullptr);
}

void Canvas::DrawText(const RECT& r, std::string_view text, const FontDesc& font, UINT format) {
  std::wstring w = Wide(text);
  Font f = CreateFontFrom(font, pixelsPerInch_);
  SelectGuard g(dc_, f);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, font.Color);
  RECT rc = r;
  ::DrawTextW(dc_, w.c_str(), static_cast<int>(w.size()), &rc, format);
}

SIZE Canvas::TextExtent(std::string_view text, const FontDesc& font) {
  std::wstring w = Wide(text);
  Font f = CreateFontFrom(font, pixelsPerInch_);
  SelectGuard g(dc_, f);
  SIZE size{};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  return size;
}

void Canvas::DrawPixels(const PixelBuffer& pixels, int x, int y, int w, int h, int stretchMode) {
  if (pixels.Empty()) return;
  BITMAPINFO bi = Dib24Info(pixels.Width(), pixels.Height());
  int old = SetStretchBltMode(dc_, stretchMode);
  StretchDIBits(dc_, x, y, w, h, 0, 0, pixels.Width(), pixels.Height(), pixels.Data(), &bi, DIB_RGB_COLORS,
                SRCCOPY);
  SetStretchBltMode(dc_, old);
}

MemoryDc::MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {
  if (!dc_) throw Exception("デバイスコンテキストを作成できません");
}

MemoryBitmap::MemoryBitmap(int width, int height) : width_(width), height_(height) {
  BITMAPINFO bi = Dib24Info(width, height);
  void* bits = nullptr;
  bitmap_.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_ || !bits) throw Exception("ビットマップを作成できません");
  bits_ = static_cast<std::uint8_t*>(bits);
  old_ = SelectObject(dc_, bitmap_);
}

MemoryBitmap::~MemoryBitmap() { SelectObject(dc_, old_); }

std::uint32_t MemoryBitmap::Pixel(int x, int y) const {
  GdiFlush();
  const std::uint8_t* p = bits_ + static_cast<std::size_t>(y) * PixelBuffer::StrideFor(width_) + x * 3;
  return p[2] | p[1] << 8 | static_cast<std::uint32_t>(p[0]) << 16;
}

PixelBuffer MemoryBitmap::ToPixels() const {
  GdiFlush();
  PixelBuffer out(width_, height_);
  std::copy(bits_, bits_ + out.Size(), out.Data());
  return out;
}

}  // namespace win
