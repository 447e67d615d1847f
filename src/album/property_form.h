// The album properties dialog: the album's name, cover colour and caption font, with a
// sample of how the name will look. Made once and reused; it keeps its values between uses,
// also after Cancel.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/label3d.h"
#include "win/font_desc.h"
#include "win/handle.h"
#include "win/window.h"

// A panel filled with one colour, optionally showing a caption in a font; a click on it is
// reported through OnClick. The dialog's colour items and its sample are such panels.
class TColorPanel : public win::Window {
 public:
  void Create(HWND parent, int id, int x, int y, int w, int h, bool lowered);
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const FontDesc& Font() const { return font_; }
  void SetFont(const FontDesc& font);
  std::function<void(TColorPanel&)> OnClick;
  int Tag = 0;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint();
  std::uint32_t color_ = 0xFFFFFF;
  std::string caption_;
  FontDesc font_;
  bool lowered_ = false;
  bool pressed_ = false;
};

class TPropertyForm : public win::Window {
 public:
  // Builds the hidden dialog and gives it its start values (FormCreate).
  TPropertyForm();
  ~TPropertyForm() override;

  const std::string& AlbumCaption() const { return albumCaption_; }
  std::uint32_t CoverColor() const { return coverColor_; }
  const FontDesc& AlbumFont() const { return albumFont_; }

  void SetAlbumCaption(const std::string& text);
  void SetCoverColor(std::uint32_t color);
  // Takes a copy of the font; the face list selects its face (nothing when not listed) and
  // the sample shows it at 12 points.
  void SetAlbumFont(const FontDesc& font);

  // Shows the dialog modally over owner (the main window when none): the owner is disabled
  // and a local message loop runs until OK, Cancel, Enter, Esc or the close box ends it.
  // True when closed with OK.
  bool Execute(HWND owner = nullptr);

  // Called by Execute once the dialog is on the screen, before its loop runs: tests drive
  // the dialog from here as a user would.
  std::function<void(TPropertyForm&)> OnShown;

  // The faces offered: those with a vertical-writing "@" form, without the "@".
  const std::vector<std::string>& FaceNames() const { return faces_; }

  // The controls, for tests and for keyboard focus.
  HWND CaptionEdit() const { return captionEdit_.Handle(); }
  HWND FontName() const { return fontName_.Handle(); }
  HWND OkButton() const { return okButton_.Handle(); }
  HWND CancelButton() const { return cancelButton_.Handle(); }
  TColorPanel& CoverColorItem() { return coverColorItem_; }
  TColorPanel& FontColorItem() { return fontColorItem_; }
  TColorPanel& SamplePanel() { return samplePanel_; }
  TLabel3D& Label(int i) { return labels_[i - 1]; }

  // Event handlers.
  void FormCreate();
  void CaptionEditChange();
  void FontNameChange();
  void CoverColorItemClick(TColorPanel& sender);

  static constexpr int kCaptionEditId = 101, kFontNameId = 102, kCoverColorId = 103, kFontColorId = 104,
                       kSampleId = 105;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormPaint();
  void CloseWith(int result);
  static std::vector<std::string> VerticalFaces();

  win::Font dialogFont_;
  std::string albumCaption_;
  std::uint32_t coverColor_ = 0xFF0000;
  FontDesc albumFont_;
  std::vector<std::string> faces_;
  int modalResult_ = 0;

  win::Control captionEdit_, fontName_, okButton_, cancelButton_;
  TColorPanel coverColorItem_, fontColorItem_, samplePanel_;
  TLabel3D labels_[5];
};
