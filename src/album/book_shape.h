// An album drawn as a book standing on the shelf: a windowless control with a shaded,
// round spine and the album's name written top to bottom. The book owns its folder list.
#pragma once
#include <cstdint>
#include <string>

#include "album/album_file.h"
#include "win/font_desc.h"
#include "win/window.h"

class TBookShape : public win::GraphicControl {
 public:
  TBookShape();

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color);
  // Shading percentage of the spine, 60..100; other values are held to that range.
  std::uint8_t ColorRate() const { return colorRate_; }
  void SetColorRate(int rate);
  const FontDesc& Font() const { return font_; }
  void SetFont(const FontDesc& font);

  // The album's folders.
  TFolderList& Data() { return data_; }
  const TFolderList& Data() const { return data_; }

  // Top view of the pages, the covers, the round spine with its shading and the caption
  // in the font's vertical-writing face.
  void Paint(win::Canvas& canvas) override;

 private:
  std::string caption_;
  std::uint32_t color_ = 0xFF0000;
  std::uint8_t colorRate_ = 85;
  FontDesc font_;
  TFolderList data_;
};
