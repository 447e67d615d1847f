// A font as the program describes it: face name (Shift-JIS), height, colour and style.
// Portable, so geometry code can reason about fonts without Win32.
#pragma once
#include <cstdint>
#include <string>

struct FontDesc {
  std::string Name = "ＭＳ Ｐゴシック";
  // Character height in pixels when negative, cell height when positive (as LOGFONT).
  int Height = -12;
  std::uint32_t Color = 0;  // 0x00BBGGRR
  bool Bold = false;
  bool Italic = false;
  int Escapement = 0;    // tenths of a degree
  int CharSet = 128;     // Shift-JIS
  // The resolution Height is counted in: the screen's 96 pixels per inch unless the font was
  // made for a device (a printer's 300 or 600 dots). A canvas of another resolution scales
  // the height to its own when it draws with the font.
  int PixelsPerInch = 96;

  // Points and heights convert at a resolution, rounding as MulDiv does.
  static int HeightForPoints(int points, int pixelsPerInch = 96) {
    return -((points * pixelsPerInch + 36) / 72);
  }
  int Points() const {
    int h = Height < 0 ? -Height : Height;
    return (h * 72 + PixelsPerInch / 2) / PixelsPerInch;
  }
  void SetPoints(int points) { Height = HeightForPoints(points, PixelsPerInch); }
  // The height in pixels of a device with the given resolution, rounded half away from zero.
  int HeightAt(int pixelsPerInch) const {
    if (pixelsPerInch == PixelsPerInch) return Height;
    long long scaled = static_cast<long long>(Height) * pixelsPerInch;
    long long half = PixelsPerInch / 2;
    return static_cast<int>((scaled < 0 ? scaled - half : scaled + half) / PixelsPerInch);
  }

  bool operator==(const FontDesc&) const = default;
};
