#include "app/open_folder_item.h"

#include <algorithm>
#include <future>
#include <memory>
#include <vector>

#include "catalogue/shown_folder.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
#include "imaging/picture_errors.h"
#include "imaging/resample.h"
#include "imaging/wic_image.h"
#include "viewer/row_decoder.h"
#include "viewer/view_form.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/file_io.h"

namespace {

// A menu glyph: the thumbnail reduced, as a bitmap of its own. The full 144 x 108 would make
// every entry of the window menu as tall as a thumbnail.
win::Bitmap GlyphOf(const TThumbnail& thumbnail) {
  const PixelBuffer pixels = ResamplePixels(thumbnail.Pixels(), kMenuGlyphWidth, kMenuGlyphHeight);
  BITMAPINFO bi = win::Dib24Info(pixels.Width(), pixels.Height());
  void* bits = nullptr;
  win::Bitmap glyph(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!glyph || !bits) throw Exception("ビットマップを作成できません");
  std::copy(pixels.Data(), pixels.Data() + pixels.Size(), static_cast<std::uint8_t*>(bits));
  return glyph;
}

// A JPEG's first bytes, and the rest of its file to read after them.
struct JpegStart {
  std::vector<std::uint8_t> Head;
  JpegRowReader::Source Rest;
  JpegSize Size;  // as seen
};

// The size comes from the start of the file: the whole file is read here only when its start
// is not enough (markers before the picture longer than the start).
JpegStart ReadJpegStart(const std::string& path) {
  JpegStart start{{}, FileSource(path), {}};
  start.Head = ReadJpegHead(start.Rest);
  try {
    start.Size = ReadJpegSize(start.Head.data(), start.Head.size());
  } catch (const Exception&) {
    start.Head = win::ReadFileBytes(path);
    start.Rest = [](std::uint8_t*, std::size_t) -> std::size_t { return 0; };
    start.Size = ReadJpegSize(start.Head.data(), start.Head.size());
  }
  return start;
}

}  // namespace

TViewForm& OpenFolderItem(TShownFolder& shown, const std::string& folder, std::size_t item, int colorDepth,
                          const std::function<int(const std::string&, win::Bitmap)>& addMenuItem,
                          const std::function<void(int)>& removeMenuItem, POINT at) {
  const std::string path = FolderFilePath(folder, shown.Items.at(item).DiskName);
  // A picture that cannot be read is named in the message: the user may have several open.
  auto named = [path](auto&& load) -> decltype(auto) {
    try {
      return load();
    } catch (const EInvalidGraphic& e) {
      throw EInvalidGraphic(PictureFileErrorText(path, e.Message()));
    }
  };
  // A JPEG, which Quiran decodes itself on any thread, is decoded on the viewer's worker
  // while the window, sized from the file's header, is made and shown, and it paints the rows
  // as they come: making and showing a window takes about as long as decoding a large
  // photograph on some systems (Wine). So is a picture of Windows' codecs whose header tells
  // its size (PNG and GIF); for the others the window waits for the picture, decoded on a
  // worker meanwhile, before it is sized and shown. Other kinds load on this thread.
  viewer::Extent size;
  const TGraphicClass* kind = nullptr;
  std::unique_ptr<TRowDecoder> decoder;
  std::future<TPicture> decoding;
  const TThumbnailDecoder format = ThumbnailDecoderFor(path);
  if (format == TThumbnailDecoder::Jpeg) {
    JpegStart start = named([&] { return ReadJpegStart(path); });
    size = {start.Size.Width, start.Size.Height};
    kind = &TJPEGImage::Class;
    decoder = std::make_unique<TRowDecoder>(
        [named, head = std::move(start.Head), rest = std::move(start.Rest)](TRowsTarget& target) mutable {
          named([&] { DecodeJpegRows(std::move(head), std::move(rest), target); });
        });
  } else if (format == TThumbnailDecoder::Wic) {
    std::uint8_t head[32] = {};
    TFileStream file(path);
    if (std::optional<WicSize> header = WicHeaderSize(head, file.Read(head, sizeof head))) {
      size = {header->Width, header->Height};
      kind = &TWICImage::Class;
      decoder = std::make_unique<TRowDecoder>(
          [named, path](TRowsTarget& target) { named([&] { DecodeWicRows(path, target); }); });
    } else {
      decoding = std::async(std::launch::async, [path] {
        TPicture picture;
        picture.LoadFromFile(path);
        return picture;
      });
    }
  }
  const int others = TViewForm::Count();
  TViewForm& view = TViewForm::Create();
  view.HoldScrollBars();
  if (at.x != CW_USEDEFAULT) {
    const viewer::Point corner = viewer::CascadeAt({at.x, at.y}, others);
    view.MoveTo(corner.X, corner.Y);
  }
  // Until the viewer is shown, a failure takes it away again, with its entry.
  struct Abandon {
    HWND window;
    ~Abandon() {
      if (window) DestroyWindow(window);
    }
  } abandon{view.Handle()};
  // The thumbnail itself is kept, not its entry: a plug-in loading the picture may let
  // messages through, and the folder is held meanwhile so that nothing closes it or the window.
  const TThumbnailPtr thumbnail = shown.EnsureThumbnail(item, colorDepth).Thumbnail;
  TShownFolder::Hold hold(shown);
  if (decoder) {
    view.DecodePicture(path, size, *kind, std::move(decoder));
  } else if (decoding.valid()) {
    TPicture picture = named([&] { return decoding.get(); });
    view.PreparePicture(path, {picture.Width(), picture.Height()});
    view.SetPicture(std::move(picture));
  } else {
    named([&] { view.OpenPicture(path); });
  }
  win::Bitmap glyph = thumbnail ? GlyphOf(*thumbnail) : win::Bitmap();
  view.OnRemoveMenuItem = removeMenuItem;
  view.SetMenuItem(addMenuItem(view.FileName, std::move(glyph)));
  view.Show();
  abandon.window = nullptr;
  return view;
}
