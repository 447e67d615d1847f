#include "print/print_job.h"

#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "print/print_form.h"
#include "print/print_layout.h"
#include "print/print_picture.h"
#include "print/printer.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/sjis.h"

namespace {

// A font of the style at its point size on a printer of dpiY dots per inch, counted in the
// printer's dots so that the canvas draws it at that height as it stands.
FontDesc OnPrinter(const FontDesc& font, int dpiY) {
  FontDesc f = font;
  f.PixelsPerInch = dpiY;
  f.SetPoints(font.Points());
  f.Color = 0;
  return f;
}

// The busy cursor for the run, given back however it ends.
struct BusyCursor {
  BusyCursor() { win::Application::SetBusyCursor(true); }
  ~BusyCursor() { win::Application::SetBusyCursor(false); }
};

}  // namespace

void PrintCheckedFolders(TPrintForm& form, TGaugeForm& gauge, const std::string& title) {
  TFileItems files;
  const TKoumokuSize& style = form.Style();
  TQzPrinter& printer = QzPrinter();
  const print::JobLayout L = LayoutOnPrinter(style, printer.Handle());
  if (L.Empty()) throw Exception("この用紙にはこのスタイルのセルが入りません。");

  printer.BeginDoc(title);
  BusyCursor busy;
  bool pageStarted = false;
  try {
    for (int f = 0; f < form.DirCheckList.Count(); ++f) {
      if (!form.DirCheckList.Checked(f)) continue;
      std::string folder = form.DirCheckList.Item(f);
      if (!sjis::EndsWithChar(folder, '\\')) folder += '\\';
      const int count = ScanFolder(folder, files);
      gauge.SetMaxCount(count);
      gauge.SetDirName(folder);
      gauge.Show(TGaugeForm::kPrintCaption);
      for (int i = 0; i < count; ++i) {
        win::Canvas canvas = printer.Canvas();
        if (i % L.CellsPerPage == 0) {
          // Every folder begins on a fresh page; a long one goes on over more pages, each
          // under the same heading.
          if (pageStarted) printer.NewPage();
          pageStarted = true;
          canvas.TextOut(L.Heading.X, L.Heading.Y, folder, OnPrinter(style.CaptionArea.Font, L.DpiY));
        }
        gauge.SetPosition(i + 1);
        win::Application::ProcessMessages();
        if (gauge.Cancelled()) throw EUserCancel("印刷処理を中止します。");
        const TFileItem& file = files[static_cast<std::size_t>(i)];
        PrintCell(canvas, style, L, L.CellCorner(i % L.CellsPerPage), folder + file.DiskName, file.Name);
      }
    }
  } catch (const EUserCancel&) {
    gauge.Hide();
    printer.Abort();
    throw;
  } catch (const EPrinter& e) {
    // The spooler refused the document: nothing of it is printed.
    gauge.Hide();
    printer.Abort();
    throw EPrinter("印刷できませんでした。印刷を中止します。\r\n" + e.Message());
  } catch (...) {
    // Anything else ends the document, so that what was drawn so far is printed.
    gauge.Hide();
    try {
      if (pageStarted) printer.EndDoc();
    } catch (...) {
    }
    printer.Abort();  // nothing when the document has ended
    throw;
  }
  gauge.Hide();
  if (!pageStarted) {
    // Only empty folders: no blank sheet comes out of the printer.
    printer.Abort();
    win::CurrentDialogs().MessageDlg(win::Application::ActiveOwner(), "印刷する画像がありません。",
                                     win::Application::Title(), MB_OK | MB_ICONINFORMATION);
    return;
  }
  printer.EndDoc();
}

print::JobLayout LayoutOnPrinter(const TKoumokuSize& style, HDC dc) {
  const print::Rect cell = GetCellRect(style);
  return print::LayoutJob(style.PictureRect, cell.Right, cell.Bottom, GetDeviceCaps(dc, LOGPIXELSX),
                          GetDeviceCaps(dc, LOGPIXELSY), GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
                          GetDeviceCaps(dc, HORZSIZE), GetDeviceCaps(dc, VERTSIZE));
}

void PrintCell(win::Canvas& canvas, const TKoumokuSize& style, const print::JobLayout& L, print::Point cell,
               const std::string& path, const std::string& name) {
  const int boxX = cell.X + print::MmToDots(style.PictureRect.Left, L.DpiX);
  const int boxY = cell.Y + print::MmToDots(style.PictureRect.Top, L.DpiY);
  std::string size;
  try {
    const TPrintPicture picture = LoadPrintPicture(path, L.BoxWidth, L.BoxHeight);
    if (picture.Pixels.Empty()) throw EInvalidGraphic("画像に大きさがありません");
    const print::Rect place = picture.Place.Offset(boxX, boxY);
    canvas.DrawPixels(picture.Pixels, place.Left, place.Top, place.Width(), place.Height(), HALFTONE);
    size = Format("SIZE:W%dxH%d(Dot)", {std::to_string(picture.Width), std::to_string(picture.Height)});
  } catch (const std::exception&) {
    // A picture that cannot be read, or has no size, keeps its name and an empty box, and the
    // job goes on.
    const int width = std::max(1, L.DpiX * 3 / 254);  // a 0.3 mm grey outline
    win::Pen pen(CreatePen(PS_SOLID, width, RGB(128, 128, 128)));
    win::SelectGuard p(canvas.Dc(), pen), b(canvas.Dc(), GetStockObject(NULL_BRUSH));
    Rectangle(canvas.Dc(), boxX, boxY, boxX + L.BoxWidth, boxY + L.BoxHeight);
  }
  const print::Rect caption = print::AreaToDots(style.CaptionArea.Rect, L.DpiX, L.DpiY, cell.X, cell.Y);
  canvas.TextRect({caption.Left, caption.Top, caption.Right, caption.Bottom}, caption.Left, caption.Top, name,
                  OnPrinter(style.CaptionArea.Font, L.DpiY));
  if (size.empty()) return;
  const print::Rect line = print::AreaToDots(style.SizeArea.Rect, L.DpiX, L.DpiY, cell.X, cell.Y);
  canvas.TextRect({line.Left, line.Top, line.Right, line.Bottom}, line.Left, line.Top, size,
                  OnPrinter(style.SizeArea.Font, L.DpiY));
}
