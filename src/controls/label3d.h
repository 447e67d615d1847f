// A windowless text label drawn in relief: raised, lowered, in custom colours, or with a
// drop shadow at a chosen offset. The dialogs use it for their captions.
#pragma once
#include <cstdint>
#include <string>

#include "controls/label3d_geometry.h"
#include "win/font_desc.h"
#include "win/window.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel3D : public win::GraphicControl {
 public:
  TLabel3D();

  // The face colour is the font's colour: reading and writing go to the font.
  std::uint32_t MainColor() const { return font_.Color; }
  void SetMainColor(std::uint32_t color);
  // Colour of the layer up and to the left.
  std::uint32_t UpColor() const { return upColor_; }
  void SetUpColor(std::uint32_t color);
  // Colour of the layer down and to the right, and of the shadow of lsShadow.
  std::uint32_t DownColor() const { return downColor_; }
  void SetDownColor(std::uint32_t color);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TLabelStyle Style() const { return style_; }
  void SetStyle(TLabelStyle style);
  int ShadowXOffset() const { return shadowX_; }
  void SetShadowXOffset(int x);
  int ShadowYOffset() const { return shadowY_; }
  void SetShadowYOffset(int y);

  const FontDesc& Font() const { return font_; }
  void SetFont(const FontDesc& font);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // Sets the height from the font (and the width from the caption when AutoSize is on),
  // then draws the lower layer, the upper layer (not for lsShadow) and the face.
  void Paint(win::Canvas& canvas) override;

 private:
  FontDesc font_;
  std::string caption_;
  std::uint32_t upColor_ = 0x808080;
  std::uint32_t downColor_ = 0xFFFFFF;
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
  TLabelStyle style_ = lsCustom;
  int shadowX_ = 0, shadowY_ = 0;
};
