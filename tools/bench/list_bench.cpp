// Drawing the thumbnail list: the list control as large as the main window's list on a
// maximized window, at the largest thumbnail size with the remarks column, every item with a
// thumbnail, a date and a comment of two lines, drawn as the main window draws them. Times one full repaint of the list (every visible item drawn), median of the
// runs, against the 10 ms budget; then the same deep inside a folder of 15,000 pictures and
// at the top of one of 15, which must not differ.
//
//   list_bench [runs]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_layout.h"
#include "bench_clock.h"
#include "bench_window.h"
#include "catalogue/list_box_width.h"
#include "catalogue/list_item_draw.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/test_files.h"

namespace {

TFileItems Items(int n, const std::vector<TThumbnailPtr>& thumbs) {
  TFileItems items;
  items.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    TFileItem item;
    item.Name = "IMG_" + std::to_string(10000 + i) + ".JPG";
    item.Entry = std::make_unique<TPictureEntry>();
    item.Entry->Thumbnail = thumbs[static_cast<std::size_t>(i) % thumbs.size()];
    item.Entry->PixelWidth = 4000;
    item.Entry->PixelHeight = 3000;
    item.Entry->Date = 45000 + i % 400;
    item.Entry->Comment = "海辺の夕焼け、三脚を立てて\r\n撮った" + std::to_string(i) + "枚目";
    items.push_back(std::move(item));
  }
  return items;
}

// The list and its items, drawn as the main window's ListBox1DrawItem draws them.
struct List {
  TListBoxWidth ListBox1;
  TFileItems Items;
  TListItemDrawer Drawer;
  void SetItems(TFileItems items) {
    Items = std::move(items);
    ListBox1.SetCount(static_cast<int>(Items.size()));
  }
};

struct Figures {
  double Ms;
  int Drawn;
};

// One repaint of the whole list, `runs` times: the median, and the items each drew.
Figures Repaint(List& f, int runs) {
  int drawn = 0;
  auto draw = f.ListBox1.OnDrawItem;
  f.ListBox1.OnDrawItem = [&](const DRAWITEMSTRUCT& d) {
    ++drawn;
    draw(d);
  };
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    drawn = 0;
    InvalidateRect(f.ListBox1.Handle(), nullptr, TRUE);
    const double t = Now();
    UpdateWindow(f.ListBox1.Handle());
    GdiFlush();
    times.push_back(Now() - t);
  }
  f.ListBox1.OnDrawItem = draw;
  return {Median(times) * 1000, drawn};
}

// One item's parts, each `n` times into a bitmap: microseconds per item.
void Parts(const TFileItem& item, int n) {
  TListItemDrawer drawer;
  win::MemoryBitmap bitmap(294, 131);
  const RECT r{0, 0, 294, 131};
  TFileItem bare;
  bare.Name = item.Name;
  bare.Entry = std::make_unique<TPictureEntry>(*item.Entry);
  bare.Entry->Thumbnail = nullptr;
  auto time = [&](auto&& fn) {
    const double t = Now();
    for (int i = 0; i < n; ++i) fn();
    GdiFlush();
    return (Now() - t) / n * 1e6;
  };
  const double decode = time([&] { item.Entry->Thumbnail->Pixels(); });
  const double text = time([&] { drawer.Draw(bitmap.Dc(), r, bare, false, 144, 108, true, 32); });
  const double full = time([&] { drawer.Draw(bitmap.Dc(), r, item, false, 144, 108, true, 32); });
  std::printf("one item into a bitmap: %.0f us in all; without its thumbnail %.0f us; the thumbnail's decode %.0f us\n",
              full, text, decode);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? _wtoi(argv[1]) : 21;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  InitPictureFormats();
  try {
    BenchWindow host("list_bench", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    ShowWindow(host.Handle(), SW_SHOWMAXIMIZED);
    UpdateWindow(host.Handle());
    // Where the main window puts its list in a client area of this size (its cool bar and
    // status bar taken as 28 and 20 pixels high, the panel's bevel as 2 on each side).
    RECT client{};
    GetClientRect(host.Handle(), &client);
    const app::MainPanes panes = app::LayoutMain(client.right, client.bottom, 28, 20, app::kPanel1Width);
    const app::Box box = app::LayoutPanel2(panes.Panel2.W - 4, panes.Panel2.H - 4, app::kTreeHeight).List;
    List f;
    f.ListBox1.Create(host.Handle(), 1, box.X, box.Y, box.W, box.H);
    const app::Extent item = app::ListItemSize(5, true), thumb = app::ThumbSizeOf(5);
    f.ListBox1.SetItemWidth(item.W);
    f.ListBox1.SetItemHeight(item.H);
    f.ListBox1.OnDrawItem = [&f, thumb](const DRAWITEMSTRUCT& d) {
      if (d.itemID >= f.Items.size()) return;
      f.Drawer.Draw(d.hDC, d.rcItem, f.Items[d.itemID], d.itemState & ODS_SELECTED, thumb.W, thumb.H, true, 32);
      if (d.itemState & ODS_FOCUS) DrawFocusRect(d.hDC, &d.rcItem);
    };
    std::vector<TThumbnailPtr> thumbs;
    for (std::uint32_t i = 0; i < 60; ++i)
      thumbs.push_back(std::make_shared<TThumbnail>(testpic::PhotoLike(TThumbnail::kWidth, TThumbnail::kHeight, i + 1)));
    const RECT list = f.ListBox1.ClientRect();

    f.SetItems(Items(15000, thumbs));
    win::Application::ProcessMessages();
    const Figures top = Repaint(f, runs);
    SendMessageW(f.ListBox1.Handle(), LB_SETTOPINDEX, 14000, 0);
    win::Application::ProcessMessages();
    const Figures deep = Repaint(f, runs);

    Parts(f.Items[0], 200);
    f.SetItems(Items(15, thumbs));
    SendMessageW(f.ListBox1.Handle(), LB_SETTOPINDEX, 0, 0);
    win::Application::ProcessMessages();
    const Figures few = Repaint(f, runs);

    std::printf("list %ld x %ld pixels, items 294 x 131 (size 5, remarks shown), median of %d repaints\n",
                list.right, list.bottom, runs);
    std::printf("15,000 items, first screen: %d items drawn in %.2f ms, ratio to the 10 ms budget %.2f\n",
                top.Drawn, top.Ms, top.Ms / 10);
    std::printf("15,000 items, at item 14,000: %d items drawn in %.2f ms, ratio to the 10 ms budget %.2f\n",
                deep.Drawn, deep.Ms, deep.Ms / 10);
    // A folder of 15 fills less of the screen: compare the time per item drawn.
    const double perDeep = deep.Ms / deep.Drawn, perFew = few.Ms / few.Drawn;
    std::printf("15 items: %d items drawn in %.2f ms; per item %.3f ms against %.3f ms at item 14,000 of 15,000, "
                "ratio %.2f\n",
                few.Drawn, few.Ms, perFew, perDeep, perDeep / perFew);
    f.SetItems({});
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    DonePictureFormats();
    return 1;
  }
  DonePictureFormats();
  return 0;
}
