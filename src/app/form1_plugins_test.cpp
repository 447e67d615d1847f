// The main window's plug-in commands: the information and selection dialogs reached through
// the menu, the choice of formats kept beside the library across a restart, and the notice of
// a plug-in that faulted.
#include <gtest/gtest.h>

#include "app/form1.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/file_io.h"

using namespace imgtest;

namespace {

// The window's plug-in search, among its places, includes the current directory: the test
// plug-ins are put in one and it is made current while the window is built.
class FormPluginCommands : public testing::Test {
 protected:
  void SetUp() override {
    plugins.CopyPlugin("ppm");
    plugins.CopyPlugin("catch");
    plugins.CopyPlugin("fault");
    GetCurrentDirectoryW(MAX_PATH, oldDir);
    SetCurrentDirectoryW(win::Wide(plugins.Path()).c_str());
    InitPictureFormats();
  }
  void TearDown() override {
    SetCurrentDirectoryW(oldDir);
    DonePictureFormats();
  }
  TempDir plugins, library, pictures;
  std::string lib = library.Path() + "Quiran.Alb";
  wchar_t oldDir[MAX_PATH];
  TAboutForm2 about;
  TSusieOptForm choice;
};

}  // namespace

TEST_F(FormPluginCommands, UntickedFormatsStayWithdrawnAfterARestart) {
  {
    TForm1 form(lib);
    form.AboutForm2 = &about;
    form.SusieOptForm = &choice;
    ASSERT_EQ(form.SPIs1->Count(), 3);
    EXPECT_TRUE(IsPictureFile("A.PPM"));
    // The information dialog through its menu item lists every format.
    std::string info;
    about.OnShown = [&](TAboutForm2& f) {
      info = f.Memo1.Text();
      PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
    };
    form.ExecuteCommand(app::cmd::SusiePulagin1);
    EXPECT_NE(info.find("PPM image (*.ppm)"), std::string::npos) << info;
    EXPECT_NE(info.find("Third format (*.pc4)"), std::string::npos) << info;
    // The selection dialog through its menu item: the PPM format unticked, OK.
    int ppmLine = -1;
    choice.OnShown = [&](TSusieOptForm& f) {
      for (int i = 0; i < f.CheckListBox1.Count(); ++i)
        if (f.CheckListBox1.Item(i) == "PPM image (*.ppm)") ppmLine = i;
      if (ppmLine >= 0) f.CheckListBox1.SetChecked(ppmLine, false);
      PostMessageW(f.BitBtn1.Handle(), BM_CLICK, 0, 0);
    };
    form.ExecuteCommand(app::cmd::SusiePlugin1);
    ASSERT_GE(ppmLine, 0);
    EXPECT_FALSE(IsPictureFile("A.PPM"));
    EXPECT_TRUE(win::FileExists(library.Path() + "Quiran.ini"));
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  }
  // Restarted: still withdrawn; the PPM files are neither listed nor read by that plug-in.
  TForm1 form(lib);
  EXPECT_FALSE(IsPictureFile("A.PPM"));
  ResetPluginLog(plugins.Path() + "ppm" + PluginExt());
  TPicture picture;
  picture.LoadFromFile(pictures.File("a.ppm", Ppm(2, 2)));  // another plug-in reads it
  EXPECT_EQ(PluginLog(plugins.Path() + "ppm" + PluginExt()), "");
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(FormPluginCommands, ADamagedSettingsFileMeansEveryFormatInUse) {
  TempDir::Write(library.Path() + "Quiran.ini", Bytes{'[', 0x81, '\n'});
  TForm1 form(lib);
  EXPECT_TRUE(form.SPIs1->FormatChoice().AllInUse());
  EXPECT_TRUE(IsPictureFile("A.PPM"));
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(FormPluginCommands, AFaultingPluginIsNamedInTheStatusBarOnce) {
  TForm1 form(lib);
  TPicture picture;
  picture.LoadFromFile(pictures.File("a.pfl", Ppm(2, 2)));  // the faulting plug-in first
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(form.StatusText(1), "fault" + PluginExt() + " は異常のため停止しました");
  form.SetStatusText(1, "");
  picture.LoadFromFile(pictures.File("b.pfl", Ppm(2, 2)));
  EXPECT_EQ(form.StatusText(1), "");
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}
