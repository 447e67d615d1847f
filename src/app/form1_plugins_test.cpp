// The main window's plug-in commands: the information and selection dialogs reached through
// the menu, the choice of formats kept beside the library across a restart, where plug-ins run
// as the settings say, and what a plug-in's fault costs a folder and tells the user.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/comment_form.h"
#include "catalogue/gauge_form.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/file_io.h"
#include "win/test_dialogs.h"

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
    SetSPIPlacement(TSPIPlacement::Helper);
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

TEST_F(FormPluginCommands, PluginFaultsAreNamedInTheStatusBarAndSummedUp) {
  TForm1 form(lib);
  TPicture picture;
  picture.LoadFromFile(pictures.File("a.pfl", Ppm(2, 2)));  // the faulting plug-in first
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(form.StatusText(1), "fault" + PluginExt() + " が a.pfl で異常を起こしました");
  // Another file of the folder: the first is not forgotten.
  picture.LoadFromFile(pictures.File("b.pfl", Ppm(2, 2)));
  EXPECT_EQ(form.StatusText(1), "プラグインの異常 2 件: fault" + PluginExt() + " (a.pfl ほか 1 件)");
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(FormPluginCommands, InProcessInTheSettingsFileIsReadAtStart) {
  const std::string ini = "[Plugins]\r\nInProcess=1\r\n";
  TempDir::Write(library.Path() + "Quiran.ini", Bytes(ini.begin(), ini.end()));
  {
    TForm1 form(lib);
    ASSERT_EQ(form.SPIs1->Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_NE(form.SPIs1->Items(i)->Handle(), nullptr) << i;
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  }
  DeleteFileW(win::Wide(library.Path() + "Quiran.ini").c_str());
  TForm1 form(lib);
  ASSERT_EQ(form.SPIs1->Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(form.SPIs1->Items(i)->Handle(), nullptr) << i;
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

namespace {

// A folder of nine pictures read by one plug-in, which faults on the first of them (16 pixels
// wide), the way a PNG plug-in faults on 16-bit PNGs it cannot read, shown in the main window.
class FormPluginFault : public testing::Test {
 protected:
  void SetUp() override {
    plugins.CopyPlugin("picky");
    pictures.File("a16.ppk", Ppm(16, 12));
    for (int i = 1; i <= 8; ++i) pictures.File("b" + std::to_string(i) + ".ppk", Ppm(20, 15));
    TFolderList folders;
    folders.push_back({pictures.win::TempFolder::Path(), std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"写真", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
    win::TempFolder::Write(library.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
    GetCurrentDirectoryW(MAX_PATH, oldDir);
    SetCurrentDirectoryW(win::Wide(plugins.Path()).c_str());
    InitPictureFormats();
  }
  void TearDown() override {
    SetCurrentDirectoryW(oldDir);
    DonePictureFormats();
    SetSPIPlacement(TSPIPlacement::Helper);
  }
  // Opens the album and shows its folder; answers the number of items with a thumbnail.
  int ShowFolder(TForm1& form) {
    form.BookShape1Click(*form.Books[0]);
    HWND tree = form.TreeView1.Handle();
    auto folder = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form.RootNode)));
    form.TreeView1.Select(folder);
    form.TreeView1Click();
    int made = 0;
    for (const TFileItem& item : form.Folder.Items) made += item.Entry && item.Entry->Thumbnail;
    return made;
  }
  void LeaveFolder(TForm1& form) {
    form.TreeView1.Select(form.RootNode);
    form.TreeView1Click();
  }
  TempDir plugins, library, pictures;
  wchar_t oldDir[MAX_PATH];
  TGaugeForm gauge;
};

}  // namespace

TEST_F(FormPluginFault, InItsHelperAPluginFaultCostsOnlyTheFileItFaultedOn) {
  TForm1 form(library.Path() + "Quiran.Alb");
  form.GaugeForm = &gauge;
  ResetPluginLog(plugins.Path() + "picky" + PluginExt());
  EXPECT_EQ(ShowFolder(form), 8);
  ASSERT_EQ(form.Folder.Items.size(), 9u);
  EXPECT_FALSE(form.Folder.Items[0].Entry && form.Folder.Items[0].Entry->Thumbnail);
  EXPECT_EQ(form.Folder.Items[8].Entry->PixelWidth, 20);
  EXPECT_EQ(form.StatusText(1), "picky" + PluginExt() + " が a16.ppk で異常を起こしました");
  EXPECT_FALSE(form.SPIs1->Items(0)->SetAside());
  // Shown again: the file it faulted on is not given to it again; the others come from the cache.
  LeaveFolder(form);
  ResetPluginLog(plugins.Path() + "picky" + PluginExt());
  EXPECT_EQ(ShowFolder(form), 8);
  EXPECT_EQ(PluginLog(plugins.Path() + "picky" + PluginExt()).find("A16.PPK"), std::string::npos);
  EXPECT_EQ(PluginLog(plugins.Path() + "picky" + PluginExt()).find("a16.ppk"), std::string::npos);
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(FormPluginFault, InsideQuiranAFaultSavesWhatTheUserTypedAndAsksForARestart) {
  const std::string ini = "[Plugins]\r\nInProcess=1\r\n";
  TempDir::Write(library.Path() + "Quiran.ini", Bytes(ini.begin(), ini.end()));
  // The folder first without the picture the plug-in faults on; a comment is typed.
  const Bytes faulting = win::TempFolder::Read(pictures.Path() + "a16.ppk");
  DeleteFileW(win::Wide(pictures.Path() + "a16.ppk").c_str());
  win::ScriptedDialogs dialogs;
  TCommentForm comment;
  TForm1 form(library.Path() + "Quiran.Alb");
  form.GaugeForm = &gauge;
  form.CommentForm = &comment;
  ASSERT_NE(form.SPIs1->Items(0)->Handle(), nullptr);  // inside Quiran
  EXPECT_EQ(ShowFolder(form), 8);
  SendMessageW(form.ListBox1.Handle(), LB_SETCURSEL, 0, 0);
  comment.OnShown = [](TCommentForm& f) {
    f.Memo1.SetText("祖母の家で");
    PostMessageW(f.Handle(), WM_COMMAND, IDOK, 0);
  };
  form.ExecuteCommand(app::cmd::N21);
  ASSERT_EQ(form.Folder.Items[0].Entry->Comment, "祖母の家で");
  EXPECT_FALSE(win::FileExists(pictures.Path() + kCatalogueFileName));  // nothing written yet

  // The plug-in faults inside Quiran on a picture of the folder: the comment is on disk at once,
  // before anything else can go wrong, and the window is still open.
  TempDir::Write(pictures.Path() + "a16.ppk", faulting);
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile(pictures.Path() + "a16.ppk"), EInvalidGraphic);
  const TCatalogue stored = ParseCatalogue(win::TempFolder::Read(pictures.Path() + kCatalogueFileName));
  ASSERT_EQ(stored.size(), 8u);
  EXPECT_EQ(std::count_if(stored.begin(), stored.end(), [](const TCatalogueItem& i) { return i.Entry.Comment == "祖母の家で"; }), 1);
  EXPECT_TRUE(form.SPIs1->Items(0)->SetAside());
  EXPECT_EQ(SPIPlacement(), TSPIPlacement::Helper);  // the rest of the run uses the helpers
  // Once the call is over, the user is told what was saved and to restart; only once.
  EXPECT_TRUE(dialogs.messages.empty());
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("picky" + PluginExt()), std::string::npos) << dialogs.messages[0].text;
  EXPECT_NE(dialogs.messages[0].text.find("保存しました"), std::string::npos) << dialogs.messages[0].text;
  EXPECT_NE(dialogs.messages[0].text.find("起動し直してください"), std::string::npos) << dialogs.messages[0].text;
  EXPECT_NE(form.StatusText(1).find("Quiran を再起動してください"), std::string::npos) << form.StatusText(1);
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(FormPluginFault, TheProgressDialogsCancelEndsAPluginCallThatNeverReturns) {
  plugins.CopyPlugin("hang");
  DeleteFileW(win::Wide(pictures.Path() + "a16.ppk").c_str());
  pictures.File("z.phg", Ppm(3, 3));
  TForm1 form(library.Path() + "Quiran.Alb");
  form.GaugeForm = &gauge;
  // The user clicks the dialog's cancel button while the plug-in is inside GetPicture.
  const std::string log = plugins.Path() + "hang" + PluginExt();
  std::thread user([&] {
    for (int i = 0; i < 600 && PluginLog(log).find("GetPicture(") == std::string::npos; ++i) Sleep(50);
    PostMessageW(gauge.BitBtn1.Handle(), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(ShowFolder(form), 8);
  user.join();
  ASSERT_EQ(form.Folder.Items.size(), 9u);
  // A cancel is no fault: the plug-in was not waited for until it counted as hung.
  EXPECT_TRUE(form.SPIs1->Faults().Empty()) << form.SPIs1->Faults().Summary();
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
}
