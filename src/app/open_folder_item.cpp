#include "app/open_folder_item.h"

#include <algorithm>
#include <future>
#include <vector>

#include "catalogue/shown_folder.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
#include "imaging/picture_errors.h"
#include "imaging/resample.h"
#include "imaging/wic_image.h"
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

// A JPEG's size as seen, from the start of its file: the whole file is read here only when its
// start is not enough (a progressive picture, whose header the library reads with its data).
JpegSize HeaderSize(const std::string& path) {
  const std::vector<std::uint8_t> head = ReadJpegHead(FileSource(path));
  try {
    return ReadJpegSize(head.data(), head.size());
  } catch (const Exception&) {
    const std::vector<std::uint8_t> bytes = win::ReadFileBytes(path);
    return ReadJpegSize(bytes.data(), bytes.size());
  }
}

}  // namespace

TViewForm& OpenFolderItem(TShownFolder& shown, const std::string& folder, std::size_t item, int colorDepth,
                          const std::function<int(const std::string&, win::Bitmap)>& addMenuItem,
                          const std::function<void(int)>& removeMenuItem, POINT at) {
  const std::string path = FolderFilePath(folder, shown.Items.at(item).DiskName);
  // A JPEG, which Quiran decodes itself on any thread, decodes on a worker from the start,
  // while the window is made, sized from the file's header and shown: making and showing a
  // window takes about as long as decoding a large photograph on some systems (Wine). So does
  // a picture of Windows' codecs; when its header does not tell its size (only PNG and GIF
  // headers are read), the window waits for the picture before it is sized and shown. Other
  // kinds load on this thread.
  std::future<TPicture> decoding;
  viewer::Extent size;
  // A picture that cannot be read is named in the message: the user may have several open.
  auto named = [&path](auto&& load) -> decltype(auto) {
    try {
      return load();
    } catch (const EInvalidGraphic& e) {
      throw EInvalidGraphic(PictureFileErrorText(path, e.Message()));
    }
  };
  const TThumbnailDecoder decoder = ThumbnailDecoderFor(path);
  if (decoder == TThumbnailDecoder::Jpeg || decoder == TThumbnailDecoder::Wic) {
    if (decoder == TThumbnailDecoder::Jpeg) {
      const JpegSize header = named([&] { return HeaderSize(path); });
      size = {header.Width, header.Height};
    } else {
      std::uint8_t head[32] = {};
      TFileStream file(path);
      if (std::optional<WicSize> header = WicHeaderSize(head, file.Read(head, sizeof head)))
        size = {header->Width, header->Height};
    }
    decoding = std::async(std::launch::async, [path] {
      TPicture picture;
      picture.LoadFromFile(path);
      return picture;
    });
  }
  const int others = TViewForm::Count();
  TViewForm& view = TViewForm::Create();
  if (at.x != CW_USEDEFAULT) {
    const viewer::Point corner = viewer::CascadeAt({at.x, at.y}, others);
    view.MoveTo(corner.X, corner.Y);
  }
  // Until the viewer shows its picture, a failure takes it away again, with its entry.
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
  if (decoding.valid() && size.W > 0) {
    view.PreparePicture(path, size);
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
  if (decoding.valid()) view.SetPicture(named([&] { return decoding.get(); }));
  abandon.window = nullptr;
  return view;
}
