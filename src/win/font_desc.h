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

  // Point sizes are converted at 96 pixels per inch, rounding as MulDiv does.
  static int HeightForPoints(int points) { return -((points * 96 + 36) / 72); }
  int Points() const { int h = Height < 0 ? -Height : Height; return (h * 72 + 48) / 96; }
  void SetPoints(int points) { Height = HeightForPoints(points); }

  bool operator==(const FontDesc&) const = default;
};
