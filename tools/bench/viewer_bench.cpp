// The viewer, with a shown folder holding one large photograph:
//  1. opening it as the list's double-click does, to the first paint that draws rows of the
//     picture, to the picture whole and painted and to the scroll bars that come after it,
//     against a plain in-process libjpeg-turbo decode of the same file into a buffer (same
//     library build), interleaved in one run;
//  2. dragging a 400 % view of it in a 752 x 539 window: the time of each step, the mouse move
//     and the repaint it brings, and a full repaint of the window for comparison.
//
//   viewer_bench <picture.jpg> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/open_folder_item.h"
#include "bench_clock.h"
#include "catalogue/gauge_form.h"
#include "catalogue/shown_folder.h"
#include "imaging/spi_bitmap.h"
#include "plain_decode.h"
#include "viewer_wait.h"
#include "viewer/view_form.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/sjis.h"
#include "win/test_dialogs.h"
#include "win/test_files.h"
#include "win/text.h"

namespace {

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: viewer_bench picture.jpg [runs]\n");
    return 2;
  }
  const std::string picture = win::Narrow(argv[1]);
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  try {
    InitPictureFormats();
    win::ScriptedDialogs dialogs;  // a message would stop the run: it is counted instead
    // A shown folder holding a copy of the picture, its thumbnail made, opened as the main
    // window opens a list item (the window-menu entry's glyph is made and given back here).
    win::TempFolder folder;
    const std::string name = std::string(sjis::ExtractFileName(picture));
    folder.Write(folder.Path() + "\\" + name, win::ReadFileBytes(picture));
    TGaugeForm gauge;
    TShownFolder shown;
    shown.Load(folder.Path(), gauge, nullptr, 24);
    if (shown.Items.size() != 1) throw Exception("the folder does not show its picture");

    // Opens the viewer as a double-click does and waits for its picture, whole and painted.
    auto open = [&](ViewerTimes* times = nullptr) {
      const double start = Now();
      TViewForm& opened = OpenFolderItem(
          shown, folder.Path(), 0, 24, [](const std::string&, win::Bitmap) { return 1; }, [](int) {});
      const double shown = Now() - start;
      HWND view = opened.Handle();
      if (!view || !IsWindowVisible(view)) throw Exception("the viewer did not open");
      ViewerTimes t = WaitForViewer(view, start);
      t.Shown = shown;
      if (times) *times = t;
      return view;
    };
    auto close = [](HWND view) {
      SendMessageW(view, WM_CLOSE, 0, 0);
      win::Application::ProcessMessages();
    };
    close(open());  // one untimed round of each warms the file cache and the allocator
    int width = 0, height = 0;
    PlainDecode(picture, width, height);
    std::vector<double> shownAt, firstRows, opened, bars, plain;
    for (int i = 0; i < runs; ++i) {
      ViewerTimes t;
      HWND view = open(&t);
      shownAt.push_back(t.Shown);
      firstRows.push_back(t.FirstRows);
      opened.push_back(t.Complete);
      bars.push_back(t.Bars);
      close(view);
      const double start = Now();
      PlainDecode(picture, width, height);
      plain.push_back(Now() - start);
    }

    // Dragging a 400 % view, from the middle of the picture towards its bottom-right corner.
    HWND view = open();
    auto* viewer = dynamic_cast<TViewForm*>(win::Window::FromHandle(view));
    if (!viewer) throw Exception("no viewer object");
    if (viewer->Picture.Width() != width || viewer->Picture.Height() != height)
      throw Exception("the viewer's picture is not the plain decode's size" +
                      (dialogs.messages.empty() ? std::string() : ": " + dialogs.messages[0].text));
    viewer->ExecuteCommand(TViewForm::ZoomCommand(400));
    SetWindowPos(view, nullptr, 20, 20, 752, 539, SWP_NOZORDER);
    const viewer::Extent paint = viewer->PaintSize();
    viewer->SetScrollPosition(SB_HORZ, paint.W / 2);
    viewer->SetScrollPosition(SB_VERT, paint.H / 2);
    UpdateWindow(view);
    RECT client{};
    GetClientRect(view, &client);
    std::vector<double> steps, full;
    POINT mouse{client.right / 2, client.bottom / 2};
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(mouse.x, mouse.y));
    for (int i = 0; i < 150; ++i) {
      // The mouse goes back and forth across the window, as a hand does.
      const int dx = (i / 25) % 2 ? 9 : -9, dy = (i / 25) % 2 ? 5 : -5;
      mouse = {mouse.x + dx, mouse.y + dy};
      const double start = Now();
      SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(mouse.x, mouse.y));
      UpdateWindow(view);
      GdiFlush();
      steps.push_back(Now() - start);
    }
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(mouse.x, mouse.y));
    for (int i = 0; i < 20; ++i) {
      const double start = Now();
      InvalidateRect(view, nullptr, FALSE);
      UpdateWindow(view);
      GdiFlush();
      full.push_back(Now() - start);
    }
    close(view);

    const double first = Median(firstRows), a = Median(opened), b = Median(plain);
    const double worst = *std::max_element(steps.begin(), steps.end());
    std::printf("picture: %s, %d x %d, %d runs each, medians\n", name.c_str(), width, height, runs);
    std::printf("plain libjpeg-turbo decode, file to buffer:  %8.1f ms\n", b * 1000);
    std::printf("double-click to first rows on the screen:    %8.1f ms   ratio %.3f (target <= 0.3)\n", first * 1000,
                first / b);
    std::printf("double-click to the whole picture painted:   %8.1f ms   ratio %.3f (target <= 1.1)\n", a * 1000, a / b);
    std::printf("  then the scroll bars in place:               %8.1f ms\n", Median(bars) * 1000);
    std::printf("  each run (window shown / first rows / whole / scroll bars, ms):");
    for (std::size_t i = 0; i < opened.size(); ++i)
      std::printf(" %.0f/%.0f/%.0f/%.0f", shownAt[i] * 1000, firstRows[i] * 1000, opened[i] * 1000, bars[i] * 1000);
    std::printf("\n");
    std::printf("dragging at 400 %% in a %ld x %ld client area (752 x 539 window), %zu steps:\n", client.right,
                client.bottom, steps.size());
    std::printf("  per step (move and repaint): median %.2f ms, 95th percentile %.2f ms, worst %.2f ms (target < 15)\n",
                Median(steps) * 1000, Percentile(steps, 0.95) * 1000, worst * 1000);
    std::printf("  whole client area repainted:  median %.2f ms\n", Median(full) * 1000);
    if (!dialogs.messages.empty())
      std::printf("messages shown: %zu (first: %s)\n", dialogs.messages.size(), dialogs.messages[0].text.c_str());
    return first / b <= 0.3 && a / b <= 1.1 && worst < 0.015 && dialogs.messages.empty() ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
