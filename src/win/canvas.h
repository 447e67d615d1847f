// Drawing on a device context with Shift-JIS text, colours as 0x00BBGGRR, and scope-bound
// DCs. Every GDI object made here is owned by an RAII handle.
#pragma once
#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "win/font_desc.h"
#include "win/handle.h"
#include "win/pixel_buffer.h"

namespace win {

// Creates a GDI font from a description (face name in Shift-JIS, height, style) for a device
// of the given resolution (0: the height as it stands).
Font CreateFontFrom(const FontDesc& desc, int pixelsPerInch = 0);

// The header of a 24-bit device-independent bitmap stored top row first, as PixelBuffer and
// MemoryBitmap hold their rows.
BITMAPINFO Dib24Info(int width, int height);

// Colour of a system colour index (COLOR_BTNFACE ...) as 0x00BBGGRR.
std::uint32_t SysColor(int index);

class Canvas {
 public:
  // A printer's canvas takes the printer's resolution; any other the screen's 96 pixels per
  // inch, the resolution the program's windows are designed in.
  explicit Canvas(HDC dc);
  // A canvas drawing at a chosen resolution (a print preview draws the printer's layout).
  Canvas(HDC dc, int pixelsPerInch) : dc_(dc), pixelsPerInch_(pixelsPerInch) {}
  HDC Dc() const { return dc_; }
  // Fonts are drawn at this resolution, whatever resolution their height was given in.
  int PixelsPerInch() const { return pixelsPerInch_; }

  void FillRect(const RECT& r, std::uint32_t color);
  // Outlined and filled rectangle with a 1-pixel pen, as GDI's Rectangle draws it.
  void Rectangle(const RECT& r, std::uint32_t fill, std::uint32_t outline);
  void Polygon(std::span<const POINT> points, std::uint32_t fill, std::uint32_t outline);
  // A line from a to b with a 1-pixel solid pen, b itself not drawn.
  void Line(POINT a, POINT b, std::uint32_t color);
  void PolyLine(std::span<const POINT> points, std::uint32_t color);

  // Text in the given font and colour with a transparent background.
  void TextOut(int x, int y, std::string_view text, const FontDesc& font);
  void TextRect(const RECT& clip, int x, int y, std::string_view text, const FontDesc& font);
  // DrawTextW with Shift-JIS text; format as DT_* flags.
  void DrawText(const RECT& r, std::string_view text, const FontDesc& font, UINT format);
  SIZE TextExtent(std::string_view text, const FontDesc& font);

  // Draws a 24-bit picture stretched into the rectangle (x, y, w, h).
  void DrawPixels(const PixelBuffer& pixels, int x, int y, int w, int h, int stretchMode = COLORONCOLOR);

 private:
  HDC dc_;
  int pixelsPerInch_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(hwnd_, &ps_); }
  HDC Dc() const { return dc_; }
  const RECT& PaintRect() const { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// A memory DC compatible with the screen, deleted with its scope.
class MemoryDc {
 public:
  MemoryDc();
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() { DeleteDC(dc_); }
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
};

// A 24-bit DIB section with a memory DC selected on it: draw into it, then read its pixels.
// Used for off-screen drawing without flicker and by tests that check what was drawn.
class MemoryBitmap {
 public:
  MemoryBitmap(int width, int height);
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
  ~MemoryBitmap();

  HDC Dc() const { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Colour at (x, y) as 0x00BBGGRR (GDI work is flushed first).
  std::uint32_t Pixel(int x, int y) const;
  // Copies the pixels out as a PixelBuffer.
  PixelBuffer ToPixels() const;

 private:
  int width_, height_;
  MemoryDc dc_;
  Bitmap bitmap_;
  std::uint8_t* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;  // selected out again before the bitmap is deleted
};

}  // namespace win
