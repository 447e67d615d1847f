// The plug-in manager under Wine, with the test plug-ins built beside win_tests.exe.
#include "imaging/spi.h"

#include <optional>

#include <gtest/gtest.h>

#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/test_alloc.h"

using namespace imgtest;

namespace {

const char kSusieKey[] = "Software\\Vexmoran\\Susie\\Plug-in";

void SetSusiePath(const std::string* path) {
  std::wstring key = win::Wide(kSusieKey);
  if (!path) {
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  std::wstring value = win::Wide(*path);
  RegSetValueExW(k, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

std::vector<std::string> Names(const TSPIs& spis) {
  std::vector<std::string> out;
  for (int i = 0; i < spis.Count(); ++i) out.emplace_back(sjis::ExtractFileName(spis.Items(i)->FileName()));
  return out;
}

// Every test of the manager runs with the plug-ins in each place they can run.
class SpiManager : public testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    place_.emplace(GetParam());
    InitPictureFormats();
  }
  void TearDown() override {
    DonePictureFormats();
    SetSusiePath(nullptr);
    place_.reset();
  }
  std::optional<PlaceAt> place_;
};

INSTANTIATE_TEST_SUITE_P(Placements, SpiManager, testing::ValuesIn(Placements()), PlacementName);

}  // namespace

TEST_P(SpiManager, FactoryPicksTheClassByExactVersionText) {
  auto in = CreateSPI(Plugin("ppm"));
  ASSERT_TRUE(in);
  EXPECT_TRUE(dynamic_cast<TInSPI*>(in.get()));
  EXPECT_EQ(in->APIVersion(), "00IN");
  EXPECT_EQ(in->PluginInfo(), "Quiran test PPM reader");
  EXPECT_EQ(in->Filters(), std::vector<std::string>{"*.ppm"});
  EXPECT_EQ(in->Descriptions(), std::vector<std::string>{"PPM image"});
  EXPECT_TRUE(in->CanLoad());
  EXPECT_TRUE(sjis::SameTextAscii(in->FileName(), Plugin("ppm")));

  auto am = CreateSPI(Plugin("archive"));
  EXPECT_TRUE(dynamic_cast<TAmSPI*>(am.get()));
  EXPECT_TRUE(am->CanLoad());
  auto xn = CreateSPI(Plugin("xn"));
  EXPECT_TRUE(dynamic_cast<TXnSPI*>(xn.get()));
  EXPECT_FALSE(xn->CanLoad());
  auto lower = CreateSPI(Plugin("lower_api"));  // "00in" is not "00IN"
  ASSERT_TRUE(lower);
  EXPECT_EQ(typeid(*lower), typeid(TSPI));
  EXPECT_FALSE(lower->CanLoad());

  // GetPluginInfo(3) answering 0 leaves no format entries at all.
  auto gap = CreateSPI(Plugin("no_info3"));
  ASSERT_TRUE(dynamic_cast<TInSPI*>(gap.get()));
  EXPECT_TRUE(gap->Filters().empty());
  EXPECT_TRUE(gap->Descriptions().empty());
}

TEST_P(SpiManager, MissingFunctionsAndUnloadableFiles) {
  try {
    CreateSPI(Plugin("no_getpicture"));
    FAIL();
  } catch (const ESPIInvalidAPI& e) {
    EXPECT_EQ(e.Message(), "GetPictureは[" + Plugin("no_getpicture") + "]では使えないSusie Plugin APIです");
  }
  EXPECT_THROW(CreateSPI(Plugin("no_api")), ESPIInvalidAPI);
  TempDir dir;
  EXPECT_EQ(CreateSPI(dir.File("text.spi", Bytes(300, 'x'))), nullptr);
  EXPECT_EQ(CreateSPI(dir.Path() + "missing.spi"), nullptr);
  // What CreateSPI gives for such a file cannot go into a list: refused, the list unchanged.
  TSPIs spis;
  spis.Add(CreateSPI(Plugin("ppm")));
  EXPECT_THROW(spis.Add(CreateSPI(dir.Path() + "missing.spi")), Exception);
  EXPECT_THROW(spis.Insert(0, nullptr), Exception);
  ASSERT_EQ(spis.Count(), 1);
  EXPECT_NE(spis.Items(0), nullptr);
  try {
    TSPI::Create(dir.Path() + "missing.spi");
    FAIL();
  } catch (const ESPIFOpenErrorSPI& e) {
    EXPECT_EQ(e.Message(), dir.Path() + "missing.spi:Susie Pluginがロードできませんでした");
  }
  // A failed construction releases the library.
  EXPECT_EQ(GetModuleHandleW(win::Wide(Plugin("no_getpicture")).c_str()), nullptr);
}

TEST_P(SpiManager, OneManagerAtATime) {
  EXPECT_EQ(CurrentSPIs(), nullptr);
  {
    TSPIs first;
    EXPECT_EQ(CurrentSPIs(), &first);
    EXPECT_EQ(first.SearchOptions, SearchSet({spsSusieDir, spsAppDir}));
    EXPECT_TRUE(first.AutoSearch);
    try {
      TSPIs second;
      FAIL();
    } catch (const ESPIDupCreateSPIs& e) {
      EXPECT_EQ(e.Message(), "TSPIs は複数生成できません");
    }
    EXPECT_EQ(CurrentSPIs(), &first);
  }
  EXPECT_EQ(CurrentSPIs(), nullptr);
  TSPIs again;
  EXPECT_EQ(CurrentSPIs(), &again);
}

TEST_P(SpiManager, SearchOfOneDirectorySkipsWhatCannotBeUsed) {
  TempDir dir;
  dir.CopyPlugin("ppm");
  dir.CopyPlugin("archive");
  dir.CopyPlugin("no_getpicture");  // lacks a function its kind needs: skipped, the search goes on
  dir.CopyPlugin("no_api");
  dir.File("junk" + PluginExt(), Bytes(100, 0));
  std::string hidden = dir.CopyPlugin("xn", "hidden" + PluginExt());
  SetFileAttributesW(win::Wide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  dir.File("other.dll", Bytes(10, 0));
  TSPIs spis;
  spis.SearchOptions = 0;  // a mask with a directory part ignores the options
  spis.Search(dir.Path() + "*" + PluginExt());
  std::vector<std::string> names = Names(spis);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"archive" + PluginExt(), "ppm" + PluginExt()}));
  EXPECT_EQ(spis.IndexOf(sjis::UpperAscii(dir.Path() + "ppm" + PluginExt())), spis.IndexOf(dir.Path() + "ppm" + PluginExt()));
  EXPECT_GE(spis.IndexOf(dir.Path() + "ppm" + PluginExt()), 0);
  EXPECT_EQ(spis.IndexOf(dir.Path() + "none.spi"), -1);
  // Searching again adds nothing: every file is already loaded.
  spis.Search(dir.Path() + "*" + PluginExt());
  EXPECT_EQ(spis.Count(), 2);
}

TEST_P(SpiManager, APluginFaultingWhileItIsLoadedIsSkippedAndNamed) {
  TempDir dir;
  dir.CopyPlugin("fault_info");  // faults in GetPluginInfo (2)
  dir.CopyPlugin("ppm");
  TSPIs spis;
  std::vector<TPluginFault> told;
  spis.OnPluginFault = [&](TSPIs&, const TPluginFault& f) { told.push_back(f); };
  spis.Search(dir.Path() + "*" + PluginExt());
  EXPECT_EQ(Names(spis), std::vector<std::string>{"ppm" + PluginExt()});
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(sjis::SameTextAscii(told[0].Plugin, dir.Path() + "fault_info" + PluginExt()));
  EXPECT_EQ(told[0].File, "");
  EXPECT_TRUE(told[0].SetAside);
  const bool inside = GetParam() == Where::InProcess;
  EXPECT_EQ(told[0].InProcess, inside);
  EXPECT_EQ(SPIFaultedInProcess(), inside);
  // After a fault inside Quiran the rest of the run goes to the helper: the PPM reader too.
  EXPECT_EQ(SPIPlacement(), TSPIPlacement::Helper);
  TPicture picture;
  picture.LoadFromFile(dir.File("a.ppm", Ppm(3, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(2, 1), PpmColor(2, 1));
  EXPECT_EQ(spis.Items(0)->Handle(), nullptr);
}

TEST_P(SpiManager, SearchPlacesRegistryAndDuplicates) {
  TempDir a, b;
  a.CopyPlugin("ppm");
  b.CopyPlugin("ppm");  // the same name in another directory is another plug-in
  b.CopyPlugin("multi");
  wchar_t oldDir[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, oldDir);
  SetCurrentDirectoryW(win::Wide(a.Path()).c_str());
  {
    // Registry value set to b: b comes first, then the current directory a.
    std::string path = b.Path();
    path.pop_back();  // stored without the trailing backslash; one is appended
    SetSusiePath(&path);
    TSPIs spis;
    spis.SearchOptions = SearchSet({spsSusieDir, spsCurrentDir});
    spis.Loaded();
    ASSERT_EQ(spis.Count(), 3);
    EXPECT_TRUE(sjis::SameTextAscii(sjis::ExtractFilePath(spis.Items(0)->FileName()), b.Path()));
    EXPECT_TRUE(sjis::SameTextAscii(spis.Items(2)->FileName(), a.Path() + "ppm" + PluginExt()));
  }
  {
    // The registry naming the current directory too: each file is loaded once.
    SetSusiePath(&a.Path());
    TSPIs spis;
    spis.SearchOptions = SearchSet({spsSusieDir, spsCurrentDir});
    spis.Search("*" + PluginExt());
    EXPECT_EQ(spis.Count(), 1);
  }
  {
    // Without the registry key the search starts with the next place.
    SetSusiePath(nullptr);
    TSPIs spis;
    spis.SearchOptions = SearchSet({spsSusieDir, spsCurrentDir});
    spis.AutoSearch = false;
    spis.Loaded();
    EXPECT_EQ(spis.Count(), 0);
    spis.Search("*" + PluginExt());
    EXPECT_EQ(Names(spis), std::vector<std::string>{"ppm" + PluginExt()});
  }
  SetCurrentDirectoryW(oldDir);
}

TEST_P(SpiManager, EventsDecideWhatIsLoadedAndRegistered) {
  TempDir dir;
  dir.CopyPlugin("ppm");
  dir.CopyPlugin("multi");
  TSPIs spis;
  std::vector<std::string> asked;
  spis.OnSearching = [&](TSPIs&, const std::string& file, bool& accept) {
    asked.emplace_back(sjis::ExtractFileName(file));
    accept = asked.back() != "ppm" + PluginExt();
  };
  spis.Search(dir.Path() + "*" + PluginExt());
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(Names(spis), std::vector<std::string>{"multi" + PluginExt()});
  // Three patterns register three extensions, "*.*" registers "*".
  EXPECT_EQ(FindFileFormat("aa"), &TSPIBitmap::Class);
  EXPECT_EQ(FindFileFormat("CC"), &TSPIBitmap::Class);
  EXPECT_EQ(FindFileFormat("*"), &TSPIBitmap::Class);
  auto formats = FileFormats();
  EXPECT_EQ(formats.back().Extension, "*");
  EXPECT_EQ(formats.back().Description, "Everything");
  EXPECT_EQ(formats[formats.size() - 2].Description, "Three patterns");

  spis.Clear();  // registrations stay
  EXPECT_EQ(FindFileFormat("bb"), &TSPIBitmap::Class);
  DonePictureFormats();
  EXPECT_EQ(FindFileFormat("bb"), nullptr);
  InitPictureFormats();

  // OnSearch refusing or failing destroys the plug-in; OnPictureRegister may change the class.
  spis.OnSearching = nullptr;
  spis.OnSearch = [](TSPIs&, TSPI& spi, bool& accept) {
    if (spi.PluginInfo() == "Quiran test several patterns") throw Exception("refused");
  };
  std::vector<std::string> registered;
  spis.OnPictureRegister = [&](TSPIs&, TInSPI&, const std::string& ext, const std::string&, const TGraphicClass*& cls) {
    registered.push_back(ext);
    cls = nullptr;
  };
  spis.Search(dir.Path() + "*" + PluginExt());
  EXPECT_EQ(Names(spis), std::vector<std::string>{"ppm" + PluginExt()});
  EXPECT_EQ(registered, std::vector<std::string>{"ppm"});
  EXPECT_EQ(FindFileFormat("ppm"), nullptr);

  // A failing OnSearching handler ends the search and reaches the caller.
  spis.Clear();
  spis.OnSearching = [](TSPIs&, const std::string&, bool&) { throw Exception("stop"); };
  EXPECT_THROW(spis.Search(dir.Path() + "*" + PluginExt()), Exception);
  EXPECT_EQ(spis.Count(), 0);
}

TEST_P(SpiManager, NothingIsRegisteredWithoutADefaultClass) {
  TSPIs::SetDefaultGraphicClass(nullptr);
  TSPIs spis;
  spis.Add(CreateSPI(Plugin("ppm")));
  EXPECT_EQ(FindFileFormat("ppm"), nullptr);
  InitPictureFormats();
  spis.Insert(0, CreateSPI(Plugin("pal4_0")));
  EXPECT_EQ(FindFileFormat("p4a"), &TSPIBitmap::Class);
  EXPECT_EQ(spis.Items(0)->Filters()[0], "*.p4a");
}

TEST_P(SpiManager, CandidatesClaimingTheExtensionComeFirstInReverse) {
  TSPIs spis;
  spis.Add(CreateSPI(Plugin("ppm")));      // *.ppm
  spis.Add(CreateSPI(Plugin("topdown")));  // *.ptd
  spis.Add(CreateSPI(Plugin("archive")));  // not an image-input plug-in
  spis.Add(CreateSPI(Plugin("bmp")));      // *.bmp
  spis.Add(CreateSPI(Plugin("pal4_0")));   // *.p4a
  std::vector<TSPI*> list;
  spis.GetSPIs({&IsSPIOf<TInSPI>}, "C:\\x\\a.BMP", list);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], spis.Items(3));
  EXPECT_EQ(list[1], spis.Items(0));
  EXPECT_EQ(list[3], spis.Items(4));
  list.clear();
  spis.GetSPIs({&IsSPIOf<TLoaderSPI>}, "noext", list);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_EQ(list[2], spis.Items(2));
}

TEST_P(SpiManager, PluginsOfThisBuildsKindAreFound) {
  // A 64-bit build finds the 64-bit plug-ins (*.sph) and also *.spi files: through its
  // helpers it uses 32-bit ones too, whatever their names, even with plug-ins set to run
  // inside it. A 32-bit build keeps to *.spi.
  TempDir dir;
  dir.CopyPlugin("ppm", "a.spi");
  dir.CopyPlugin("topdown", "b.sph");
#ifdef _WIN64
  CopyFileW(win::Wide(Plugins32().Dir + "ppm.spi").c_str(), win::Wide(dir.Path() + "c32.spi").c_str(), FALSE);
  CopyFileW(win::Wide(OwnPlugins().Dir + "ppm.sph").c_str(), win::Wide(dir.Path() + "d64.spi").c_str(), FALSE);
#endif
  wchar_t oldDir[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, oldDir);
  SetCurrentDirectoryW(win::Wide(dir.Path()).c_str());
  {
    TSPIs spis;
    spis.SearchOptions = SearchSet({spsCurrentDir});
    spis.Loaded();
    std::vector<std::string> names = Names(spis);
    std::sort(names.begin(), names.end());
#ifdef _WIN64
    EXPECT_EQ(names, (std::vector<std::string>{"a.spi", "b.sph", "c32.spi", "d64.spi"}));
#else
    EXPECT_EQ(names, std::vector<std::string>{"a.spi"});
#endif
  }
  SetCurrentDirectoryW(oldDir);
}

TEST_P(SpiManager, APluginAnsweringEveryNumberIsNotAskedForEver) {
  auto endless = CreateSPI(Plugin("endless"));
  ASSERT_TRUE(endless);
  EXPECT_EQ(endless->Filters().size(), static_cast<std::size_t>(TSPI::kMaxFormats));
  EXPECT_EQ(endless->Filters().back(), "*.e" + std::to_string(TSPI::kMaxFormats));
}

TEST_P(SpiManager, ASearchFailingHalfwayLeavesNoHandleOpen) {
  // Whatever allocation fails while a directory is listed, its listing handle is closed: a
  // directory with a listing open cannot be removed.
  TempDir dir;
  const std::string sub = dir.Path() + "plugins\\";
  CreateDirectoryW(win::Wide(sub).c_str(), nullptr);
  const std::vector<std::string> names = {"a" + PluginExt(), "b" + PluginExt(), "c" + PluginExt()};
  for (const std::string& name : names) TempDir::Write(sub + name, Bytes(64, 0));
  TSPIs spis;
  int runs = testalloc::EveryAllocationFailing([&] { spis.SearchDir(sub, "*" + PluginExt()); });
  EXPECT_GT(runs, 5);
  for (const std::string& name : names) DeleteFileW(win::Wide(sub + name).c_str());
  EXPECT_TRUE(RemoveDirectoryW(win::Wide(sub).c_str())) << GetLastError();
}

TEST_P(SpiManager, DecoratedEntryPointsOfOlderCompilers) {
  // 64-bit functions carry no decoration; a 64-bit build meets decorated names in 32-bit
  // plug-ins, through the 32-bit helper.
  if (sizeof(void*) == 8 && GetParam() != Where::Helper32) GTEST_SKIP() << "no 32-bit plug-ins here";
  // "GetPicture@28" and "_GetPicture@28" stand for "GetPicture" when the plain name is missing.
  for (const char* kind : {"decorated", "decorated_underscore"}) {
    if (sizeof(void*) == 4) {
      win::Module m(LoadLibraryW(win::Wide(Plugin(kind)).c_str()));
      ASSERT_TRUE(m);
      ASSERT_EQ(GetProcAddress(m, "GetPicture"), nullptr) << kind;
    }
    TSPIs spis;
    spis.Add(CreateSPI(Plugin(kind)));
    auto* in = dynamic_cast<TInSPI*>(spis.Items(0));
    ASSERT_TRUE(in) << kind;
    TempDir dir;
    TPicture picture;
    picture.LoadFromFile(dir.File("a.ppm", Ppm(3, 2)));
    EXPECT_EQ(picture.Pixels().Pixel(2, 1), PpmColor(2, 1)) << kind;
  }
}
