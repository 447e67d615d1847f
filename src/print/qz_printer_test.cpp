#include "print/qz_printer.h"

#include <gtest/gtest.h>

#include <functional>

#include "print/print_test_util.h"
#include "print/printer.h"
#include "print/qz_printer_setup_dialog.h"
#include "win/test_dialogs.h"

namespace {

using namespace printtest;

// Every test starts from the PDF printer, with its own printer-information object.
class QzPrinterTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(UsePdfPrinter()); }
  void TearDown() override { DiscardPrinter(); }
  int PdfPosition(TQzPrinter& qz) {
    const auto& names = qz.GetPrinterNames();
    return static_cast<int>(std::find(names.begin(), names.end(), "PDF") - names.begin());
  }
};

template <class E>
std::string MessageOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("another failure: ") + e.what();
  }
  return "no failure";
}

TEST_F(QzPrinterTest, ThePdfQueueIsAnA4PrinterAt300Dpi) {
  TQzPrinter qz;
  EXPECT_EQ(qz.GetIndex(), PdfPosition(qz));
  EXPECT_EQ(qz.GetResolution().cx, 300);
  EXPECT_EQ(qz.GetResolution().cy, 300);
  // A4 is 210 x 297 mm: 2480 x 3508 dots, less a rounding dot across.
  EXPECT_NEAR(qz.GetPhysicalSize().cx, 2480, 1);
  EXPECT_EQ(qz.GetPhysicalSize().cy, 3508);
  EXPECT_LE(qz.GetPrintableSize().cx + qz.GetPhysicalOffset().x, qz.GetPhysicalSize().cx);
  EXPECT_LE(qz.GetPrintableSize().cy + qz.GetPhysicalOffset().y, qz.GetPhysicalSize().cy);
  EXPECT_EQ(qz.GetPaperSizeNumber(), DMPAPER_A4);
  const auto& papers = qz.GetPaperSizeNames();
  EXPECT_EQ(papers.size(), 65u);
  EXPECT_EQ(qz.PaperCodes().size(), papers.size());
  EXPECT_EQ(qz.PaperCodes()[static_cast<std::size_t>(qz.GetPaperSizeIndex())], DMPAPER_A4);
  EXPECT_NE(papers[static_cast<std::size_t>(qz.GetPaperSizeIndex())].find("A4"), std::string::npos);
  EXPECT_TRUE(qz.IsSupported(TQzPrinter::pcPaperSize, ""));
  EXPECT_TRUE(qz.InfoFlags() & TQzPrinter::kPaperInfo);
  EXPECT_EQ(qz.CachedIndex(), Printer().PrinterIndex());
}

TEST_F(QzPrinterTest, PaperNamesTwiceAskTheDriverOnce) {
  TQzPrinter qz;
  const std::vector<std::string>* first = &qz.GetPaperSizeNames();
  const std::vector<std::string> copy = *first;
  EXPECT_EQ(qz.InfoLoads(), 1);
  EXPECT_EQ(&qz.GetPaperSizeNames(), first);
  EXPECT_EQ(qz.GetPaperSizeNames(), copy);
  qz.GetPaperSizeIndex();
  EXPECT_EQ(qz.InfoLoads(), 1);
  qz.ResetInfo();
  EXPECT_EQ(qz.InfoLoads(), 2);
}

TEST_F(QzPrinterTest, HiddenOrNoPrintersFailEveryGuardedOperation) {
  HiddenPrinter hidden(kPdfPrinter);
  ASSERT_TRUE(hidden.Ok());
  TQzPrinter qz;
  const std::function<void()> guarded[] = {
      [&] { qz.GetIndex(); },           [&] { qz.GetPrinterNames(); },  [&] { qz.GetPaperSizeNumber(); },
      [&] { qz.GetPaperSizeNames(); },  [&] { qz.GetPaperSizeIndex(); }, [&] { qz.GetCapabilities(); },
      [&] { qz.GetPhysicalSize(); },    [&] { qz.GetPhysicalOffset(); }, [&] { qz.GetPrintableSize(); },
      [&] { qz.GetResolution(); }};
  for (const auto& op : guarded)
    EXPECT_EQ(MessageOf<EQzPrinterNoPrinter>(op), "TQzPrinter.CheckNoPrinter: No Printer");
  EXPECT_EQ(qz.CachedIndex(), -1);
}

TEST_F(QzPrinterTest, PositionsCountTheVisiblePrintersOnly) {
  AddedPrinter b(L"Quiran B", true), c(L"Quiran C", false);
  ASSERT_TRUE(b.Added() && c.Added());
  ASSERT_NO_FATAL_FAILURE(UsePdfPrinter());
  TQzPrinter qz;
  const auto& all = Printer().Printers();
  auto at = [&](const wchar_t* name) { return static_cast<int>(std::find(all.begin(), all.end(), name) - all.begin()); };
  ASSERT_LT(at(L"Quiran C"), static_cast<int>(all.size()));
  ASSERT_LT(at(L"Quiran B"), at(L"Quiran C"));
  const auto& names = qz.GetPrinterNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Quiran B"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Quiran C"), 1);
  EXPECT_EQ(names.size() + 1, all.size());

  Printer().SetPrinterIndex(at(L"Quiran C"));
  EXPECT_EQ(qz.GetIndex(), at(L"Quiran C") - 1);
  EXPECT_EQ(names[static_cast<std::size_t>(qz.GetIndex())], "Quiran C");
  Printer().SetPrinterIndex(at(L"Quiran B"));
  EXPECT_EQ(MessageOf<EQzPrinterIllegalIndex>([&] { qz.GetIndex(); }),
            "TQzPrinter.GetIndex: Printers.PrinterIndex is Illegal");
}

TEST_F(QzPrinterTest, SettingsChangeFiresOnlyWhenPrintersOrPortsChange) {
  TQzPrinter qz;
  int fired = 0;
  qz.OnPrintersChange = [&] { ++fired; };
  qz.GetPaperSizeNames();
  BroadcastSettingsChange();
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(qz.CachedIndex(), Printer().PrinterIndex());

  const int before = qz.Printers().Count();
  {
    AddedPrinter added(L"Quiran Added", false);
    ASSERT_TRUE(added.Added());
    BroadcastSettingsChange();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(qz.CachedIndex(), -1);
    EXPECT_EQ(qz.Printers().Count(), before + 1);
    // The printer object was discarded and comes back knowing the new printer.
    const auto& now = Printer().Printers();
    EXPECT_NE(std::find(now.begin(), now.end(), L"Quiran Added"), now.end());
  }
  BroadcastSettingsChange();
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(qz.Printers().Count(), before);
}

TEST_F(QzPrinterTest, ConfirmedSetupReloadsFromAFreshDeviceMode) {
  TQzPrinter qz;
  win::ScriptedDialogs dialogs;
  EXPECT_EQ(qz.GetPaperSizeNumber(), DMPAPER_A4);
  const int loads = qz.GetPaperSizeNames().empty() ? -1 : qz.InfoLoads();
  const SIZE a4 = qz.GetPhysicalSize();

  // The user cancels: nothing changes.
  TQzPrinterSetupDialog setup;
  EXPECT_FALSE(setup.Execute());
  EXPECT_EQ(dialogs.printerSetupsShown, 1);
  EXPECT_EQ(qz.InfoLoads(), loads);
  EXPECT_EQ(qz.GetPaperSizeNumber(), DMPAPER_A4);

  // The user picks Letter on the same printer and confirms.
  std::wstring device;
  dialogs.printerSetups.push_back([&](PRINTDLGW& pd) {
    EXPECT_TRUE(pd.Flags & PD_PRINTSETUP);
    auto* names = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames));
    device = reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset;
    GlobalUnlock(pd.hDevNames);
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(pd.hDevMode));
    mode->dmPaperSize = DMPAPER_LETTER;
    mode->dmFields |= DM_PAPERSIZE;
    GlobalUnlock(pd.hDevMode);
    return true;
  });
  const int index = Printer().PrinterIndex();
  EXPECT_TRUE(setup.Execute());
  EXPECT_EQ(device, L"PDF");
  EXPECT_EQ(Printer().PrinterIndex(), index);
  EXPECT_EQ(qz.InfoLoads(), loads + 1);  // reloaded although the printer index is the same
  EXPECT_EQ(qz.GetPaperSizeNumber(), DMPAPER_LETTER);
  EXPECT_EQ(qz.PaperCodes()[static_cast<std::size_t>(qz.GetPaperSizeIndex())], DMPAPER_LETTER);
  // 8.5 x 11 inches at 300 dpi.
  EXPECT_EQ(qz.GetPhysicalSize().cx, 2550);
  EXPECT_EQ(qz.GetPhysicalSize().cy, 3300);
  EXPECT_NE(qz.GetPhysicalSize().cy, a4.cy);
}

TEST_F(QzPrinterTest, APaperCodeMissingFromTheDriversListFails) {
  TQzPrinter qz;
  qz.GetPaperSizeNames();
  std::wstring device, driver, port;
  HGLOBAL mode = nullptr;
  Printer().GetPrinter(device, driver, port, mode);
  auto* dm = static_cast<DEVMODEW*>(GlobalLock(mode));
  dm->dmPaperSize = 0x7ABC;
  GlobalUnlock(mode);
  qz.ClearDevMode();
  EXPECT_EQ(MessageOf<EQZPrinterPaperSizeError>([&] { qz.GetPaperSizeIndex(); }),
            "TQzPrinter.GetPaperSizeIndex: Cannot Get Paper Index");
}

TEST_F(QzPrinterTest, TheRealSetupDialogCancelsAndConfirms) {
  TQzPrinter qz;
  qz.GetPaperSizeNames();
  const int loads = qz.InfoLoads();
  TQzPrinterSetupDialog setup;
  {
    win::AnswerRealDialog cancel(IDCANCEL);
    EXPECT_FALSE(setup.Execute());
  }
  EXPECT_EQ(qz.InfoLoads(), loads);
  {
    win::AnswerRealDialog ok(IDOK);
    EXPECT_TRUE(setup.Execute());
  }
  EXPECT_EQ(qz.InfoLoads(), loads + 1);
  EXPECT_EQ(qz.GetPrinterNames()[static_cast<std::size_t>(qz.GetIndex())], "PDF");
  EXPECT_EQ(qz.GetPaperSizeNumber(), DMPAPER_A4);
}

TEST_F(QzPrinterTest, OnlyOneObjectAtATime) {
  TQzPrinter qz;
  EXPECT_EQ(&QzPrinter(), &qz);
  EXPECT_THROW(TQzPrinter second, EQzPrinter);
  EXPECT_EQ(&QzPrinter(), &qz);
}

TEST_F(QzPrinterTest, APageTheDeviceRefusesFailsAndTheDocumentCanBeAbandoned) {
  TQzPrinter qz;
  const std::string title = UniqueTitle();
  qz.BeginDoc(title);
  // The device goes away under the document: GDI refuses the page.
  DeleteDC(qz.Handle());
  EXPECT_THROW(qz.NewPage(), EPrinter);
  qz.Abort();
  EXPECT_FALSE(Printer().Printing());
  EXPECT_TRUE(Printer().Aborted());
  EXPECT_TRUE(NoPdfArrives(title, 3000));
}

TEST_F(QzPrinterTest, ADocumentTheSpoolerRefusesFailsAndThePrinterStaysUsable) {
  // A printer whose port is a file in a folder that does not exist: the spooler refuses the
  // document when it ends.
  {
    AddedPrinter broken(L"Quiran Broken", false, L"/nonexistent/quiran/out.ps");
    ASSERT_TRUE(broken.Added());
    DiscardPrinter();
    const auto& all = Printer().Printers();
    Printer().SetPrinterIndex(static_cast<int>(std::find(all.begin(), all.end(), L"Quiran Broken") - all.begin()));
    TQzPrinter qz;
    qz.BeginDoc(UniqueTitle());
    qz.NewPage();
    EXPECT_THROW(qz.EndDoc(), EPrinter);
    EXPECT_FALSE(Printer().Printing());
  }
  // The next document on the PDF printer prints.
  ASSERT_NO_FATAL_FAILURE(UsePdfPrinter());
  TQzPrinter qz;
  const std::string title = UniqueTitle();
  qz.BeginDoc(title);
  qz.NewPage();
  qz.EndDoc();
  const std::string pdf = WaitForPdf(title);
  ASSERT_FALSE(pdf.empty());
  EXPECT_EQ(PdfPages(pdf, 20).size(), 2u);
  RemovePdfs(title);
}

}  // namespace
