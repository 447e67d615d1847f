// Pictures through Windows' codecs (WIC), timed in one process against a plain WIC decode of
// the same file (the codec's own pixel format, straight into one buffer, with a factory of its
// own each time), interleaved run by run:
//  1. the thumbnail, as folder loading makes it on a worker: the file read, decoded, sampled;
//  2. opening it in the viewer from the real main window's list, from the double-click to the
//     first paint that draws rows of the picture, and to the picture whole and painted;
//  3. the same for a flat picture of the same size, with its own plain decode: a picture that
//     decodes quicker, so more of its viewer's time is the window, which the decode on the
//     worker overlaps only where a core is free.
//
//   wic_bench <picture> <flat picture> [runs]
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "album/album_file.h"
#include "app/form1.h"
#include "bench_clock.h"
#include "catalogue/gauge_form.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/spi_bitmap.h"
#include "imaging/wic_image.h"
#include "viewer/view_form.h"
#include "viewer_wait.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/sjis.h"
#include "win/test_dialogs.h"
#include "win/test_files.h"
#include "win/text.h"

namespace {

// The reference: the file decoded by WIC into one buffer in the frame's own pixel format.
std::vector<std::uint8_t> PlainWicDecode(const std::wstring& file, UINT& width, UINT& height) {
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  std::vector<std::uint8_t> pixels;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)))
    throw Exception("WIC cannot decode the file");
  WICPixelFormatGUID format{};
  IWICComponentInfo* info = nullptr;
  IWICPixelFormatInfo* pixelInfo = nullptr;
  UINT bits = 0;
  frame->GetSize(&width, &height);
  frame->GetPixelFormat(&format);
  factory->CreateComponentInfo(format, &info);
  info->QueryInterface(IID_IWICPixelFormatInfo, reinterpret_cast<void**>(&pixelInfo));
  pixelInfo->GetBitsPerPixel(&bits);
  const UINT stride = (width * bits + 31) / 32 * 4;
  pixels.resize(static_cast<std::size_t>(stride) * height);
  if (FAILED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data())))
    throw Exception("WIC cannot decode the file");
  pixelInfo->Release();
  info->Release();
  frame->Release();
  decoder->Release();
  factory->Release();
  return pixels;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wic_bench picture flat-picture [runs]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::string picture = win::Narrow(argv[1]);
  const std::string flatPicture = win::Narrow(argv[2]);
  const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 7;
  try {
    InitPictureFormats();
    win::ScriptedDialogs dialogs;  // a message would stop the run: it is counted instead
    win::TempFolder lib, folder;
    const std::string name = std::string(sjis::ExtractFileName(picture));
    const std::string copy = folder.Path() + "\\" + name;
    folder.Write(copy, win::ReadFileBytes(picture));
    // The flat picture of the same size beside it: one colour decodes quicker, so its viewer is
    // more the window's time.
    const std::string flat = folder.Path() + "\\zz_" + std::string(sjis::ExtractFileName(flatPicture));
    folder.Write(flat, win::ReadFileBytes(flatPicture));
    TFolderList folders;
    folders.push_back({folder.Path(), std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"bench", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
    lib.Write(lib.Path() + "\\Quiran.Alb", WriteAlbumLibrary(albums));
    TForm1 form(lib.Path() + "\\Quiran.Alb");
    TGaugeForm gauge;
    form.GaugeForm = &gauge;
    form.Show();
    form.BookShape1Click(*form.Books.at(0));
    HWND tree = form.TreeView1.Handle();
    form.TreeView1.Select(reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form.RootNode))));
    form.TreeView1Click();
    HWND list = form.ListBox1.Handle();
    if (form.Folder.Items.size() != 2) throw Exception("the pictures are not listed");
    const std::wstring caption = win::Wide(copy);
    const TThumbnailDecoder decoder = ThumbnailDecoderFor(copy);
    if (decoder != TThumbnailDecoder::Wic) throw Exception("the picture does not go to WIC");

    // Opens the viewer of list item 0 (the picture) or 1 (the flat one) as a double-click does
    // and waits for its picture, whole and painted.
    auto open = [&](int item = 0, ViewerTimes* times = nullptr) {
      const double start = Now();
      SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
      SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
      HWND view = FindWindowW(nullptr, item == 0 ? caption.c_str() : win::Wide(flat).c_str());
      if (!view) throw Exception("the viewer did not open");
      const ViewerTimes t = WaitForViewer(view, start);
      if (times) *times = t;
      return view;
    };
    auto close = [](HWND view) {
      SendMessageW(view, WM_CLOSE, 0, 0);
      win::Application::ProcessMessages();
    };
    auto thumbnail = [&] {
      // On a thread of its own, as folder loading makes thumbnails on its workers.
      bool made = false;
      std::thread([&] {
        try {
          made = !MakeThumbnailBox(TThumbnailDecoder::Wic, copy, 24, 0xC8D0D4).Box.Empty();
        } catch (...) {
        }
      }).join();
      if (!made) throw Exception("the thumbnail was not made");
    };
    UINT width = 0, height = 0;
    // One untimed round of each warms the file cache, the codecs and the allocator.
    close(open());
    thumbnail();
    PlainWicDecode(caption, width, height);
    close(open(1));
    std::vector<double> plain, thumbs, opened, firstRows, bars, read, decode, flatPlain, window;
    for (int i = 0; i < runs; ++i) {
      // Where the time goes: the file read whole, then decoded from memory.
      double start = Now();
      const std::vector<std::uint8_t> bytes = win::ReadFileBytes(copy);
      read.push_back(Now() - start);
      start = Now();
      DecodeWic(bytes.data(), bytes.size());
      decode.push_back(Now() - start);
    }
    for (int i = 0; i < runs; ++i) {
      double start = Now();
      PlainWicDecode(caption, width, height);
      plain.push_back(Now() - start);
      start = Now();
      thumbnail();
      thumbs.push_back(Now() - start);
      ViewerTimes times;
      HWND view = open(0, &times);
      firstRows.push_back(times.FirstRows);
      opened.push_back(times.Complete);
      bars.push_back(times.Bars);
      close(view);
      start = Now();
      UINT flatWidth = 0, flatHeight = 0;
      PlainWicDecode(win::Wide(flat), flatWidth, flatHeight);
      flatPlain.push_back(Now() - start);
      view = open(1, &times);
      window.push_back(times.Complete);
      close(view);
    }
    const double p = Median(plain), t = Median(thumbs), v = Median(opened);
    std::printf("picture: %s, %u x %u, %d runs each, medians\n", name.c_str(), width, height, runs);
    std::printf("plain WIC decode, file to buffer:     %8.1f ms\n", p * 1000);
    std::printf("thumbnail (read, decode, sample):     %8.1f ms   ratio %.3f (target <= 1.2)\n", t * 1000, t / p);
    std::printf("viewer, double-click to first rows:   %8.1f ms   ratio %.3f\n", Median(firstRows) * 1000,
                Median(firstRows) / p);
    std::printf("viewer, to the whole picture painted: %8.1f ms   ratio %.3f (target <= 1.2)\n", v * 1000, v / p);
    std::printf("  then the scroll bars in place:      %8.1f ms\n", Median(bars) * 1000);
    std::printf("  each run (plain / viewer, ms):");
    for (std::size_t i = 0; i < opened.size(); ++i) std::printf(" %.0f/%.0f", plain[i] * 1000, opened[i] * 1000);
    std::printf("\n");
    std::printf("  where the viewer's time goes: a flat PNG of that size, plain decode %.1f ms, viewer %.1f ms\n",
                Median(flatPlain) * 1000, Median(window) * 1000);
    std::printf("  for comparison: file read whole %.1f ms, then decoded from memory %.1f ms\n", Median(read) * 1000,
                Median(decode) * 1000);
    if (!dialogs.messages.empty())
      std::printf("messages shown: %zu (first: %s)\n", dialogs.messages.size(), dialogs.messages[0].text.c_str());
    return t / p <= 1.2 && v / p <= 1.2 && dialogs.messages.empty() ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
