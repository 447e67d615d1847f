// An album drawn as a book standing on the shelf: a windowless control with a shaded,
// round spine and the album's name written top to bottom. The book shows and edits an album
// of the library; its caption, colour, font and folders are the album's.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "album/album_library.h"
#include "win/font_desc.h"
#include "win/window.h"

class TBookShape : public win::GraphicControl {
 public:
  // A book for an album of the library (a new album of its own when none is given).
  explicit TBookShape(std::shared_ptr<TAlbum> album = nullptr);

  TAlbum& Album() const { return *album_; }
  const std::string& Caption() const { return album_->Caption; }
  void SetCaption(std::string caption);
  std::uint32_t Color() const { return album_->Color; }
  void SetColor(std::uint32_t color);
  // Shading percentage of the spine, 60..100; other values are held to that range.
  std::uint8_t ColorRate() const { return colorRate_; }
  void SetColorRate(int rate);
  const FontDesc& Font() const { return album_->Font; }
  void SetFont(const FontDesc& font);

  // The album's folders.
  TFolderList& Data() const { return album_->Folders; }

  // Top view of the pages, the covers, the round spine with its shading and the caption
  // in the font's vertical-writing face.
  void Paint(win::Canvas& canvas) override;
  // True when the caption is longer than the spine has room for (the end is cut off).
  bool CaptionCut() const;

 private:
  FontDesc VerticalFont() const;

  std::shared_ptr<TAlbum> album_;
  std::uint8_t colorRate_ = 85;
};
