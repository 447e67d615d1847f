#include "print/print_job.h"

#include <gtest/gtest.h>

#include <cstring>

#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "imaging/jpeg_image.h"
#include "imaging/win_test_util.h"
#include "print/print_action.h"
#include "print/print_form.h"
#include "print/print_test_util.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/test_dialogs.h"

namespace {

using namespace printtest;
using imgtest::Bytes;

// A photograph stand-in of one colour with a darker frame, so its box is easy to find on the
// printed page.
Bytes Photo(int w, int h, std::uint32_t color) {
  PixelBuffer p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, x < 4 || y < 4 || x >= w - 4 || y >= h - 4 ? 0x202020 : color);
  return EncodeJpeg(p, 92);
}

std::uint32_t ColorOf(int i) {
  static const std::uint32_t colors[] = {0x3050E0, 0x30C040, 0xD04040, 0x20B0E0, 0xC040C0, 0x40A0A0};
  return colors[i % 6];
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs(static_cast<int>(a >> s & 255) - static_cast<int>(b >> s & 255)));
  return d;
}

class PrintJobTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(UsePdfPrinter());
    qz_ = std::make_unique<TQzPrinter>();
    form_ = std::make_unique<TPrintForm>();
    form_->GaugeForm = &gauge_;
    form_->SizeListItem.SetItemIndex(1);
  }
  void TearDown() override {
    form_.reset();
    qz_.reset();
    DiscardPrinter();
  }
  // A folder of count photographs (wide ones, and every third one tall) named P00.JPG ...
  std::string Folder(const std::string& name, int count, int colorBase = 0) {
    std::string path = dir_.Path() + name;
    CreateDirectoryW(win::Wide(path).c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
      const bool tall = i % 3 == 2;
      char file[16];
      std::snprintf(file, sizeof file, "P%02d.JPG", i);
      win::TempFolder::Write(path + "\\" + file, Photo(tall ? 300 : 400, tall ? 400 : 300, ColorOf(colorBase + i)));
    }
    return path;
  }
  // The layout the job uses on the current printer for the selected style.
  print::JobLayout Layout() { return LayoutOnPrinter(form_->Style(), qz_->Handle()); }
  // Runs the job with the folders ticked; the failure's message, empty when none.
  std::string Print(const std::vector<std::string>& folders, const std::string& title) {
    folders_ = FolderList(folders);
    form_->SetFolders(folders_);
    for (int i = 0; i < static_cast<int>(folders_.size()); ++i) form_->SetFolderChecked(i, true);
    try {
      PrintCheckedFolders(*form_, gauge_, title);
    } catch (const Exception& e) {
      return e.Message();
    }
    return {};
  }

  imgtest::TempDir dir_;
  TFolderList folders_;
  TGaugeForm gauge_;
  std::unique_ptr<TQzPrinter> qz_;
  std::unique_ptr<TPrintForm> form_;
};

// What a user or the device does while a job runs, from a timer: the job lets messages through
// once per file.
TGaugeForm* watched = nullptr;
void CALLBACK CancelAtThree(HWND, UINT, UINT_PTR, DWORD) {
  if (watched->Visible() && watched->Position() >= 3) watched->BitBtn1Click();
}
HWND printDialog = nullptr;
bool dialogEnabledWhilePrinting = false, sawPrinting = false;
void CALLBACK WatchTheDialog(HWND, UINT, UINT_PTR, DWORD) {
  if (!watched->Visible()) return;
  sawPrinting = true;
  dialogEnabledWhilePrinting |= IsWindowEnabled(printDialog) != FALSE;
}
void CALLBACK LoseTheDeviceAtTwenty(HWND, UINT, UINT_PTR id, DWORD) {
  if (!watched->Visible() || watched->Position() < 20) return;
  KillTimer(nullptr, id);
  DeleteDC(QzPrinter().Handle());
}

// The page pictures are rendered at 100 dpi; the printer has 300.
constexpr int kRender = 100;

struct PageCheck {
  const PixelBuffer& page;
  int dpi;
  int X(int dots) const { return dots * kRender / dpi; }
  int Ink(const print::Rect& dots) const {
    return InkIn(page, X(dots.Left), X(dots.Top), X(dots.Right), X(dots.Bottom));
  }
  std::uint32_t At(int x, int y) const { return page.Pixel(X(x), X(y)); }
};

TEST_F(PrintJobTest, TwoFoldersInStyle1EachOnItsOwnPages) {
  const print::JobLayout L = Layout();
  ASSERT_EQ(L.CellsPerPage, 21);  // 3 x 7 cells on A4 at 300 dpi
  // The first folder fills one page and one cell of the next, one of its files is not a
  // picture; the second folder is named with its backslash; the third is empty.
  const std::string first = Folder("first", 21);
  win::TempFolder::Write(first + "\\BROKEN.JPG", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'});
  const std::string second = Folder("second", 3, 3) + "\\";
  const std::string empty = Folder("empty", 0);
  const std::string title = UniqueTitle();
  EXPECT_EQ(Print({first, second, empty}, title), "");
  EXPECT_FALSE(gauge_.Visible());
  EXPECT_FALSE(Printer().Printing());

  const std::string pdf = WaitForPdf(title);
  ASSERT_FALSE(pdf.empty()) << "no document from the PDF printer";
  std::vector<PixelBuffer> pages = PdfPages(pdf, kRender);
  RemovePdfs(title);
  ASSERT_EQ(pages.size(), 3u);

  TFileItems firstFiles, secondFiles;
  ASSERT_EQ(ScanFolder(first + "\\", firstFiles), 22);
  ASSERT_EQ(ScanFolder(second, secondFiles), 3);
  const TKoumokuSize& style = form_->Style();
  struct Placed {
    int page, cell;
    const TFileItem* file;
    int colorIndex;
  };
  std::vector<Placed> placed;
  for (int i = 0; i < 22; ++i) placed.push_back({i / 21, i % 21, &firstFiles[i], -1});
  for (int i = 0; i < 3; ++i) placed.push_back({2, i, &secondFiles[i], -2});

  for (int p = 0; p < 3; ++p) {
    SCOPED_TRACE(p);
    PageCheck page{pages[static_cast<std::size_t>(p)], L.DpiX};
    // The heading: the folder's path with one backslash at its end, 5 mm under the top.
    EXPECT_GT(page.Ink({L.Heading.X, L.Heading.Y, L.Heading.X + 600, L.Heading.Y + 50}), 40);
    EXPECT_EQ(page.Ink({0, 0, L.Heading.X - 5, L.TopOrigin - 5}), 0);
    // In 11-point type: its ink is less than the 46 dots of the type's height, and more
    // than half of it.
    int first = -1, last = -1;
    for (int y = 0; y < page.X(L.TopOrigin - 5); ++y)
      if (InkIn(page.page, 0, y, page.page.Width(), y + 1) > 0) {
        if (first < 0) first = y;
        last = y;
      }
    ASSERT_GE(first, 0);
    EXPECT_LE(first, page.X(L.Heading.Y + 10));
    EXPECT_GT((last - first + 1) * L.DpiY / kRender, 23);
    EXPECT_LE((last - first + 1) * L.DpiY / kRender, 48);
  }
  for (const Placed& c : placed) {
    SCOPED_TRACE(c.file->Name);
    PageCheck page{pages[static_cast<std::size_t>(c.page)], L.DpiX};
    const print::Point corner = L.CellCorner(c.cell);
    const print::Rect box{corner.X + print::MmToDots(style.PictureRect.Left, L.DpiX),
                          corner.Y + print::MmToDots(style.PictureRect.Top, L.DpiY), 0, 0};
    const print::Rect caption = print::AreaToDots(style.CaptionArea.Rect, L.DpiX, L.DpiY, corner.X, corner.Y);
    const print::Rect size = print::AreaToDots(style.SizeArea.Rect, L.DpiX, L.DpiY, corner.X, corner.Y);
    const print::Rect extraLine = print::AreaToDots(style.ExtraLineArea.Rect, L.DpiX, L.DpiY, corner.X, corner.Y);
    EXPECT_GT(page.Ink(caption), 20);  // the file name
    EXPECT_EQ(page.Ink(extraLine), 0);
    const int centreX = box.Left + L.BoxWidth / 2, centreY = box.Top + L.BoxHeight / 2;
    if (c.file->Name == "BROKEN.JPG") {
      // Its name and an empty box: white inside, the outline around.
      EXPECT_EQ(page.At(centreX, centreY), 0xFFFFFFu);
      EXPECT_GT(page.Ink({box.Left - 3, box.Top - 3, box.Left + L.BoxWidth + 3, box.Top + 6}), 10);
      EXPECT_EQ(page.Ink(size), 0);
      continue;
    }
    const int number = std::stoi(c.file->Name.substr(1, 2));
    const std::uint32_t color = ColorOf((c.colorIndex == -2 ? 3 : 0) + number);
    EXPECT_LT(Distance(page.At(centreX, centreY), color), 40) << std::hex << page.At(centreX, centreY);
    EXPECT_GT(page.Ink(size), 20);  // "SIZE:W400xH300(Dot)"
    // Tall pictures are centred across their box: the box's left quarter stays white.
    const bool tall = number % 3 == 2;
    EXPECT_EQ(page.At(box.Left + L.BoxWidth / 8, centreY) == 0xFFFFFFu, tall);
  }
  // The rest of the last page of each folder is empty.
  for (auto [p, from] : {std::pair{1, 1}, std::pair{2, 3}}) {
    PageCheck page{pages[static_cast<std::size_t>(p)], L.DpiX};
    for (int k = from; k < L.CellsPerPage; ++k) {
      const print::Point corner = L.CellCorner(k);
      EXPECT_EQ(page.Ink({corner.X, corner.Y, corner.X + print::MmToDots(60, L.DpiX),
                          corner.Y + print::MmToDots(35, L.DpiY)}),
                0)
          << p << " " << k;
    }
  }
}

TEST_F(PrintJobTest, CancellingLeavesNoPagesAndSaysSo) {
  const std::string folder = Folder("many", 25);
  // The user presses the progress dialog's cancel button once the third picture is on its way.
  watched = &gauge_;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, &CancelAtThree);
  const std::string title = UniqueTitle();
  const std::string message = Print({folder}, title);
  KillTimer(nullptr, timer);
  EXPECT_EQ(message, "印刷処理を中止します。");
  EXPECT_TRUE(gauge_.Cancelled());
  EXPECT_FALSE(gauge_.Visible());
  EXPECT_FALSE(Printer().Printing());
  EXPECT_TRUE(NoPdfArrives(title));
}

TEST_F(PrintJobTest, APageTheSpoolerRefusesAbandonsTheDocument) {
  const std::string folder = Folder("two pages", 23);
  // The device goes away before the second page is started.
  watched = &gauge_;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, &LoseTheDeviceAtTwenty);
  const std::string title = UniqueTitle();
  const std::string message = Print({folder}, title);
  KillTimer(nullptr, timer);
  EXPECT_EQ(message.rfind("印刷できませんでした。印刷を中止します。", 0), 0u) << message;
  EXPECT_FALSE(gauge_.Visible());
  EXPECT_FALSE(Printer().Printing());
  EXPECT_TRUE(NoPdfArrives(title));
  // The next job prints.
  const std::string again = UniqueTitle();
  EXPECT_EQ(Print({folder}, again), "");
  EXPECT_FALSE(WaitForPdf(again).empty());
  RemovePdfs(again);
}

TEST_F(PrintJobTest, AStyleTooLargeForThePaperIsRefusedBeforeAnythingIsPrinted) {
  std::wstring device, driver, port;
  HGLOBAL mode = nullptr;
  Printer().GetPrinter(device, driver, port, mode);
  // 70 x 100 mm: less than one 50 mm cell and the 20 mm of margins.
  const SIZE_T size = GlobalSize(mode);
  HGLOBAL small = GlobalAlloc(GHND, size);
  std::memcpy(GlobalLock(small), GlobalLock(mode), size);
  GlobalUnlock(mode);
  auto* dm = static_cast<DEVMODEW*>(GlobalLock(small));
  dm->dmPaperSize = 0;
  dm->dmPaperWidth = 700;
  dm->dmPaperLength = 1000;
  dm->dmFields = (dm->dmFields & ~DM_PAPERSIZE) | DM_PAPERWIDTH | DM_PAPERLENGTH;
  GlobalUnlock(small);
  Printer().SetPrinter(device, driver, port, small);
  const std::string folder = Folder("small paper", 2);
  for (int style = 0; style < 5; ++style) {
    form_->SizeListItem.SetItemIndex(style);
    const std::string title = UniqueTitle();
    EXPECT_EQ(Print({folder}, title), "この用紙にはこのスタイルのセルが入りません。");
    EXPECT_FALSE(Printer().Printing());
    EXPECT_FALSE(gauge_.Visible());
  }
}

TEST_F(PrintJobTest, OnlyEmptyFoldersPrintNoBlankSheet) {
  win::ScriptedDialogs dialogs;
  const std::string title = UniqueTitle();
  EXPECT_EQ(Print({Folder("nothing", 0), Folder("nothing either", 0)}, title), "");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "印刷する画像がありません。");
  EXPECT_FALSE(Printer().Printing());
  EXPECT_TRUE(NoPdfArrives(title, 4000));
}

TEST_F(PrintJobTest, ADocumentTheSpoolerRefusesAtItsEndIsReported) {
  AddedPrinter broken(L"Quiran Broken", false, L"/nonexistent/quiran/out.ps");
  ASSERT_TRUE(broken.Added());
  form_.reset();
  qz_.reset();
  DiscardPrinter();
  const auto& all = Printer().Printers();
  Printer().SetPrinterIndex(static_cast<int>(std::find(all.begin(), all.end(), L"Quiran Broken") - all.begin()));
  qz_ = std::make_unique<TQzPrinter>();
  form_ = std::make_unique<TPrintForm>();
  form_->SizeListItem.SetItemIndex(1);
  const std::string message = Print({Folder("to nowhere", 2)}, UniqueTitle());
  EXPECT_EQ(message.rfind("印刷を終了できません", 0), 0u) << message;
  EXPECT_FALSE(gauge_.Visible());
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(PrintJobTest, ThePrintButtonPrintsTheDocumentNamedQuiran) {
  win::ScriptedDialogs dialogs;
  const std::vector<std::string> before = PdfFiles("Quiran");
  const TFolderList folders = FolderList({Folder("button", 2)});
  watched = &gauge_;
  printDialog = form_->Handle();
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, &WatchTheDialog);
  form_->OnShown = [&](TPrintForm& form) {
    EXPECT_TRUE(IsWindowEnabled(form.PrintBtn.Handle()));
    SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(TPrintForm::kPrintBtnId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form.PrintBtn.Handle()));
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));  // usable again once the job is done
    form.Close();
  };
  ShowPrintDialog(*form_, folders, nullptr);
  KillTimer(nullptr, timer);
  // Only the progress dialog took input while the job ran.
  EXPECT_TRUE(sawPrinting);
  EXPECT_FALSE(dialogEnabledWhilePrinting);
  const std::string pdf = WaitForPdf("Quiran", 90000, before);
  ASSERT_FALSE(pdf.empty());
  EXPECT_EQ(PdfPages(pdf, 30).size(), 1u);
  DeleteFileW(win::Wide(pdf).c_str());
  EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
