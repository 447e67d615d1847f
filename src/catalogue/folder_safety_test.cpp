// What a user typed survives every way a folder's files can go wrong: formats missing for a
// run, a second writer, failures on leaving, names that collapse into one, caches that cannot
// be replaced or were written by another program, thumbnails kept over many visits, and
// comments on pictures that cannot be decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "app/open_folder_item.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/folder_scan.h"
#include "catalogue/folder_test_fixture.h"
#include "catalogue/shown_folder.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/bmp_test_util.h"
#include "imaging/jpeg_rows.h"
#include "imaging/test_pictures.h"
#include "viewer/view_form.h"
#include "win/error.h"
#include "win/file_io.h"

using namespace imgtest;

namespace {

// The peak signal-to-noise ratio of b against a, in dB (infinite when equal).
double Psnr(const PixelBuffer& a, const PixelBuffer& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.Size(); ++i) {
    const double d = static_cast<double>(a.Data()[i]) - static_cast<double>(b.Data()[i]);
    sum += d * d;
  }
  if (sum == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.Size())));
}

// A picture class standing for a plug-in inside Quiran that lets messages through while it
// decodes (its own progress window or dialog): whatever the user does meanwhile runs from
// inside the call. It reads the BMP files (registered last for "bmp").
class TReentrantPicture : public TGraphic {
 public:
  static const TGraphicClass Class;
  static inline std::function<void()> During;
  const TGraphicClass& ClassType() const override { return Class; }
  void LoadFromStream(TStream& stream) override {
    if (auto during = std::exchange(During, nullptr)) during();
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    pixels_ = bitmap.TakePixels();
  }
};
const TGraphicClass TReentrantPicture::Class = {
    "TReentrantPicture", [] { return std::unique_ptr<TGraphic>(new TReentrantPicture); }, nullptr};

class FolderSafety : public FolderTest {
 protected:
  void Pictures(int n, const std::string& prefix = "p") {
    for (int i = 0; i < n; ++i)
      dir_.File(prefix + std::to_string(10 + i) + ".jpg",
                CompressPixels(testpic::PhotoLike(200 + 8 * i, 150, static_cast<std::uint32_t>(i + 7)), 92));
  }
  static TPictureEntry& Entry(TShownFolder& f, const std::string& name) {
    TFileItem* item = Find(f, name);
    if (!item || !item->Entry) throw Exception("no entry for " + name);
    return *item->Entry;
  }
  Bytes Catalogue() const { return win::TempFolder::Read(dir_.Path() + kCatalogueFileName); }
  Bytes Cache() const { return win::TempFolder::Read(dir_.Path() + kCacheFileName); }
  std::string CommentOnDisk(const std::string& name) const {
    for (const TCatalogueItem& c : ParseCatalogue(Catalogue()))
      if (c.Name == name) return c.Entry.Comment;
    return "(none)";
  }
  // Each catalogue entry's tile as the cache file holds it.
  std::map<std::string, PixelBuffer> CacheTiles() const {
    const Bytes cache = Cache();
    const PixelBuffer image = DecompressPixels(cache.data(), cache.size());
    std::map<std::string, PixelBuffer> out;
    for (const TCatalogueItem& c : ParseCatalogue(Catalogue())) {
      if (c.Entry.TileIndex < 0) continue;
      const TTileRect r = TileRect(c.Entry.TileIndex);
      PixelBuffer tile(kTileWidth, kTileHeight);
      for (int y = 0; y < kTileHeight; ++y)
        std::memcpy(tile.Row(y), image.Row(r.Top + y) + r.Left * 3, kTileWidth * 3);
      out[c.Name] = std::move(tile);
    }
    return out;
  }
  // How far an item's thumbnail is from one made afresh from its file.
  double FreshPsnr(const TFileItem& item) {
    auto fresh = MakeThumbnail(dir_.Path() + item.DiskName, 24);
    return Psnr(item.Entry->Thumbnail->Pixels(), fresh->Thumbnail->Pixels());
  }
};

}  // namespace

// A file whose format is not read in one run (its plug-in gone or unticked) is still there:
// leaving the folder in that run keeps its entry.
TEST_F(FolderSafety, AFileNotListedThisRunKeepsItsEntry) {
  Pictures(2);
  dir_.File("scan.ppm", Ppm(32, 24));
  TShownFolder f;
  ASSERT_EQ(Load(f), 3);
  Entry(f, "SCAN.PPM").Comment = "from the scanner";
  Entry(f, "SCAN.PPM").Date = 40000;
  f.Close();

  spis_.reset();  // the plug-in is gone for this run
  ASSERT_EQ(Load(f), 2);
  Entry(f, "P10.JPG").Comment = "changed";  // something to write
  f.Close();
  EXPECT_EQ(CommentOnDisk("SCAN.PPM"), "from the scanner");

  spis_ = std::make_unique<TSPIs>();
  spis_->Add(CreateSPI(Plugin("ppm")));
  ASSERT_EQ(Load(f), 3);
  EXPECT_EQ(Entry(f, "SCAN.PPM").Comment, "from the scanner");
  EXPECT_EQ(Entry(f, "SCAN.PPM").Date, 40000);
  f.Close();

  // A file that is really gone loses its entry at the next write.
  DeleteFileW(win::Wide(dir_.Path() + "scan.ppm").c_str());
  Load(f);
  Entry(f, "P11.JPG").Comment = "again";
  f.Close();
  EXPECT_EQ(CommentOnDisk("SCAN.PPM"), "(none)");
  EXPECT_EQ(CommentOnDisk("P10.JPG"), "changed");
}

// Two Quirans show one folder (a shared folder seen from two PCs): each leaves with only its
// own changes applied over what the other wrote, and one that changed nothing writes nothing.
TEST_F(FolderSafety, ASecondWriterAppliesOnlyItsOwnChanges) {
  Pictures(6);
  TShownFolder first, second, third;
  Load(first);
  first.Close();  // both files exist
  Load(first);
  Load(second);
  Load(third);
  Entry(first, "P10.JPG").Comment = "first's";
  Entry(first, "P12.JPG").Date = 41000;
  first.Close();
  const Bytes afterFirst = Catalogue();

  third.SortFiles(skName);
  third.Close();  // only looked, and sorted: nothing of its own to write
  EXPECT_EQ(Catalogue(), afterFirst);

  Entry(second, "P11.JPG").Comment = "second's";
  Entry(second, "P12.JPG").Comment = "second's too";
  second.SortFiles(skName);
  second.Close();

  TShownFolder again;
  Load(again);
  EXPECT_EQ(Entry(again, "P10.JPG").Comment, "first's");
  EXPECT_EQ(Entry(again, "P11.JPG").Comment, "second's");
  EXPECT_EQ(Entry(again, "P12.JPG").Comment, "second's too");
  EXPECT_EQ(Entry(again, "P12.JPG").Date, 41000);
  for (const TFileItem& i : again.Items) EXPECT_GT(FreshPsnr(i), 30) << i.Name;
  again.Close();
}

// Leaving fails (the catalogue held by another program): every attempt says so, and the
// comment stays in memory until the files are written or the user chooses to leave without.
TEST_F(FolderSafety, EveryFailedLeaveIsReportedAndKeepsTheChanges) {
  Pictures(3);
  TShownFolder f;
  Load(f);
  f.Close();
  Load(f);
  Entry(f, "P11.JPG").Comment = "keep me";
  HANDLE lock = CreateFileW(win::Wide(dir_.Path() + kCatalogueFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_THROW(f.Close(), EFCreateError);
  EXPECT_THROW(f.Close(), EFCreateError);  // tried again: fails again, and says so
  ASSERT_EQ(f.Items.size(), 3u);
  EXPECT_EQ(Entry(f, "P11.JPG").Comment, "keep me");
  CloseHandle(lock);
  f.Close();
  EXPECT_EQ(CommentOnDisk("P11.JPG"), "keep me");
}

// Names that Shift-JIS cannot write both read "CAF?.JPG": each file keeps its own comment and
// its own thumbnail, visit after visit.
TEST_F(FolderSafety, NamesThatCollapseIntoOneKeepTheirOwnEntries) {
  const wchar_t* names[] = {L"caf\u00e9.jpg", L"caf\u00e8.jpg", L"caf\u00ea.jpg"};
  for (int i = 0; i < 3; ++i) {
    Bytes jpeg = CompressPixels(testpic::PhotoLike(240 - 40 * i, 180, static_cast<std::uint32_t>(60 + i)), 92);
    HANDLE h = CreateFileW((win::Wide(dir_.Path()) + names[i]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, jpeg.data(), static_cast<DWORD>(jpeg.size()), &n, nullptr);
    CloseHandle(h);
  }
  Pictures(1);
  // Each file by its name on disk, and the width its picture has.
  auto widthOf = [&](const TFileItem& item) {
    return static_cast<int>(MakeThumbnail(dir_.Path() + item.DiskName, 24)->PixelWidth);
  };
  std::map<int, std::string> commentByWidth = {{240, "acute"}, {200, "grave"}, {160, "circumflex"}};
  TShownFolder f;
  ASSERT_EQ(Load(f), 4);
  for (TFileItem& item : f.Items)
    if (item.Name != "P10.JPG") item.Entry->Comment = commentByWidth[widthOf(item)];
  f.Close();
  for (int visit = 0; visit < 3; ++visit) {
    Load(f);
    int seen = 0;
    for (TFileItem& item : f.Items) {
      if (item.Name == "P10.JPG") continue;
      ++seen;
      const int width = widthOf(item);
      EXPECT_EQ(item.Entry->Comment, commentByWidth[width]) << "visit " << visit;
      EXPECT_EQ(item.Entry->PixelWidth, width) << "visit " << visit;
      EXPECT_GT(FreshPsnr(item), 30) << "visit " << visit;
    }
    EXPECT_EQ(seen, 3);
    f.SortFiles(visit % 2 ? skName : skArea);
    f.Items.back().Entry->Date = 42000 + visit;  // a change, so the files are written
    f.Close();
  }
}

// A cache written by another program carries no tie to its catalogue. When it cannot be
// replaced, the catalogue written beside it must still match it tile for tile, and the
// message says what was and was not saved.
TEST_F(FolderSafety, ACacheThatCannotBeReplacedIsNeverPairedWithTilesItDoesNotHold) {
  Pictures(8);
  TShownFolder f;
  Load(f);
  f.Close();
  // The same cache as another program would write it: no comment.
  PixelBuffer image = DecompressPixels(Cache().data(), Cache().size());
  win::TempFolder::Write(dir_.Path() + kCacheFileName, CompressPixels(image, 90));

  Load(f);
  for (const TFileItem& i : f.Items) EXPECT_GT(FreshPsnr(i), 30) << i.Name;
  f.SortFiles(skArea);
  std::reverse(f.Items.begin(), f.Items.end());
  Entry(f, "P13.JPG").Comment = "kept";
  Find(f, "P15.JPG")->Entry->Thumbnail.reset();
  f.MakeMissingThumbnails(*gauge_, 24);  // a thumbnail made again, so the cache must be written
  HANDLE lock = CreateFileW(win::Wide(dir_.Path() + kCacheFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::string message;
  try {
    f.Close();
  } catch (const Exception& e) {
    message = e.Message();
  }
  CloseHandle(lock);
  if (!message.empty()) {
    EXPECT_NE(message.find(kCacheFileName), std::string::npos) << message;
    EXPECT_EQ(message.find("保存されていません"), std::string::npos) << message;
  }
  EXPECT_EQ(CommentOnDisk("P13.JPG"), "kept");

  TShownFolder g;
  Load(g);
  EXPECT_EQ(Entry(g, "P13.JPG").Comment, "kept");
  for (const TFileItem& i : g.Items) EXPECT_GT(FreshPsnr(i), 30) << i.Name;
  g.Close();
}

// Every visit that changes nothing writes nothing; visits that change comments and the order,
// and make one thumbnail again, keep every other tile of the cache as it was first stored.
TEST_F(FolderSafety, ThumbnailsKeepTheirQualityOverTwentyVisits) {
  Pictures(30);  // two rows of tiles: the second one's start off the 8-pixel grid
  TShownFolder f;
  Load(f);
  f.Close();
  const Bytes catalogue = Catalogue(), cache = Cache();
  std::map<std::string, PixelBuffer> first = CacheTiles();
  ASSERT_EQ(first.size(), 30u);
  Load(f);
  f.SortFiles(skArea);
  f.Close();
  EXPECT_EQ(Catalogue(), catalogue);
  EXPECT_EQ(Cache(), cache);

  double worst = INFINITY;
  for (int visit = 0; visit < 20; ++visit) {
    Load(f);
    f.Items[static_cast<std::size_t>(visit * 7 % 30)].Entry->Comment = "visit " + std::to_string(visit);
    f.SortFiles(visit % 3 == 0 ? skName : visit % 3 == 1 ? skArea : skExtension);
    if (visit % 2) std::reverse(f.Items.begin(), f.Items.end());
    f.RemakeThumbnail(static_cast<std::size_t>(Find(f, "P10.JPG") - f.Items.data()), 24);
    f.Close();
    for (const auto& [name, tile] : CacheTiles())
      if (name != "P10.JPG") worst = std::min(worst, Psnr(first.at(name), tile));
  }
  std::printf("worst tile after 20 visits: %.1f dB PSNR of its first version\n", worst);
  EXPECT_GE(worst, 40.0);
}

// A comment typed on a picture that cannot be decoded is kept, without a thumbnail.
TEST_F(FolderSafety, ACommentOnAPictureThatCannotBeDecodedIsStored) {
  Pictures(2);
  dir_.File("broken.jpg", Bytes(100, 0x42));
  TShownFolder f;
  Load(f);
  const std::size_t i = static_cast<std::size_t>(Find(f, "BROKEN.JPG") - f.Items.data());
  std::string message;
  try {
    f.SetNote(i, 43000.5, "grandmother's last photo", 24);
  } catch (const Exception& e) {
    message = e.Message();
  }
  EXPECT_EQ(message.find("変更されていません"), std::string::npos) << message;
  EXPECT_EQ(Entry(f, "BROKEN.JPG").Comment, "grandmother's last photo");
  EXPECT_FALSE(Entry(f, "BROKEN.JPG").Thumbnail);
  f.Close();
  TCatalogue cat = ParseCatalogue(Catalogue());
  auto broken = std::find_if(cat.begin(), cat.end(), [](const TCatalogueItem& c) { return c.Name == "BROKEN.JPG"; });
  ASSERT_NE(broken, cat.end());
  EXPECT_EQ(broken->Entry.Comment, "grandmother's last photo");
  EXPECT_EQ(broken->Entry.Date, 43000.5);
  EXPECT_EQ(broken->Entry.TileIndex, -1);
  EXPECT_EQ(broken->Entry.PixelWidth, 0);
  Load(f);
  EXPECT_EQ(Entry(f, "BROKEN.JPG").Comment, "grandmother's last photo");
  f.Close();
}

// While a plug-in's call lets messages through, the user may pick another folder, sort the
// list or close the window: none of it may happen under the call, whose result belongs to the
// item it was made for.
TEST_F(FolderSafety, APluginThatLetsMessagesThroughCannotChangeTheListUnderItsCall) {
  Pictures(3);
  const PixelBuffer picture = testpic::PhotoLike(90, 60, 77);
  Bytes bmp;
  for (int y = picture.Height() - 1; y >= 0; --y) bmp.insert(bmp.end(), picture.Row(y), picture.Row(y) + picture.Stride());
  dir_.File("scan.bmp", bmptest::File(bmptest::InfoHeader(90, 60, 24), bmp));
  TempDir elsewhere;
  for (int i = 0; i < 5; ++i) elsewhere.File("e" + std::to_string(i) + ".jpg", CompressPixels(testpic::PhotoLike(80, 60, 90 + i), 90));
  RegisterFileFormat("bmp", "test", &TReentrantPicture::Class);

  TShownFolder f;
  Load(f);
  f.SortFiles(skName);
  const std::size_t i = static_cast<std::size_t>(Find(f, "SCAN.BMP") - f.Items.data());
  Find(f, "SCAN.BMP")->Entry->Thumbnail.reset();
  int refused = 0;
  auto meanwhile = [&] {
    for (auto act : std::initializer_list<std::function<void()>>{
             [&] { f.SortFiles(skArea); },
             [&] { f.Close(); },
             [&] { f.Load(elsewhere.Path(), *gauge_, nullptr, 24); },
             [&] { f.RemakeThumbnail(0, 24); },
             [&] { f.MakeMissingThumbnails(*gauge_, 24); }}) {
      const std::string before = f.Items.empty() ? "" : f.Items[0].Name;
      try {
        act();
      } catch (const EAbort&) {
      }
      if (f.Path() == dir_.Path() && f.Items.size() == 4 && f.Items[0].Name == before) ++refused;
    }
  };
  // The comment dialog's storing, which makes the thumbnail the item lacks.
  TReentrantPicture::During = meanwhile;
  f.SetNote(i, 44000, "scanned", 24);
  EXPECT_EQ(refused, 5);
  EXPECT_EQ(f.Path(), dir_.Path());
  EXPECT_EQ(Entry(f, "SCAN.BMP").Comment, "scanned");
  EXPECT_TRUE(Entry(f, "SCAN.BMP").Thumbnail);
  // "サムネイル作成" and a viewer's thumbnail.
  refused = 0;
  TReentrantPicture::During = meanwhile;
  f.RemakeThumbnail(i, 24);
  EXPECT_EQ(refused, 5);
  Find(f, "SCAN.BMP")->Entry->Thumbnail.reset();
  refused = 0;
  TReentrantPicture::During = meanwhile;
  TThumbnailPtr made = f.EnsureThumbnail(i, 24).Thumbnail;
  EXPECT_EQ(refused, 5);
  EXPECT_EQ(Entry(f, "SCAN.BMP").Thumbnail, made);
  EXPECT_EQ(Entry(f, "SCAN.BMP").Comment, "scanned");

  // A viewer opened on it: the picture loads through the plug-in after the thumbnail is taken.
  TReentrantPicture::During = [&] {
    try {
      f.Close();
      f.Load(elsewhere.Path(), *gauge_, nullptr, 24);
    } catch (const EAbort&) {
    }
  };
  bool glyph = false;
  OpenFolderItem(
      f, dir_.Path(), i, 24,
      [&](const std::string&, win::Bitmap g) {
        glyph = static_cast<bool>(g);
        return 0;
      },
      [](int) {});
  EXPECT_TRUE(glyph);
  EXPECT_EQ(f.Path(), dir_.Path());
  TViewForm::DestroyAll();
  f.Close();
  EXPECT_EQ(CommentOnDisk("SCAN.BMP"), "scanned");
  UnregisterGraphicClass(&TReentrantPicture::Class);
}

// A network share dropping mid-listing: what was listed is no listing of the folder. Nothing
// is shown, and nothing the catalogue holds for the files not listed is dropped.
TEST_F(FolderSafety, AListingThatFailsPartWayListsNothingAndDropsNoEntry) {
  Pictures(10);
  TShownFolder f;
  Load(f);
  for (TFileItem& i : f.Items) i.Entry->Comment = "about " + i.Name;
  f.Close();
  scan_faults::ListingFailsAfter = 4;
  EXPECT_THROW(Load(f), EFOpenError);
  scan_faults::ListingFailsAfter = -1;
  EXPECT_TRUE(f.Items.empty());
  EXPECT_TRUE(f.Path().empty());
  EXPECT_FALSE(IsWindowVisible(gauge_->Handle()));
  f.Close();
  const TCatalogue stored = ParseCatalogue(Catalogue());
  ASSERT_EQ(stored.size(), 10u);
  for (const TCatalogueItem& c : stored) EXPECT_EQ(c.Entry.Comment, "about " + c.Name);
  EXPECT_EQ(Load(f), 10);
}

// Temporary files a writer left when it was stopped (a crash, a kill) go when the folder is
// shown; every file the program writes in the folder is named after it.
TEST_F(FolderSafety, TemporaryFilesLeftByAStoppedWriterGoWhenTheFolderIsShown) {
  Pictures(3);
  dir_.File("Quiran.cf0.~0badf00d.tmp", Bytes(530, 1));
  dir_.File("Cashfile.cfb.~12345678.tmp", Bytes(100, 2));
  TShownFolder f;
  Load(f);
  f.Items[0].Entry->Comment = "x";
  f.Close();
  std::vector<std::string> names = dir_.Names();
  EXPECT_EQ(names, (std::vector<std::string>{"Cashfile.cfb", "Quiran.cf0", "p10.jpg", "p11.jpg", "p12.jpg"}));
}
