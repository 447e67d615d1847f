#include "print/print_form.h"

#include <windowsx.h>

#include <gtest/gtest.h>

#include "imaging/win_test_util.h"
#include "print/print_action.h"
#include "print/print_layout.h"
#include "print/print_test_util.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/test_dialogs.h"
#include "win/text.h"

namespace {

using namespace printtest;

class PrintFormTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(UsePdfPrinter());
    qz_ = std::make_unique<TQzPrinter>();
    form_ = std::make_unique<TPrintForm>();
  }
  void TearDown() override {
    form_.reset();
    qz_.reset();
    DiscardPrinter();
  }
  // What the preview panel shows: the dialog's graphic controls painted into a bitmap.
  std::unique_ptr<win::MemoryBitmap> Paint() {
    auto bitmap = std::make_unique<win::MemoryBitmap>(435, 334);
    win::Canvas(bitmap->Dc()).FillRect({0, 0, 435, 334}, win::SysColor(COLOR_BTNFACE));
    form_->PaintGraphics(bitmap->Dc(), {0, 0, 435, 334});
    return bitmap;
  }
  std::unique_ptr<TQzPrinter> qz_;
  std::unique_ptr<TPrintForm> form_;
};

TEST_F(PrintFormTest, MadeHiddenWithItsControlsAndStylesAndNoPrinterTouched) {
  TPrintForm& f = *form_;
  EXPECT_FALSE(f.Visible());
  EXPECT_EQ(f.Text(), "印刷のプロパティ");
  RECT c = f.ClientRect();
  EXPECT_EQ(c.right, 435);
  EXPECT_EQ(c.bottom, 334);
  EXPECT_EQ(f.PreviewScale, 1.0);
  ASSERT_EQ(f.Styles.size(), 5u);
  EXPECT_EQ(f.SizeListItem.Count(), 5);
  EXPECT_EQ(f.SizeListItem.ItemHeight(), 57);
  // The closed list shows the selected style as tall as in the list.
  EXPECT_GE(SendMessageW(f.SizeListItem.Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), 57);
  RECT field{};
  GetWindowRect(f.SizeListItem.Handle(), &field);
  EXPECT_GE(field.bottom - field.top, 57);
  EXPECT_EQ(f.Label3D1.Caption(), "スタイル");
  EXPECT_EQ(f.Label3D2.Caption(), "印刷対象フォルダー");
  EXPECT_EQ(f.Label3D5.Caption(), "使用プリンター");
  EXPECT_EQ(f.BitBtn1.Text(), "プリンターの設定");
  EXPECT_EQ(f.PrintBtn.Text(), "印刷開始");
  EXPECT_FALSE(IsWindowEnabled(f.PrintBtn.Handle()));
  EXPECT_EQ(f.Image1.Width(), 64);
  EXPECT_EQ(f.Image1.Height(), 51);
  EXPECT_EQ(qz_->InfoLoads(), 0);
  // The style list's context menu: three entries and a separator.
  ASSERT_EQ(GetMenuItemCount(f.PopupMenu1()), 4);
  wchar_t text[64];
  GetMenuStringW(f.PopupMenu1(), 0, text, 64, MF_BYPOSITION);
  EXPECT_EQ(win::Narrow(text), "スタイル追加…");
  GetMenuStringW(f.PopupMenu1(), 3, text, 64, MF_BYPOSITION);
  EXPECT_EQ(win::Narrow(text), "スタイル削除");
}

TEST_F(PrintFormTest, ThePrintButtonFollowsTheChecks) {
  const TFolderList folders = FolderList({"C:\\写真\\旅行", "D:\\表ソ\\", "E:\\x"});
  TPrintForm& f = *form_;
  f.SetFolders(folders);
  EXPECT_EQ(f.Folders, &folders);
  ASSERT_EQ(f.DirCheckList.Count(), 3);
  EXPECT_EQ(f.DirCheckList.Item(1), "D:\\表ソ\\");
  EXPECT_FALSE(IsWindowEnabled(f.PrintBtn.Handle()));
  f.SetFolderChecked(2, true);
  EXPECT_TRUE(IsWindowEnabled(f.PrintBtn.Handle()));
  f.SetFolderChecked(2, false);
  EXPECT_FALSE(IsWindowEnabled(f.PrintBtn.Handle()));

  // A click on an item's check box ticks it, as a user does; a click on its text does not.
  RECT item{};
  SendMessageW(f.DirCheckList.Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  const int y = (item.top + item.bottom) / 2;
  SendMessageW(f.DirCheckList.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 4, y));
  SendMessageW(f.DirCheckList.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(item.left + 4, y));
  EXPECT_TRUE(f.DirCheckList.Checked(1));
  EXPECT_TRUE(IsWindowEnabled(f.PrintBtn.Handle()));
  SendMessageW(f.DirCheckList.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 60, y));
  SendMessageW(f.DirCheckList.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(item.left + 60, y));
  EXPECT_TRUE(f.DirCheckList.Checked(1));
  // The space bar ticks the selected item off again.
  SendMessageW(f.DirCheckList.Handle(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(f.DirCheckList.Checked(1));
  EXPECT_FALSE(IsWindowEnabled(f.PrintBtn.Handle()));

  // Handing over another album's folders starts unchecked again.
  f.SetFolderChecked(0, true);
  f.SetFolders(folders);
  EXPECT_FALSE(f.DirCheckList.Checked(0));
  EXPECT_FALSE(IsWindowEnabled(f.PrintBtn.Handle()));
}

TEST_F(PrintFormTest, ShowingReadsThePrinterAndLaysOutThePreview) {
  const TFolderList folders = FolderList({"C:\\a very long folder name that needs the list to scroll sideways"});
  TPrintForm& f = *form_;
  f.SetFolders(folders);
  f.SizeListItem.SetItemIndex(3);
  f.FormShow();
  EXPECT_EQ(f.PrinterNameMemo.Text(), "PDF");
  EXPECT_EQ(f.StyleIndex(), 1);
  EXPECT_EQ(f.SizeLabel.Caption(), "SIZE:" + qz_->GetPaperSizeNames()[static_cast<std::size_t>(qz_->GetPaperSizeIndex())]);
  EXPECT_NE(f.SizeLabel.Caption().find("A4"), std::string::npos);
  EXPECT_EQ(f.DirCheckList.HorizontalExtent(), f.DirCheckList.LineWidth(0) + 16);
  EXPECT_GT(f.DirCheckList.LineWidth(0), f.DirCheckList.TextWidth(folders[0].Path));

  // A4 is width-limited: 190 pixels wide from 26, centred down on 171, in the preview panel.
  const SIZE paper = qz_->GetPhysicalSize();
  const print::PreviewPage page = print::FitPaper(paper.cx, paper.cy);
  EXPECT_EQ(page.Page.Left, 26);
  EXPECT_EQ(page.Page.Right, 216);
  EXPECT_DOUBLE_EQ(f.PreviewScale, page.Scale);
  EXPECT_EQ(f.PaintBox1.Left(), TPrintForm::kPreviewLeft + 26);
  EXPECT_EQ(f.PaintBox1.Top(), page.Page.Top);
  EXPECT_EQ(f.PaintBox1.Width(), 190);
  EXPECT_EQ(f.ShadowShape.Left(), f.PaintBox1.Left() + 8);
  EXPECT_EQ(f.ShadowShape.Top(), f.PaintBox1.Top() + 8);
  EXPECT_EQ(f.PrintableSize.cx, qz_->GetPrintableSize().cx);

  // Every cell of the grid is in the preview at its place, one diagram each; none outside.
  auto shot = Paint();
  const int dpi = qz_->GetResolution().cx;
  const double k = dpi * f.PreviewScale / 25.4;
  const print::PageGrid grid = print::GridMm(GetDeviceCaps(qz_->Handle(), HORZSIZE),
                                             GetDeviceCaps(qz_->Handle(), VERTSIZE), 61, 36);
  ASSERT_EQ(grid.Columns, 3);
  ASSERT_EQ(grid.Rows, 7);
  const TKoumokuSize& style = f.Styles[1];
  for (int i = 0; i < grid.Columns; ++i)
    for (int j = 0; j < grid.Rows; ++j) {
      const print::Point mm = print::CellCornerMm(grid, i, j);
      const int x = f.PaintBox1.Left() + print::RoundEven(mm.X * k), y = f.PaintBox1.Top() + print::RoundEven(mm.Y * k);
      // The caption area (blue) and the size area (purple) of the diagram.
      const print::SampleFrame s = print::FitSample(print::RoundEven(61 * k), print::RoundEven(36 * k), 61, 36, {});
      const print::Rect caption = print::ScaleRect(style.CaptionArea.Rect, s.Scale).Offset(s.Frame.Left, s.Frame.Top);
      const print::Rect size = print::ScaleRect(style.SizeArea.Rect, s.Scale).Offset(s.Frame.Left, s.Frame.Top);
      EXPECT_EQ(shot->Pixel(x + (caption.Left + caption.Right) / 2, y + (caption.Top + caption.Bottom) / 2),
                RGB(0, 0, 255))
          << i << "," << j;
      EXPECT_EQ(shot->Pixel(x + (size.Left + size.Right) / 2, y + (size.Top + size.Bottom) / 2), RGB(128, 0, 128));
    }
  // The left margin is white paper; beside the page is the shadow.
  EXPECT_EQ(shot->Pixel(f.PaintBox1.Left() + print::RoundEven(5 * k), f.PaintBox1.Top() + 100), 0xFFFFFFu);
  EXPECT_EQ(shot->Pixel(f.PaintBox1.Left() + f.PaintBox1.Width() + 3, f.PaintBox1.Top() + 40),
            win::SysColor(COLOR_BTNSHADOW));
}

TEST_F(PrintFormTest, CancelledSetupChangesNothingAndConfirmedSetupShowsTheNewPaper) {
  win::ScriptedDialogs dialogs;
  TPrintForm& f = *form_;
  f.FormShow();
  const std::string label = f.SizeLabel.Caption();
  const RECT page = f.PaintBox1.BoundsRect();
  f.BitBtn1Click();
  EXPECT_EQ(dialogs.printerSetupsShown, 1);
  EXPECT_EQ(f.SizeLabel.Caption(), label);
  EXPECT_TRUE(EqualRect(&page, &f.PaintBox1.BoundsRect()));
  EXPECT_EQ(f.PrinterNameMemo.Text(), "PDF");

  // Legal paper (8.5 x 14 inches) is taller than 270/190 of its width: the page is
  // height-limited, 270 pixels from 36, centred across on 121.
  dialogs.printerSetups.push_back([](PRINTDLGW& pd) {
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(pd.hDevMode));
    mode->dmPaperSize = DMPAPER_LEGAL;
    GlobalUnlock(pd.hDevMode);
    return true;
  });
  f.BitBtn1Click();
  EXPECT_NE(f.SizeLabel.Caption(), label);
  EXPECT_NE(f.SizeLabel.Caption().find("Legal"), std::string::npos);
  EXPECT_EQ(f.PaintBox1.Top(), 36);
  EXPECT_EQ(f.PaintBox1.Height(), 270);
  EXPECT_EQ(f.PaintBox1.Left() - TPrintForm::kPreviewLeft + f.PaintBox1.Width() / 2, 121);
}

// A paper of the user's own size, 70 x 100 mm: the driver has no name for it.
bool SmallCustomPaper(PRINTDLGW& pd) {
  auto* mode = static_cast<DEVMODEW*>(GlobalLock(pd.hDevMode));
  mode->dmPaperSize = 0;
  mode->dmPaperWidth = 700;
  mode->dmPaperLength = 1000;
  mode->dmFields = (mode->dmFields & ~DM_PAPERSIZE) | DM_PAPERWIDTH | DM_PAPERLENGTH;
  GlobalUnlock(pd.hDevMode);
  return true;
}

TEST_F(PrintFormTest, APaperTooSmallForTheStyleShowsThePageWithoutCells) {
  win::ScriptedDialogs dialogs;
  TPrintForm& f = *form_;
  f.FormShow();
  dialogs.printerSetups.push_back(SmallCustomPaper);
  // No style's cell fits 70 mm less the 20 mm of margins. The paper has no name: that is said,
  // and the preview shows the paper all the same.
  win::Application::Guard([&] { f.BitBtn1Click(); });
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "TQzPrinter.GetPaperSizeIndex: Cannot Get Paper Index");
  EXPECT_EQ(f.SizeLabel.Caption(), "SIZE:");
  EXPECT_EQ(f.PaintBox1.Top(), 36);  // 70 x 100 is height-limited
  EXPECT_EQ(f.PaintBox1.Height(), 270);
  EXPECT_EQ(f.PaintBox1.Width(), 826 * 270 / 1181);
  for (int style = 0; style < 5; ++style) {
    f.SizeListItem.SetItemIndex(style);
    auto shot = Paint();
    int blue = 0;
    for (int y = f.PaintBox1.Top(); y < f.PaintBox1.Top() + f.PaintBox1.Height(); ++y)
      for (int x = f.PaintBox1.Left(); x < f.PaintBox1.Left() + f.PaintBox1.Width(); ++x)
        blue += shot->Pixel(x, y) == RGB(0, 0, 255);
    EXPECT_EQ(blue, 0) << style;
    EXPECT_EQ(shot->Pixel(f.PaintBox1.Left() + f.PaintBox1.Width() / 2, f.PaintBox1.Top() + f.PaintBox1.Height() / 2),
              0xFFFFFFu);
  }
}

TEST_F(PrintFormTest, StyleDiagramsAndListItems) {
  TPrintForm& f = *form_;
  // Style 1 in a 52 x 52 square: full width, centred down (frame 0, 10, 52, 41).
  win::MemoryBitmap sample(52, 52);
  win::Canvas(sample.Dc()).FillRect({0, 0, 52, 52}, win::SysColor(COLOR_BTNFACE));
  f.DrawStyleSample(sample, f.Styles[1], {0, 0, 52, 52});
  EXPECT_EQ(sample.Pixel(26, 5), win::SysColor(COLOR_BTNFACE));    // above the frame
  EXPECT_EQ(sample.Pixel(30, 12), RGB(0, 0, 255));                 // caption area
  EXPECT_EQ(sample.Pixel(40, 17), RGB(128, 0, 128));               // size area
  EXPECT_EQ(sample.Pixel(40, 21), RGB(255, 0, 255));               // extra line area
  EXPECT_EQ(sample.Pixel(30, 36), RGB(128, 128, 0));               // extra box area
  EXPECT_EQ(sample.Pixel(51, 26), 0xFFFFFFu);                      // the cell's white margin
  EXPECT_NE(sample.Pixel(10, 20), 0xFFFFFFu);                      // the sample picture
  EXPECT_EQ(sample.Pixel(26, 45), win::SysColor(COLOR_BTNFACE));   // below the frame

  // A selected item of the style list: the relief square, the diagram, the yellow text area.
  win::MemoryBitmap item(169, 57);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_COMBOBOX;
  dis.itemID = 3;
  dis.itemState = ODS_SELECTED;
  dis.hDC = item.Dc();
  dis.rcItem = {0, 0, 169, 57};
  f.SizeListItemDrawItem(dis);
  EXPECT_EQ(item.Pixel(0, 0), 0xFFFFFFu);          // white line along the top and left
  EXPECT_EQ(item.Pixel(0, 30), 0xFFFFFFu);
  EXPECT_EQ(item.Pixel(30, 56), 0u);               // black line along the bottom
  EXPECT_EQ(item.Pixel(56, 30), 0u);               // and the right
  EXPECT_EQ(item.Pixel(30, 55), RGB(128, 128, 128));  // grey inside them
  EXPECT_EQ(item.Pixel(55, 30), RGB(128, 128, 128));
  EXPECT_EQ(item.Pixel(2 + 26, 2 + 3), RGB(0, 0, 255));  // style 3's caption at the diagram's top
  EXPECT_EQ(item.Pixel(165, 3), RGB(255, 255, 0));
  int dark = 0;
  for (int y = 0; y < 57; ++y)
    for (int x = 58; x < 169; ++x) dark += item.Pixel(x, y) == 0;
  EXPECT_GT(dark, 100);  // the title and the two size lines
  // Not selected: white behind the text.
  dis.itemState = 0;
  f.SizeListItemDrawItem(dis);
  EXPECT_EQ(item.Pixel(165, 3), 0xFFFFFFu);
}

TEST_F(PrintFormTest, TheClosedStyleListShowsEachLineOnOneLine) {
  TPrintForm& f = *form_;
  // The closed list's field, as the combo box lays it out: narrower than the open list.
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(f.SizeListItem.Handle(), &info));
  const int width = info.rcItem.right - info.rcItem.left, height = info.rcItem.bottom - info.rcItem.top;
  ASSERT_GT(width, 58);
  for (UINT style = 0; style < 5; ++style) {
    win::MemoryBitmap item(width, height);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_COMBOBOX;
    dis.itemID = style;
    dis.itemState = ODS_COMBOBOXEDIT;
    dis.hDC = item.Dc();
    dis.rcItem = {0, 0, width, height};
    f.SizeListItemDrawItem(dis);
    // The text's ink comes in bands of rows: the title, the width and the height, no more.
    int bands = 0;
    bool inked = false;
    for (int y = 0; y < height; ++y) {
      bool row = false;
      for (int x = 58; x < width && !row; ++x) row = item.Pixel(x, y) == 0;
      if (row && !inked) ++bands;
      inked = row;
    }
    EXPECT_EQ(bands, 3) << f.Styles[style].Title;
  }
}

TEST_F(PrintFormTest, TheFolderListShowsEachFoldersOwnNameFirstInWholeRows) {
  imgtest::TempDir dir;
  const std::string trip = dir.Path() + "旅行2024", gone = dir.Path() + "消えた";
  CreateDirectoryW(win::Wide(trip).c_str(), nullptr);
  EXPECT_EQ(FolderLine(trip), (std::pair<std::string, std::string>{"旅行2024", trip}));
  EXPECT_EQ(FolderLine(trip + "\\"), (std::pair<std::string, std::string>{"旅行2024", trip + "\\"}));
  EXPECT_EQ(FolderLine(gone), (std::pair<std::string, std::string>{"消えた", "見つかりません: " + gone}));
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string root = win::Narrow(std::wstring(windows, 3));
  EXPECT_EQ(FolderLine(root), (std::pair<std::string, std::string>{root, ""}));

  TPrintForm& f = *form_;
  const TFolderList folders = FolderList({trip, gone});
  f.SetFolders(folders);
  EXPECT_EQ(f.DirCheckList.Item(0), trip);  // what the job prints is still the path
  // The list shows whole lines only.
  const RECT c = f.DirCheckList.ClientRect();
  EXPECT_EQ(c.bottom % f.DirCheckList.ItemHeight(), 0) << c.bottom;
  // The name is drawn at the line's start, the path after it in grey.
  RECT line{};
  SendMessageW(f.DirCheckList.Handle(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&line));
  win::MemoryBitmap item(400, line.bottom - line.top);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_LISTBOX;
  dis.itemID = 0;
  dis.hwndItem = f.DirCheckList.Handle();
  dis.hDC = item.Dc();
  dis.rcItem = {0, 0, 400, line.bottom - line.top};
  // The list hands over its DC with its font chosen.
  win::SelectGuard font(item.Dc(), reinterpret_cast<HGDIOBJ>(SendMessageW(f.DirCheckList.Handle(), WM_GETFONT, 0, 0)));
  SendMessageW(f.Handle(), WM_DRAWITEM, TPrintForm::kDirCheckListId, reinterpret_cast<LPARAM>(&dis));
  const int nameEnd = win::CheckListBox::kBoxWidth + 4 + f.DirCheckList.TextWidth("旅行2024");
  int blackInName = 0, blackAfter = 0, inkAfter = 0;
  for (int y = 0; y < dis.rcItem.bottom; ++y)
    for (int x = win::CheckListBox::kBoxWidth; x < 400; ++x) {
      const std::uint32_t p = item.Pixel(x, y);
      if (x < nameEnd) blackInName += p == 0;
      if (x > nameEnd) blackAfter += p == 0, inkAfter += p != 0xFFFFFF;
    }
  EXPECT_GT(blackInName, 10);
  EXPECT_GT(inkAfter, 10);
  EXPECT_EQ(blackAfter, 0);  // the path is grey
}

TEST_F(PrintFormTest, ThePrintCommandTicksTheSelectedFolderOrAll) {
  const TFolderList folders = FolderList({"C:\\Photos\\Trip", "C:\\Photos\\Home", "C:\\写真"});
  TPrintForm& f = *form_;
  std::vector<bool> seen;
  int shown = 0;
  f.OnShown = [&](TPrintForm& form) {
    ++shown;
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.Folders, &folders);
    seen.clear();
    for (int i = 0; i < form.DirCheckList.Count(); ++i) seen.push_back(form.DirCheckList.Checked(i));
    EXPECT_EQ(form.PrinterNameMemo.Text(), "PDF");
    EXPECT_EQ(IsWindowEnabled(form.PrintBtn.Handle()) != FALSE, std::count(seen.begin(), seen.end(), true) > 0);
    form.Close();
  };
  ShowPrintDialog(f, folders, nullptr);
  EXPECT_EQ(seen, (std::vector<bool>{true, true, true}));
  const std::string node = "c:\\photos\\HOME";
  ShowPrintDialog(f, folders, &node);
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));
  const std::string gone = "C:\\elsewhere";
  ShowPrintDialog(f, folders, &gone);
  EXPECT_EQ(seen, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(shown, 3);
  EXPECT_FALSE(f.Visible());
  EXPECT_EQ(f.Folders, nullptr);  // the album may go once the dialog is closed
}

TEST_F(PrintFormTest, WithoutAVisiblePrinterTheDialogStillOpensAndSaysWhy) {
  win::ScriptedDialogs dialogs;
  form_.reset();
  qz_.reset();
  HiddenPrinter hidden(kPdfPrinter);
  ASSERT_TRUE(hidden.Ok());
  qz_ = std::make_unique<TQzPrinter>();
  form_ = std::make_unique<TPrintForm>();
  const TFolderList folders = FolderList({"C:\\Photos"});
  bool shown = false;
  form_->OnShown = [&](TPrintForm& form) {
    shown = true;
    form.Close();
  };
  ShowPrintDialog(*form_, folders, nullptr);
  EXPECT_TRUE(shown);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "TQzPrinter.CheckNoPrinter: No Printer");
  // Painting the preview asks the printer nothing and fails nothing.
  Paint();
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

}  // namespace
