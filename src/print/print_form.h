// The print dialog "印刷のプロパティ": the user picks one of the five print styles, ticks the
// album's folders to print, sees the current printer and paper, opens the printer setup, and
// looks at a scaled page that shows how the style's cells fill one sheet. Made once at start
// and reused; its print button runs the print job.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "album/album_file.h"
#include "controls/label3d.h"
#include "print/koumoku_size.h"
#include "print/qz_printer_setup_dialog.h"
#include "win/canvas.h"
#include "win/check_list_box.h"
#include "win/handle.h"
#include "win/owner_draw_combo_box.h"
#include "win/paint_box.h"
#include "win/pixel_buffer.h"
#include "win/shape.h"
#include "win/window.h"

class TGaugeForm;

// How the folder list shows a folder's path: its own name, then (in grey) the path, which
// starts with "見つかりません: " when the folder is not on the disk.
std::pair<std::string, std::string> FolderLine(const std::string& path);

class TPrintForm : public win::Window {
 public:
  // Builds the hidden dialog and its styles (FormCreate); touches no printer.
  TPrintForm();
  ~TPrintForm() override;

  // The five styles, in the style list's order.
  std::vector<TKoumokuSize> Styles;
  // The album's folders while the dialog is shown; the album owns them.
  const TFolderList* Folders = nullptr;
  // Preview pixels per printer dot.
  double PreviewScale = 1.0;
  // The printable area in printer dots, and its offset from the paper's corner.
  SIZE PrintableSize{0, 0};
  POINT PhysicalOffset{0, 0};

  // Lists the folders in the check list, all unchecked, and keeps the list.
  void SetFolders(const TFolderList& list);
  void SetFolderChecked(int index, bool checked);
  // The selected style's index and the style itself.
  int StyleIndex() const { return SizeListItem.ItemIndex(); }
  const TKoumokuSize& Style() const;
  // Draws the coloured layout diagram of a style into a bitmap, centred in target.
  void DrawStyleSample(win::MemoryBitmap& bitmap, const TKoumokuSize& style, const RECT& target) const;
  // Reads the paper's metrics and sizes the preview's page to it.
  void UpdatePaper();

  // Shows the dialog modally over owner (the main window when none) until it is closed;
  // FormShow runs first.
  void ShowModal(HWND owner = nullptr);
  // The progress dialog the print job shows; made and owned by the program.
  TGaugeForm* GaugeForm = nullptr;

  // Called once the dialog is on the screen, before its loop runs: tests act as a user here.
  std::function<void(TPrintForm&)> OnShown;
  // Closes the dialog shown by ShowModal.
  void Close();

  // Event handlers.
  void FormCreate();
  void FormShow();
  void SizeListItemDrawItem(const DRAWITEMSTRUCT& dis);
  void SizeListItemChange();
  void DirCheckListClick();
  void BitBtn1Click();
  // Runs the print job on the ticked folders.
  void PrintBtnClick();
  void PaintBox1Paint(win::Canvas& canvas);

  // The controls, by their designer names.
  TLabel3D Label3D1, Label3D2, Label3D5, SizeLabel;
  win::OwnerDrawComboBox SizeListItem;
  win::CheckListBox DirCheckList;
  win::Control PrinterNameMemo, BitBtn1, PrintBtn, BitBtn3;
  TQzPrinterSetupDialog PrinterSetupDialog1;
  PixelBuffer Image1;  // the sample picture of the style diagrams
  win::Shape ShadowShape;
  win::PaintBox PaintBox1;
  HMENU PopupMenu1() const { return popupMenu1_; }

  // Control ids.
  static constexpr int kSizeListItemId = 201, kDirCheckListId = 202, kPrinterNameMemoId = 203, kBitBtn1Id = 204,
                       kPrintBtnId = 205;
  // Where the preview panel's own coordinates start in the dialog.
  static constexpr int kPreviewLeft = 185;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormPaint();
  void ShowPrinterName();
  void SetButtonGlyph(win::Control& button, int index);

  win::Font font_;
  FontDesc fontDesc_;
  win::Menu popupMenu1_;
  win::Bitmap glyphs_[3];
  int modalResult_ = 0;
  // The printer's resolution and printable size in mm, read with the paper.
  int dpiX_ = 0, horzSizeMm_ = 0, vertSizeMm_ = 0;
  std::vector<std::pair<std::string, std::string>> folderLines_;  // how each folder shows
};
