// A folder shown and left for real under Wine: JPEG, BMP and plug-in pictures beside damaged
// files; comments and thumbnails kept across visits and sorts; missing, stale and unwritable
// files; cancelling part-way.
#include "catalogue/shown_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/cache_file.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/folder_test_fixture.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/bmp_test_util.h"
#include "imaging/jpeg_rows.h"
#include "imaging/test_pictures.h"
#include "win/file_io.h"

using namespace imgtest;

namespace {

Bytes Bmp24(const PixelBuffer& p) {
  Bytes px;
  for (int y = p.Height() - 1; y >= 0; --y) px.insert(px.end(), p.Row(y), p.Row(y) + p.Stride());
  return bmptest::File(bmptest::InfoHeader(p.Width(), p.Height(), 24), px);
}

// The size djpeg (of the libjpeg-turbo build the program uses) reads from a JPEG file, as
// "width height" from its PPM output; empty when it cannot.
std::string DjpegSize(const std::string& jpeg, const std::string& ppm) {
  const std::string exe = std::string(sjis::ExtractFilePath(win::ExePath())) + "..\\libjpeg-" +
                          (sizeof(void*) == 8 ? "x86_64" : "i686") + "\\install\\bin\\djpeg.exe";
  std::wstring cmd = L"\"" + win::Wide(exe) + L"\" -outfile \"" + win::Wide(ppm) + L"\" \"" + win::Wide(jpeg) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return "no djpeg";
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Bytes out = win::TempFolder::Read(ppm);
  std::string head(out.begin(), out.begin() + static_cast<long>(std::min<std::size_t>(out.size(), 20)));
  // "P6\n2160 108\n255\n"
  std::size_t a = head.find('\n'), b = head.find('\n', a + 1);
  return a == std::string::npos || b == std::string::npos ? "" : head.substr(a + 1, b - a - 1);
}

// The mean difference of two thumbnails' pixels.
double Distance(const TThumbnail& a, const TThumbnail& b) {
  PixelBuffer pa = a.Pixels(), pb = b.Pixels();
  long long sum = 0;
  for (std::size_t i = 0; i < pa.Size(); ++i) sum += std::abs(pa.Data()[i] - pb.Data()[i]);
  return static_cast<double>(sum) / static_cast<double>(pa.Size());
}

TGaugeForm* clickerGauge = nullptr;
void CALLBACK ClickCancelAfterFour(HWND, UINT, UINT_PTR, DWORD) {
  if (clickerGauge && clickerGauge->Position() >= 4) SendMessageW(clickerGauge->BitBtn1.Handle(), BM_CLICK, 0, 0);
}

class ShownFolderTest : public FolderTest {
 protected:
  // Twelve pictures of three kinds, each of its own content, and three files that are not
  // readable pictures.
  void MakeFolder() {
    for (int i = 0; i < 8; ++i)
      dir_.File("photo" + std::to_string(i) + ".jpg",
                CompressPixels(testpic::PhotoLike(320 + i * 16, 240, static_cast<std::uint32_t>(i + 1)), 90));
    dir_.File("表.JPG", CompressPixels(testpic::PhotoLike(240, 320, 40), 90));
    dir_.File("ソ.bmp", Bmp24(testpic::PhotoLike(200, 150, 41)));
    dir_.File("picture.ppm", Ppm(16, 12));
    dir_.File("small.BMP", Bmp24(testpic::PhotoLike(72, 54, 42)));
    Bytes good = CompressPixels(testpic::PhotoLike(300, 200, 43), 90);
    dir_.File("truncated.jpg", Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 3)));
    dir_.File("damaged.bmp", Bytes(80, 0x42));
    dir_.File("empty.jpg", {});
    dir_.File("readme.txt", {'h', 'i'});
  }
};

}  // namespace

TEST_F(ShownFolderTest, ARoundTripKeepsCommentsThumbnailsAndTheSortedOrder) {
  MakeFolder();
  TShownFolder f;
  EXPECT_EQ(Load(f), 15);
  EXPECT_FALSE(IsWindowVisible(gauge_->Handle()));
  EXPECT_EQ(gauge_->MaxCount(), 15);
  EXPECT_EQ(gauge_->Position(), 15);
  for (const char* bad : {"TRUNCATED.JPG", "DAMAGED.BMP", "EMPTY.JPG"}) EXPECT_FALSE(Find(f, bad)->Entry) << bad;
  for (const char* good : {"PHOTO0.JPG", "表.JPG", "ソ.BMP", "PICTURE.PPM", "SMALL.BMP"}) {
    ASSERT_TRUE(Find(f, good)->Entry) << good;
    EXPECT_TRUE(Find(f, good)->Entry->Thumbnail) << good;
  }
  EXPECT_EQ(Find(f, "表.JPG")->Entry->PixelWidth, 240);
  EXPECT_EQ(Find(f, "PICTURE.PPM")->Entry->PixelHeight, 12);
  EXPECT_TRUE(f.Changed());  // thumbnails made: they are stored when the folder is left

  // Comments and dates typed by the user, straight into the entries; the list sorted by name.
  Find(f, "表.JPG")->Entry->Comment = "海辺で\r\n二行目";
  Find(f, "PHOTO3.JPG")->Entry->Date = 45000.25;
  std::string full255(255, 'c');
  Find(f, "SMALL.BMP")->Entry->Comment = full255;
  EXPECT_TRUE(f.Changed());
  f.SortFiles(skName);
  EXPECT_EQ(f.Items.front().Name, "DAMAGED.BMP");
  std::map<std::string, TThumbnailPtr> before;
  for (const TFileItem& i : f.Items)
    if (i.Entry) before[i.Name] = i.Entry->Thumbnail;
  const std::vector<std::string> sortedNames = [&] {
    std::vector<std::string> n;
    for (const TFileItem& i : f.Items) n.push_back(i.Name);
    return n;
  }();
  f.Close();
  EXPECT_TRUE(f.Items.empty());
  EXPECT_TRUE(f.Path().empty());

  // The catalogue lists the files with entries in the sorted order, tiles by list position.
  TCatalogue cat = ParseCatalogue(win::ReadFileBytes(dir_.Path() + kCatalogueFileName));
  ASSERT_EQ(cat.size(), 12u);
  for (std::size_t k = 0, pos = 0; k < cat.size(); ++k, ++pos) {
    while (sortedNames[pos] != cat[k].Name) ++pos;
    EXPECT_EQ(cat[k].Entry.TileIndex, static_cast<int>(pos)) << cat[k].Name;
  }
  // The cache is an ordinary JPEG: 15 tiles on one row, which libjpeg's own djpeg reads too.
  Bytes cache = win::ReadFileBytes(dir_.Path() + kCacheFileName);
  PixelBuffer image = DecompressPixels(cache.data(), cache.size());
  EXPECT_EQ(image.Width(), 15 * 144);
  EXPECT_EQ(image.Height(), 108);
  win::TempFolder elsewhere;
  EXPECT_EQ(DjpegSize(dir_.Path() + kCacheFileName, elsewhere.File("cache.ppm")), "2160 108");

  // A picture changed on disk keeps its cached thumbnail: shown again, nothing is remade.
  dir_.File("photo0.jpg", CompressPixels(testpic::PhotoLike(320, 240, 99), 90));
  TShownFolder g;
  EXPECT_EQ(Load(g), 15);
  EXPECT_EQ(Find(g, "表.JPG")->Entry->Comment, "海辺で\r\n二行目");
  EXPECT_EQ(Find(g, "PHOTO3.JPG")->Entry->Date, 45000.25);
  EXPECT_EQ(Find(g, "SMALL.BMP")->Entry->Comment, full255);
  for (const auto& [name, thumb] : before) {
    ASSERT_TRUE(Find(g, name)->Entry->Thumbnail) << name;
    EXPECT_LT(Distance(*Find(g, name)->Entry->Thumbnail, *thumb), 6.0) << name;
  }
  EXPECT_FALSE(g.Changed());
  g.Close();
}

TEST_F(ShownFolderTest, MissingStaleAndForeignCachesKeepTheComments) {
  MakeFolder();
  TShownFolder f;
  Load(f);
  Find(f, "PHOTO1.JPG")->Entry->Comment = "first";
  f.Close();
  const Bytes firstCache = win::ReadFileBytes(dir_.Path() + kCacheFileName);

  // Leave again with another comment: then put the earlier cache back, as a crash between
  // putting the two files in place would leave them.
  Load(f);
  Find(f, "PHOTO1.JPG")->Entry->Comment = "second";
  f.Close();
  win::TempFolder::Write(dir_.Path() + kCacheFileName, firstCache);
  Load(f);
  EXPECT_EQ(Find(f, "PHOTO1.JPG")->Entry->Comment, "second");
  EXPECT_TRUE(Find(f, "PHOTO1.JPG")->Entry->Thumbnail);  // made again, not taken from the old cache
  f.Close();

  // No cache at all: every thumbnail is made again, every comment stays.
  DeleteFileW(win::Wide(dir_.Path() + kCacheFileName).c_str());
  Load(f);
  EXPECT_EQ(Find(f, "PHOTO1.JPG")->Entry->Comment, "second");
  EXPECT_TRUE(Find(f, "PHOTO5.JPG")->Entry->Thumbnail);
  f.Close();
  // An entry with tile -1 gets its thumbnail on the next visit.
  std::vector<std::uint8_t> bytes = win::ReadFileBytes(dir_.Path() + kCatalogueFileName);
  TCatalogue cat = ParseCatalogue(bytes);
  auto p5 = std::find_if(cat.begin(), cat.end(), [](const TCatalogueItem& c) { return c.Name == "PHOTO5.JPG"; });
  p5->Entry.TileIndex = -1;
  win::WriteFileReplacing(dir_.Path() + kCatalogueFileName, SerializeCatalogue(cat));
  Load(f);
  EXPECT_TRUE(Find(f, "PHOTO5.JPG")->Entry->Thumbnail);

  // A file deleted from the folder drops out of the catalogue at the next leave that writes it.
  f.Close();
  DeleteFileW(win::Wide(dir_.Path() + "photo7.jpg").c_str());
  Load(f);
  Find(f, "PHOTO1.JPG")->Entry->Comment = "third";
  f.Close();
  cat = ParseCatalogue(win::ReadFileBytes(dir_.Path() + kCatalogueFileName));
  EXPECT_EQ(cat.size(), 11u);
}

TEST_F(ShownFolderTest, UnwritableFilesStopTheLeaveOnlyWhenSomethingTypedWouldBeLost) {
  MakeFolder();
  TShownFolder f;
  Load(f);
  f.Close();
  const Bytes catalogue = win::ReadFileBytes(dir_.Path() + kCatalogueFileName);
  // The catalogue held open by another program that lets it be read but not replaced.
  HANDLE lock = CreateFileW(win::Wide(dir_.Path() + kCatalogueFileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  // Nothing changed, or only thumbnails made again (they are made again next time): left quietly.
  Load(f);
  EXPECT_NO_THROW(f.Close());
  EXPECT_TRUE(f.Items.empty());
  Load(f);
  f.RemakeThumbnail(static_cast<std::size_t>(Find(f, "PHOTO0.JPG") - f.Items.data()), 24);
  EXPECT_EQ(f.Close(), "");
  // A comment typed: the error is raised and the folder stays, as often as it is tried.
  Load(f);
  Find(f, "PHOTO2.JPG")->Entry->Comment = "keep me";
  EXPECT_THROW(f.Close(), EFCreateError);
  EXPECT_THROW(f.Close(), EFCreateError);
  EXPECT_EQ(Find(f, "PHOTO2.JPG")->Entry->Comment, "keep me");
  f.CloseWithoutSaving();  // the user's choice
  EXPECT_TRUE(f.Items.empty());
  CloseHandle(lock);
  // Neither file was touched, and no temporary file is left behind.
  EXPECT_EQ(win::ReadFileBytes(dir_.Path() + kCatalogueFileName), catalogue);
  for (const std::string& name : dir_.Names()) EXPECT_EQ(name.find('~'), std::string::npos) << name;

  // The cache held open instead: the comment is stored, the new thumbnail is not, and the
  // catalogue never names a place the old cache does not hold for it.
  Load(f);
  Find(f, "PHOTO2.JPG")->Entry->Comment = "new";
  f.SortFiles(skName);
  f.RemakeThumbnail(static_cast<std::size_t>(Find(f, "PHOTO6.JPG") - f.Items.data()), 24);
  lock = CreateFileW(win::Wide(dir_.Path() + kCacheFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  const std::string notice = f.Close();
  CloseHandle(lock);
  EXPECT_NE(notice.find(kCacheFileName), std::string::npos) << notice;
  EXPECT_NE(notice.find("コメントと日付は保存しました"), std::string::npos) << notice;
  TShownFolder g;
  Load(g);
  EXPECT_EQ(Find(g, "PHOTO2.JPG")->Entry->Comment, "new");
  // Its own picture's thumbnail, whatever the old cache has.
  for (const char* name : {"PHOTO2.JPG", "PHOTO6.JPG", "表.JPG"}) {
    auto fresh = MakeThumbnail(dir_.Path() + Find(g, name)->DiskName, 24);
    EXPECT_LT(Distance(*Find(g, name)->Entry->Thumbnail, *fresh->Thumbnail), 6.0) << name;
  }
}

TEST_F(ShownFolderTest, EmptyFoldersWriteNothingAndCancelStopsPartWay) {
  TShownFolder f;
  EXPECT_EQ(Load(f), 0);
  f.Close();
  EXPECT_TRUE(dir_.Names().empty());

  for (int i = 0; i < 40; ++i)
    dir_.File("p" + std::to_string(100 + i) + ".jpg", CompressPixels(testpic::PhotoLike(800, 600, i), 90));
  // The user presses the cancel button once a few files are done.
  clickerGauge = gauge_.get();
  UINT_PTR timer = SetTimer(nullptr, 0, 1, &ClickCancelAfterFour);
  Load(f);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(gauge_->Cancelled());
  EXPECT_FALSE(IsWindowVisible(gauge_->Handle()));
  std::size_t made = 0;
  while (made < f.Items.size() && f.Items[made].Entry) ++made;
  EXPECT_GE(made, 3u);
  EXPECT_LT(made, 40u);
  for (std::size_t i = made; i < f.Items.size(); ++i) EXPECT_FALSE(f.Items[i].Entry);  // the rest untouched

  // Making all thumbnails finishes the rest, keeps what was made.
  TThumbnailPtr first = f.Items[0].Entry->Thumbnail;
  f.MakeMissingThumbnails(*gauge_, 24);
  EXPECT_EQ(f.Items[0].Entry->Thumbnail, first);
  for (const TFileItem& i : f.Items) EXPECT_TRUE(i.Entry && i.Entry->Thumbnail) << i.Name;
  EXPECT_TRUE(f.Changed());

  // Making one again keeps its comment and date; one that cannot be made keeps its old entry.
  f.Items[1].Entry->Comment = "note";
  f.Items[1].Entry->Date = 44000;
  TThumbnailPtr old = f.Items[1].Entry->Thumbnail;
  f.RemakeThumbnail(1, 24);
  EXPECT_NE(f.Items[1].Entry->Thumbnail, old);
  EXPECT_EQ(f.Items[1].Entry->Comment, "note");
  EXPECT_EQ(f.Items[1].Entry->Date, 44000);
  TPictureEntry* kept = f.Items[1].Entry.get();
  dir_.File(f.Items[1].DiskName, Bytes(10, 0));
  EXPECT_THROW(f.RemakeThumbnail(1, 24), EInvalidGraphic);
  EXPECT_EQ(f.Items[1].Entry.get(), kept);
  EXPECT_EQ(f.Items[1].Entry->Comment, "note");
  f.Close();
}
