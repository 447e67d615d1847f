// The plug-in dialogs as real windows under Wine, with the test plug-ins loaded, and the
// settings file that keeps the plug-in choice.
#include <gtest/gtest.h>

#include "imaging/about_form2.h"
#include "imaging/plugin_settings.h"
#include "imaging/spi_bitmap.h"
#include "imaging/susie_opt_form.h"
#include "imaging/wic_image.h"
#include "imaging/win_test_util.h"

using namespace imgtest;

namespace {

class PluginForms : public testing::Test {
 protected:
  void SetUp() override { InitPictureFormats(); }
  void TearDown() override {
    spis_.Clear();
    DonePictureFormats();
  }
  TSPI* Add(const std::string& kind) {
    spis_.Add(CreateSPI(Plugin(kind)));
    return spis_.Items(spis_.Count() - 1);
  }
  std::vector<std::string> Lines(const win::CheckListBox& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i));
    return out;
  }
  // The ticks of the plug-ins' lines, which come before those of Windows' codecs.
  std::vector<bool> Ticks(const win::CheckListBox& list) {
    std::vector<bool> out;
    for (int i = 0; i + WicFormats().size() < static_cast<std::size_t>(list.Count()); ++i) out.push_back(list.Checked(i));
    return out;
  }
  static std::string WicText() {
    std::string text;
    for (const TWicFormat& f : WicFormats()) text += "\r\n" + WicFormatLine(f);
    return text;
  }
  TSPIs spis_;
};

// A left click at a point of the list's client area, as the mouse gives it.
void Click(HWND h, int x, int y) {
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

const std::vector<std::string> kThreeFormats = {"Catches its own faults (*.pct)", "Second format (*.pc2;*.pc3)",
                                                "Third format (*.pc4)"};

}  // namespace

TEST_F(PluginForms, SelectionListsEveryFormatAndScrollsToTheWidestLine) {
  TSusieOptForm form;
  // No plug-ins: an empty list whose horizontal extent is the 30-pixel margin alone.
  form.SetList({});
  EXPECT_EQ(form.CheckListBox1.Count(), 0);
  EXPECT_EQ(form.CheckListBox1.HorizontalExtent(), 30);

  // One plug-in with one format, one without any, one with three: lines in list and entry
  // order, "description (filter)".
  Add("ppm");
  Add("no_info3");
  Add("catch");
  std::vector<std::string> texts;
  for (const TFormatLine& l : FormatLines(spis_)) texts.push_back(l.Text);
  std::vector<std::string> expected = {"PPM image (*.ppm)"};
  expected.insert(expected.end(), kThreeFormats.begin(), kThreeFormats.end());
  EXPECT_EQ(texts, expected);
  form.SetList(texts);
  EXPECT_EQ(Lines(form.CheckListBox1), expected);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(form.CheckListBox1.Checked(i));  // SetList leaves them unticked
  int widest = 0;
  for (const std::string& t : texts) widest = std::max(widest, form.CheckListBox1.TextWidth(t));
  EXPECT_GT(widest, 100);
  EXPECT_EQ(form.CheckListBox1.HorizontalExtent(), widest + 30);
  // A long line takes the extent with it; a shorter list gives it back.
  const std::string longLine(80, 'W');
  form.SetList({longLine});
  EXPECT_EQ(form.CheckListBox1.HorizontalExtent(), form.CheckListBox1.TextWidth(longLine) + 30);
  form.SetList({"a"});
  EXPECT_EQ(form.CheckListBox1.HorizontalExtent(), form.CheckListBox1.TextWidth("a") + 30);
}

TEST_F(PluginForms, TicksShowTheFormatsInUseAndOkWithdrawsTheUnticked) {
  TSPI* ppm = Add("ppm");
  TSPI* own = Add("catch");
  TSusieOptForm form;
  // Cancel changes nothing, whatever was ticked.
  form.OnShown = [&](TSusieOptForm& f) {
    EXPECT_EQ(Ticks(f.CheckListBox1), std::vector<bool>(4, true));  // all in use at first
    EXPECT_TRUE(IsWindowVisible(f.Handle()));
    Click(f.CheckListBox1.Handle(), 5, 12 + 6);  // the second line's box
    EXPECT_FALSE(f.CheckListBox1.Checked(1));
    PostMessageW(f.BitBtn2.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_FALSE(form.ChooseFormats(spis_));
  EXPECT_TRUE(spis_.FormatChoice().AllInUse());
  EXPECT_FALSE(IsWindowVisible(form.Handle()));

  // OK: a click on the text only selects; a click on the box and the space bar on the
  // selected line untick.
  form.OnShown = [&](TSusieOptForm& f) {
    HWND list = f.CheckListBox1.Handle();
    Click(list, 60, 2 * 12 + 6);  // the third line's text
    EXPECT_TRUE(f.CheckListBox1.Checked(2));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(f.CheckListBox1.Checked(2));
    Click(list, 5, 6);  // the first line's box
    PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_TRUE(form.ChooseFormats(spis_));
  EXPECT_FALSE(spis_.FormatInUse(*ppm, 0));
  EXPECT_TRUE(spis_.FormatInUse(*own, 0));
  EXPECT_FALSE(spis_.FormatInUse(*own, 1));
  EXPECT_TRUE(spis_.FormatInUse(*own, 2));

  // Opened again: the lines show the choice; ticking brings a format back.
  form.OnShown = [&](TSusieOptForm& f) {
    EXPECT_EQ(Ticks(f.CheckListBox1), (std::vector<bool>{false, true, false, true}));
    Click(f.CheckListBox1.Handle(), 5, 6);
    PostMessageW(f.Handle(), WM_KEYDOWN, VK_RETURN, 0);  // Enter is OK
    PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_TRUE(form.ChooseFormats(spis_));
  EXPECT_TRUE(spis_.FormatInUse(*ppm, 0));
  EXPECT_FALSE(spis_.FormatInUse(*own, 1));
}

TEST_F(PluginForms, InformationListsTheFormatsOnceEachTimeItIsShown) {
  TAboutForm2 form;
  std::vector<std::string> shown;
  form.OnShown = [&](TAboutForm2& f) {
    shown.push_back(f.Memo1.Text());
    PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
  };
  form.ShowModal();  // no manager yet
  Add("ppm");
  Add("no_info3");
  Add("catch");
  form.ShowModal();
  form.ShowModal();  // twice: the same lines, once
  ASSERT_EQ(shown.size(), 3u);
  // Windows' codecs are named after the plug-ins, marked as theirs.
  ASSERT_FALSE(WicFormats().empty());
  EXPECT_EQ(shown[0], WicText().substr(2));
  EXPECT_NE(shown[0].find("WIC: PNG Decoder (*.png)"), std::string::npos) << shown[0];
  std::string expected = "PPM image (*.ppm)";
  for (const std::string& l : kThreeFormats) expected += "\r\n" + l;
  expected += WicText();
  EXPECT_EQ(shown[1], expected);
  EXPECT_EQ(shown[2], expected);
  EXPECT_EQ(SendMessageW(form.Memo1.Handle(), EM_GETLINECOUNT, 0, 0), static_cast<LRESULT>(4 + WicFormats().size()));
  // Read-only, with both scroll bars.
  const LONG style = GetWindowLongW(form.Memo1.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & ES_READONLY);
  EXPECT_TRUE((style & (WS_HSCROLL | WS_VSCROLL)) == (WS_HSCROLL | WS_VSCROLL));
  // Esc closes it too.
  form.OnShown = [](TAboutForm2& f) { PostMessageW(f.Memo1.Handle(), WM_KEYDOWN, VK_ESCAPE, 0); };
  form.ShowModal();
}

TEST_F(PluginForms, TheChoiceIsKeptInTheSettingsFile) {
  TempDir dir;
  const std::string path = dir.Path() + "Quiran.ini";
  TSPI* own = Add("catch");
  // Missing: all in use.
  TPluginSettings settings(path);
  EXPECT_TRUE(settings.Load().AllInUse());
  spis_.SetFormatInUse(*own, 1, false);
  settings.Save(spis_.FormatChoice());
  // The next run reads it back: the format stays withdrawn, for this plug-in file name only.
  TPluginSettings next(path);
  TFormatChoice read = next.Load();
  EXPECT_EQ(read, spis_.FormatChoice());
  EXPECT_FALSE(read.InUse("catch" + PluginExt(), "*.pc2;*.pc3"));
  EXPECT_TRUE(read.InUse("other" + PluginExt(), "*.pc2;*.pc3"));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quiran.ini"});

  // Damaged: all in use, and the damaged file is kept aside before it is written over.
  const Bytes damaged = {'[', 'U', 'n', 'u', 's', 'e', 'd', 0xFF, 0x00};
  dir.File("Quiran.ini", damaged);
  TPluginSettings third(path);
  EXPECT_TRUE(third.Load().AllInUse());
  third.Save(read);
  EXPECT_EQ(win::TempFolder::Read(path + ".bak"), damaged);
  EXPECT_EQ(TPluginSettings(path).Load(), read);
}

TEST_F(PluginForms, WindowsCodecsAreListedAndCanBeWithdrawnLikeAPluginsFormats) {
  Add("ppm");
  const std::vector<TWicFormat>& wic = WicFormats();
  std::size_t png = wic.size();
  for (std::size_t i = 0; i < wic.size(); ++i)
    if (wic[i].Filter == "*.png") png = i;
  ASSERT_LT(png, wic.size());
  EXPECT_TRUE(IsPictureFile("A.PNG"));
  TSusieOptForm form;
  form.OnShown = [&](TSusieOptForm& f) {
    ASSERT_EQ(f.CheckListBox1.Count(), static_cast<int>(1 + wic.size()));
    EXPECT_EQ(f.CheckListBox1.Item(static_cast<int>(1 + png)), "WIC: PNG Decoder (*.png)");
    for (int i = 0; i < f.CheckListBox1.Count(); ++i) EXPECT_TRUE(f.CheckListBox1.Checked(i)) << i;
    f.CheckListBox1.SetChecked(static_cast<int>(1 + png), false);
    PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_TRUE(form.ChooseFormats(spis_));
  EXPECT_FALSE(spis_.FormatChoice().InUse(kWicName, "*.png"));
  EXPECT_EQ(spis_.FormatChoice().Unused(), (std::vector<std::pair<std::string, std::string>>{{"WIC", "*.png"}}));
  EXPECT_FALSE(IsPictureFile("A.PNG"));
  EXPECT_TRUE(IsPictureFile("A.GIF"));
  // Ticked again: back in use.
  form.OnShown = [&](TSusieOptForm& f) {
    EXPECT_FALSE(f.CheckListBox1.Checked(static_cast<int>(1 + png)));
    f.CheckListBox1.SetChecked(static_cast<int>(1 + png), true);
    PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_TRUE(form.ChooseFormats(spis_));
  EXPECT_TRUE(spis_.FormatChoice().AllInUse());
  EXPECT_TRUE(IsPictureFile("A.PNG"));
}
