// Printing speed: a folder of photographs printed as a contact sheet in style 1 on the PDF
// printer. For every picture, in one run, interleaved: Quiran's own work for its cell (load at
// the printed size, draw the picture, its name and its size line on the printer) against a
// plain full decode of the same file. Then the whole job once, spooler included, for the
// record. Prints the figures and their ratio.
//
//   print_bench <folder> [runs]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "imaging/graphics.h"
#include "print/print_form.h"
#include "print/print_job.h"
#include "print/printer.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/error.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

void UsePdfPrinter() {
  const auto& names = Printer().Printers();
  auto it = std::find(names.begin(), names.end(), std::wstring(L"PDF"));
  if (it == names.end()) throw Exception("Wine does not list the PDF printer (scripts/setup adds it)");
  Printer().SetPrinterIndex(static_cast<int>(it - names.begin()));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: print_bench folder [runs]\n");
    return 2;
  }
  std::string folder = win::Narrow(argv[1]);
  if (!sjis::EndsWithChar(folder, '\\')) folder += '\\';
  const int runs = argc > 2 ? _wtoi(argv[2]) : 3;
  // The progress dialog's bar is a common control.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  try {
    TQzPrinter qz;
    UsePdfPrinter();
    TPrintForm form;
    TGaugeForm gauge;
    form.SizeListItem.SetItemIndex(1);
    const TKoumokuSize& style = form.Style();
    TFileItems files;
    const int count = ScanFolder(folder, files);
    if (count == 0) throw Exception("no pictures in " + folder);

    const print::JobLayout L = LayoutOnPrinter(style, qz.Handle());
    // Both sides once, untimed: the file cache and the decoder's tables are warm for both.
    LoadPictureFile(folder + files[0].DiskName);
    std::vector<double> cells, decodes;
    int width = 0, height = 0;
    for (int r = 0; r < runs; ++r) {
      qz.BeginDoc("QuiranBench");
      for (int i = 0; i < count; ++i) {
        if (i > 0 && i % L.CellsPerPage == 0) qz.NewPage();
        const std::string path = folder + files[static_cast<std::size_t>(i)].DiskName;
        win::Canvas canvas = qz.Canvas();
        double start = Now();
        PrintCell(canvas, style, L, L.CellCorner(i % L.CellsPerPage), path, files[static_cast<std::size_t>(i)].Name);
        cells.push_back(Now() - start);
        start = Now();
        PixelBuffer full = LoadPictureFile(path);
        decodes.push_back(Now() - start);
        width = full.Width(), height = full.Height();
      }
      qz.Abort();  // the spooler is not what is measured here
    }
    const double a = Median(cells), b = Median(decodes);

    // The whole job as the print button runs it, spooler included.
    TFolderList folders;
    folders.push_back({folder, nullptr});
    form.SetFolders(folders);
    form.SetFolderChecked(0, true);
    double start = Now();
    PrintCheckedFolders(form, gauge, "QuiranBench");
    const double job = Now() - start;

    std::printf("%d pictures of %d x %d, style 1 on the PDF printer (%d dpi), %d runs, medians\n", count, width,
                height, L.DpiX, runs);
    std::printf("Quiran's cell (load at printed size, draw picture and texts): %8.1f ms\n", a * 1000);
    std::printf("plain full decode of the same file:                          %8.1f ms\n", b * 1000);
    std::printf("whole job with the spooler, per picture:                     %8.1f ms\n", job * 1000 / count);
    std::printf("ratio (cell / full decode): %.3f (target <= 1.0)\n", a / b);
    return a / b <= 1.0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
