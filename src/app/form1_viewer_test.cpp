// Opening pictures from the main window's list under Wine: the viewer with its window-menu
// entry, two viewers of one file, closing one, an item without a thumbnail, a picture that
// cannot be loaded, a folder at a drive's root, photographs stored sideways, and pictures of
// Windows' codecs.
#include <gtest/gtest.h>

#include <algorithm>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/gauge_form.h"
#include "imaging/exif_orientation.h"
#include "imaging/exif_test_util.h"
#include "imaging/jpeg_image.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/wic_test_util.h"
#include "imaging/win_test_util.h"
#include "viewer/view_form.h"
#include "win/app.h"
#include "win/test_dialogs.h"

using imgtest::Bytes;
using imgtest::TempDir;

namespace {

class FormViewer : public testing::Test {
 protected:
  void SetUp() override { InitPictureFormats(); }
  void TearDown() override {
    form_.reset();
    gauge_.reset();
    DonePictureFormats();
  }
  // The main window with one album of one folder, the folder shown.
  void ShowFolder(const std::string& folder) {
    TFolderList folders;
    folders.push_back({folder, std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
    win::TempFolder::Write(lib_.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
    form_ = std::make_unique<TForm1>(lib_.Path() + "Quiran.Alb");
    gauge_ = std::make_unique<TGaugeForm>();
    form_->GaugeForm = gauge_.get();
    form_->BookShape1Click(*form_->Books[0]);
    HWND tree = form_->TreeView1.Handle();
    auto node = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form_->RootNode)));
    form_->TreeView1.Select(node);
    form_->TreeView1Click();
  }
  // Selects the list item of a file and double-clicks it as the list reports it, then waits
  // until every viewer has its picture.
  void DoubleClick(const std::string& name) {
    for (std::size_t i = 0; i < form_->Folder.Items.size(); ++i)
      if (form_->Folder.Items[i].DiskName == name) SendMessageW(form_->ListBox1.Handle(), LB_SETCURSEL, i, 0);
    HWND list = form_->ListBox1.Handle();
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    WaitForPictures();
  }
  void WaitForPictures() {
    const DWORD start = GetTickCount();
    auto decoding = [&] {
      std::vector<TViewForm*> open = Viewers();
      return std::any_of(open.begin(), open.end(), [](TViewForm* v) { return v->Decoding(); });
    };
    while (decoding() && GetTickCount() - start < 20000) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      win::Application::ProcessMessages();
    }
    ASSERT_FALSE(decoding()) << "a viewer is still decoding its picture";
  }
  TFileItem& Item(const std::string& name) {
    for (TFileItem& i : form_->Folder.Items)
      if (i.DiskName == name) return i;
    throw Exception("no item " + name);
  }
  static BOOL CALLBACK CollectViewer(HWND h, LPARAM lp) noexcept {
    try {
      // The shown ones: a hidden one is the window made ahead for the next viewer.
      auto* v = dynamic_cast<TViewForm*>(win::Window::FromHandle(h));
      if (v && IsWindowVisible(h))
        reinterpret_cast<std::vector<TViewForm*>*>(lp)->push_back(v);
      return TRUE;
    } catch (...) {
      return FALSE;
    }
  }
  std::vector<TViewForm*> Viewers() {
    std::vector<TViewForm*> out;
    EnumThreadWindows(GetCurrentThreadId(), &CollectViewer, reinterpret_cast<LPARAM>(&out));
    return out;
  }
  int MenuCount() { return GetMenuItemCount(form_->WindowMenu()); }

  TempDir lib_, pictures_;
  win::ScriptedDialogs dialogs_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<TGaugeForm> gauge_;
};

}  // namespace

TEST_F(FormViewer, DoubleClickOpensViewersThatTheWindowMenuBringsUp) {
  pictures_.File("a.jpg", CompressPixels(testpic::PhotoLike(320, 240, 2), 90));
  pictures_.File("b.jpg", CompressPixels(testpic::PhotoLike(200, 100, 3), 90));
  ShowFolder(pictures_.win::TempFolder::Path());
  ASSERT_EQ(form_->Folder.Items.size(), 2u);
  const int entries = MenuCount();

  DoubleClick("a.jpg");
  form_->ExecuteCommand(app::cmd::View1);  // the list menu's "表示…" opens the same file again
  DoubleClick("b.jpg");
  ASSERT_EQ(TViewForm::Count(), 3);
  ASSERT_EQ(MenuCount(), entries + 3);
  std::vector<TViewForm*> a, b;
  for (TViewForm* v : Viewers()) (v->FileName == pictures_.Path() + "a.jpg" ? a : b).push_back(v);
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 1u);
  for (TViewForm* v : Viewers()) {
    EXPECT_TRUE(IsWindowVisible(v->Handle()));
    EXPECT_EQ(v->Text(), v->FileName);
    // The entry carries a small thumbnail as its glyph and the viewer's caption.
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_BITMAP | MIIM_STRING;
    wchar_t text[512] = {};
    mii.dwTypeData = text;
    mii.cch = 512;
    ASSERT_TRUE(GetMenuItemInfoW(form_->WindowMenu(), static_cast<UINT>(v->MenuItem), FALSE, &mii));
    EXPECT_EQ(win::Narrow(text), v->FileName);
    BITMAP bm{};
    ASSERT_TRUE(mii.hbmpItem && GetObjectW(mii.hbmpItem, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 48);
    EXPECT_EQ(bm.bmHeight, 36);
  }
  EXPECT_EQ(a[0]->PaintSize(), (viewer::Extent{320, 240}));

  // Either entry of the two viewers of a.jpg brings up both, and not the other one.
  for (TViewForm* v : Viewers()) ShowWindow(v->Handle(), SW_MINIMIZE);
  form_->ExecuteCommand(a[1]->MenuItem);
  EXPECT_FALSE(IsIconic(a[0]->Handle()));
  EXPECT_FALSE(IsIconic(a[1]->Handle()));
  EXPECT_TRUE(IsIconic(b[0]->Handle()));

  // Closing one removes exactly its own entry.
  const int closed = a[0]->MenuItem, kept = a[1]->MenuItem;
  SendMessageW(a[0]->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(TViewForm::Count(), 2);
  EXPECT_EQ(MenuCount(), entries + 2);
  EXPECT_EQ(GetMenuState(form_->WindowMenu(), static_cast<UINT>(closed), MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(GetMenuState(form_->WindowMenu(), static_cast<UINT>(kept), MF_BYCOMMAND), static_cast<UINT>(-1));

  // Closing the main window takes the others with it.
  form_.reset();
  EXPECT_EQ(TViewForm::Count(), 0);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(FormViewer, AnItemWithoutThumbnailGetsOneAndKeepsItsComment) {
  pictures_.File("a.jpg", CompressPixels(testpic::PhotoLike(160, 120, 4), 90));
  ShowFolder(pictures_.win::TempFolder::Path());
  TFileItem& item = Item("a.jpg");
  item.Entry->Thumbnail.reset();
  item.Entry->PixelWidth = 0;
  item.Entry->Comment = "夕焼け";
  item.Entry->Date = 45000.5;
  DoubleClick("a.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  EXPECT_TRUE(item.Entry->Thumbnail);
  EXPECT_EQ(item.Entry->PixelWidth, 160);
  EXPECT_EQ(item.Entry->PixelHeight, 120);
  EXPECT_EQ(item.Entry->Comment, "夕焼け");
  EXPECT_EQ(item.Entry->Date, 45000.5);
  EXPECT_TRUE(form_->Folder.Changed());  // the new thumbnail is written when the folder is left
}

TEST_F(FormViewer, ADamagedPictureIsReportedAndLeavesNothingBehind) {
  // Not a JPEG at all: the list shows it without a thumbnail.
  pictures_.File("bad.jpg", {'d', 'a', 'm', 'a', 'g', 'e', 'd', 0, 0, 0, 0, 0});
  ShowFolder(pictures_.win::TempFolder::Path());
  TFileItem& item = Item("bad.jpg");
  if (!item.Entry) item.Entry = std::make_unique<TPictureEntry>();
  item.Entry->Comment = "大事なメモ";
  const TPictureEntry* entry = item.Entry.get();
  const int entries = MenuCount();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);

  DoubleClick("bad.jpg");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_FALSE(dialogs_.messages[0].text.empty());
  EXPECT_EQ(TViewForm::Count(), 0);
  EXPECT_TRUE(Viewers().empty());
  EXPECT_EQ(MenuCount(), entries);
  EXPECT_EQ(item.Entry.get(), entry);
  EXPECT_EQ(item.Entry->Comment, "大事なメモ");
  EXPECT_FALSE(item.Entry->Thumbnail);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
}

TEST_F(FormViewer, AFolderAtADriveRootGetsNoSecondBackslash) {
  // The system drive's root, when a picture may be put there (Wine's drive C: is the prefix's).
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string root = win::Narrow(std::wstring(windows, 3));
  const std::string name = "quiran_viewer_root_test.jpg";
  pictures_.File(name, CompressPixels(testpic::PhotoLike(64, 48, 7), 90));
  if (!CopyFileW(win::Wide(pictures_.Path() + name).c_str(), win::Wide(root + name).c_str(), TRUE))
    GTEST_SKIP() << "no picture can be put at " << root;
  struct Remove {
    std::wstring path;
    ~Remove() { DeleteFileW(path.c_str()); }
  } remove{win::Wide(root + name)};
  ShowFolder(root);
  DoubleClick(name);
  ASSERT_EQ(TViewForm::Count(), 1);
  EXPECT_EQ(Viewers().at(0)->FileName, root + name);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(FormViewer, NothingHappensWithoutASelectedItem) {
  pictures_.File("a.jpg", CompressPixels(testpic::PhotoLike(64, 48, 8), 90));
  ShowFolder(pictures_.win::TempFolder::Path());
  SendMessageW(form_->ListBox1.Handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  form_->ListBox1DblClick();
  EXPECT_EQ(TViewForm::Count(), 0);
}

// A phone's photograph stored sideways with its Exif orientation: the list's thumbnail and
// size, and the viewer, show it as it was taken.
TEST_F(FormViewer, SidewaysPhotographsShowAsTaken) {
  const PixelBuffer seen = exiftest::Quarters(160, 120);
  pictures_.File("up.jpg", exiftest::WithExif(CompressPixels(exiftest::Stored(seen, 6), 95), exiftest::Exif(6, false)));
  ShowFolder(pictures_.win::TempFolder::Path());
  TFileItem& item = Item("up.jpg");
  ASSERT_TRUE(item.Entry && item.Entry->Thumbnail);
  EXPECT_EQ(item.Entry->PixelWidth, 160);
  EXPECT_EQ(item.Entry->PixelHeight, 120);
  const PixelBuffer thumb = item.Entry->Thumbnail->Pixels();
  EXPECT_TRUE(exiftest::Near(thumb.Pixel(36, 27), 0x0000FF));   // red at the top left
  EXPECT_TRUE(exiftest::Near(thumb.Pixel(108, 81), 0xFF0000));  // blue at the bottom right
  DoubleClick("up.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  TViewForm* view = Viewers().at(0);
  EXPECT_EQ(view->PaintSize(), (viewer::Extent{160, 120}));
  EXPECT_TRUE(exiftest::Near(view->Picture.Pixels().Pixel(20, 10), 0x0000FF));
  EXPECT_TRUE(exiftest::Near(view->Picture.Pixels().Pixel(140, 10), 0x00FF00));
  EXPECT_TRUE(dialogs_.messages.empty());
}

// Quiran.ini's [Pictures] ExifOrientation=0 shows photographs as stored; without it (the next
// start with the key gone) they are turned again.
TEST_F(FormViewer, TheSettingsFileTurnsOrientationOff) {
  struct Restore {
    ~Restore() { SetExifOrientationEnabled(true); }
  } restore;
  const std::string_view off = "[Pictures]\r\n; as stored\r\nExifOrientation=0\r\n";
  win::TempFolder::Write(lib_.Path() + "Quiran.ini", {off.begin(), off.end()});
  pictures_.File("up.jpg", exiftest::WithExif(CompressPixels(exiftest::Stored(exiftest::Quarters(160, 120), 6), 95),
                                              exiftest::Exif(6, true)));
  ShowFolder(pictures_.win::TempFolder::Path());
  EXPECT_FALSE(ExifOrientationEnabled());
  TFileItem& item = Item("up.jpg");
  ASSERT_TRUE(item.Entry);
  EXPECT_EQ(item.Entry->PixelWidth, 120);  // as stored
  EXPECT_EQ(item.Entry->PixelHeight, 160);
  DoubleClick("up.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  EXPECT_EQ(Viewers().at(0)->PaintSize(), (viewer::Extent{120, 160}));

  TViewForm::DestroyAll();
  form_.reset();
  const std::string_view on = "[Pictures]\r\n";
  win::TempFolder::Write(lib_.Path() + "Quiran.ini", {on.begin(), on.end()});
  ShowFolder(pictures_.win::TempFolder::Path());
  EXPECT_TRUE(ExifOrientationEnabled());
  DoubleClick("up.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  EXPECT_EQ(Viewers().at(0)->PaintSize(), (viewer::Extent{160, 120}));
  EXPECT_TRUE(dialogs_.messages.empty());
}

// The viewer is sized from the start of the file; a picture whose markers before its data
// are longer than that start still opens, at its own size.
TEST_F(FormViewer, APictureWithLongMarkersOpensAtItsSize) {
  std::vector<std::uint8_t> jpeg = CompressPixels(testpic::PhotoLike(200, 150), 90);
  std::vector<std::uint8_t> comment = {0xFF, 0xFE, 0xFF, 0xFF};
  comment.resize(2 + 0xFFFF, 'x');
  for (int i = 0; i < 3; ++i) jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
  pictures_.File("long.jpg", jpeg);
  ShowFolder(pictures_.win::TempFolder::Path());
  DoubleClick("long.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  TViewForm* view = Viewers().at(0);
  EXPECT_EQ(view->PaintSize(), (viewer::Extent{200, 150}));
  EXPECT_EQ(view->Picture.Width(), 200);
  EXPECT_TRUE(dialogs_.messages.empty());
}

// A folder of PNG, GIF and TIFF files and no plug-in: Windows' codecs list, thumbnail and show
// them all; a damaged one is listed without a thumbnail and its viewer reports it.
TEST_F(FormViewer, PicturesOfWindowsCodecsWithoutAnyPlugin) {
  const PixelBuffer seen = exiftest::Quarters(160, 120);
  pictures_.File("a.png", wictest::PngOf(seen));
  pictures_.File("b.tif", wictest::Tiff(seen));
  Bytes indices;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) indices.push_back(static_cast<std::uint8_t>(y < 60 ? (x < 80 ? 0 : 1) : (x < 80 ? 3 : 2)));
  pictures_.File("c.gif", wictest::Gif(160, 120, indices, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
  const Bytes png = wictest::PngOf(seen);
  pictures_.File("d.png", Bytes(png.begin(), png.begin() + 400));
  ShowFolder(pictures_.win::TempFolder::Path());
  ASSERT_EQ(form_->Folder.Items.size(), 4u);
  for (const char* name : {"a.png", "b.tif", "c.gif"}) {
    SCOPED_TRACE(name);
    TFileItem& item = Item(name);
    ASSERT_TRUE(item.Entry && item.Entry->Thumbnail);
    EXPECT_EQ(item.Entry->PixelWidth, 160);
    EXPECT_EQ(item.Entry->PixelHeight, 120);
    const PixelBuffer thumb = item.Entry->Thumbnail->Pixels();
    EXPECT_TRUE(exiftest::Near(thumb.Pixel(36, 27), 0x0000FF));
    EXPECT_TRUE(exiftest::Near(thumb.Pixel(108, 81), 0xFF0000));
    DoubleClick(name);
  }
  EXPECT_FALSE(Item("d.png").Entry && Item("d.png").Entry->Thumbnail);
  ASSERT_EQ(TViewForm::Count(), 3);
  for (TViewForm* v : Viewers()) {
    EXPECT_EQ(v->PaintSize(), (viewer::Extent{160, 120}));
    EXPECT_EQ(v->Picture.Pixels().Pixel(150, 110), 0xFF0000u);
  }
  EXPECT_TRUE(dialogs_.messages.empty());
  DoubleClick("d.png");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_NE(dialogs_.messages[0].text.find("WIC"), std::string::npos) << dialogs_.messages[0].text;
  EXPECT_EQ(TViewForm::Count(), 3);
}

TEST_F(FormViewer, EnterOpensTheViewerOverTheListAndEachNextOneAStepFurther) {
  pictures_.File("a.jpg", CompressPixels(testpic::PhotoLike(200, 150, 8), 90));
  ShowFolder(pictures_.win::TempFolder::Path());
  ShowWindow(form_->Handle(), SW_SHOW);
  SendMessageW(form_->ListBox1.Handle(), LB_SETCURSEL, 0, 0);
  POINT list{0, 0};
  ClientToScreen(form_->ListBox1.Handle(), &list);
  for (int n = 0; n < 2; ++n) {
    SendMessageW(form_->ListBox1.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(TViewForm::Count(), n + 1);
  }
  std::vector<TViewForm*> open = Viewers();
  ASSERT_EQ(open.size(), 2u);
  std::vector<POINT> corners;
  for (TViewForm* v : open) {
    RECT r{};
    GetWindowRect(v->Handle(), &r);
    corners.push_back({r.left, r.top});
  }
  std::sort(corners.begin(), corners.end(), [](POINT a, POINT b) { return a.x < b.x; });
  EXPECT_EQ(corners[0].x, list.x);
  EXPECT_EQ(corners[0].y, list.y);
  EXPECT_EQ(corners[1].x, list.x + 24);
  EXPECT_EQ(corners[1].y, list.y + 24);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(FormViewer, APictureCutShortIsNamedAndSaidInJapanese) {
  const imgtest::Bytes whole = CompressPixels(testpic::PhotoLike(320, 240, 9), 90);
  pictures_.File("cut.jpg", imgtest::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
  ShowFolder(pictures_.win::TempFolder::Path());
  DoubleClick("cut.jpg");
  EXPECT_EQ(TViewForm::Count(), 0);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  const std::string& text = dialogs_.messages[0].text;
  EXPECT_EQ(text.rfind("画像ファイル「" + pictures_.Path() + "cut.jpg」を読めません。\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("途中で終わっています"), std::string::npos) << text;
  EXPECT_EQ(text.find("Premature"), std::string::npos) << text;
}

// A photograph whose file was cut short after its thumbnail was made (a copy broken off): the
// viewer, already on the screen when the end comes, keeps the rows decoded before it, exactly
// as a whole decode gives them, and the rest in the window's colour; the message names the file.
TEST_F(FormViewer, APictureCutAfterItsThumbnailShowsWhatItHasAndSaysSo) {
  const imgtest::Bytes whole = CompressPixels(testpic::PhotoLike(320, 240, 9), 90);
  const PixelBuffer full = DecompressPixels(whole.data(), whole.size());
  const std::string path = pictures_.File("cut.jpg", whole);
  ShowFolder(pictures_.win::TempFolder::Path());
  ASSERT_TRUE(Item("cut.jpg").Entry && Item("cut.jpg").Entry->Thumbnail);
  win::TempFolder::Write(path, imgtest::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
  DoubleClick("cut.jpg");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  const std::string& text = dialogs_.messages[0].text;
  EXPECT_EQ(text.rfind("画像ファイル「" + pictures_.Path() + "cut.jpg」を読めません。\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("途中で終わっています"), std::string::npos) << text;

  ASSERT_EQ(TViewForm::Count(), 1);
  const PixelBuffer& shown = Viewers().at(0)->Picture.Pixels();
  ASSERT_EQ(shown.Width(), 320);
  ASSERT_EQ(shown.Height(), 240);
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  auto faceRow = [&](int y) {
    for (int x = 0; x < 320; ++x)
      if (shown.Pixel(x, y) != face) return false;
    return true;
  };
  int decoded = 0;
  while (decoded < 240 && !faceRow(decoded)) ++decoded;
  EXPECT_GE(decoded, 16);
  EXPECT_LT(decoded, 240);
  for (int y = 0; y < decoded; ++y)
    ASSERT_TRUE(std::equal(shown.Row(y), shown.Row(y) + 320 * 3, full.Row(y))) << "row " << y;
  for (int y = decoded; y < 240; ++y) ASSERT_TRUE(faceRow(y)) << "row " << y;
}

// The viewer's picture, decoded a band at a time on its worker while the window shows, is
// byte for byte the whole decode of the file; a stored-sideways one is turned as before.
TEST_F(FormViewer, TheViewerShowsExactlyWhatAWholeDecodeGives) {
  const imgtest::Bytes jpeg = CompressPixels(testpic::PhotoLike(1000, 700, 12), 92);
  pictures_.File("big.jpg", jpeg);
  ShowFolder(pictures_.win::TempFolder::Path());
  DoubleClick("big.jpg");
  ASSERT_EQ(TViewForm::Count(), 1);
  TViewForm* view = Viewers().at(0);
  const PixelBuffer whole = DecodeJpeg(jpeg.data(), jpeg.size());
  const PixelBuffer& shown = view->Picture.Pixels();
  ASSERT_EQ(shown.Width(), whole.Width());
  ASSERT_EQ(shown.Height(), whole.Height());
  for (int y = 0; y < whole.Height(); ++y)
    ASSERT_TRUE(std::equal(shown.Row(y), shown.Row(y) + whole.Width() * 3, whole.Row(y))) << "row " << y;
  EXPECT_EQ(view->Picture.Graphic()->ClassType().Name, std::string("TJPEGImage"));
  EXPECT_TRUE(dialogs_.messages.empty());
}
