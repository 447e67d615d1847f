// Plug-ins in their helper process: what a plug-in that overflows its stack, damages the heap,
// never returns or claims more than it gives costs; progress and cancel across the process
// boundary; a helper killed from outside; a 64-bit program with 32-bit plug-ins.
#include "imaging/spi_host.h"

#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"

using namespace imgtest;

namespace {

std::vector<Where> HelperPlacements() {
#ifdef _WIN64
  return {Where::Helper, Where::Helper32};
#else
  return {Where::Helper};
#endif
}

class SpiHost : public testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    place_.emplace(GetParam());
    InitPictureFormats();
    spis_ = std::make_unique<TSPIs>();
    spis_->OnPluginFault = [this](TSPIs&, TSPI& spi) { told_.emplace_back(sjis::ExtractFileName(spi.FileName())); };
  }
  void TearDown() override {
    spis_.reset();
    DonePictureFormats();
    TSPIHost::SetSilenceLimit(TSPIHost::kDefaultSilence);
    place_.reset();
  }
  TSPIHost& Host() { return TSPIHost::Of(GetParam() == Where::Helper32 ? TSPIHost::k32Bit : TSPIHost::kOwn); }
  TInSPI* Add(const std::string& kind) {
    spis_->Add(CreateSPI(Plugin(kind)));
    ResetPluginLog(Plugin(kind));
    return static_cast<TInSPI*>(spis_->Items(spis_->Count() - 1));
  }
  // Twenty pictures in a row, read by the PPM plug-in in a helper that runs on.
  void TwentyGoodLoads() {
    for (int i = 0; i < 20; ++i) {
      TPicture picture;
      picture.LoadFromFile(dir_.File("good" + std::to_string(i) + ".ppm", Ppm(3 + i, 2)));
      ASSERT_EQ(picture.Width(), 3 + i);
      EXPECT_EQ(picture.Pixels().Pixel(2 + i, 1), PpmColor(2 + i, 1));
    }
  }
  // Loads the file with that plug-in alone; false when the load failed.
  bool LoadWithOnly(TInSPI* plugin, const std::string& name, std::string* message = nullptr) {
    TSPIBitmap bitmap;
    bitmap.SPI = plugin;
    try {
      bitmap.LoadFromFile(dir_.File(name, Ppm(4, 4)));
      return true;
    } catch (const Exception& e) {
      if (message) *message = e.Message();
      return false;
    }
  }

  std::optional<PlaceAt> place_;
  std::unique_ptr<TSPIs> spis_;
  std::vector<std::string> told_;
  TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Helpers, SpiHost, testing::ValuesIn(HelperPlacements()), PlacementName);

}  // namespace

TEST_P(SpiHost, PluginsRunInTheHelperNotInQuiran) {
  TInSPI* ppm = Add("ppm");
  EXPECT_EQ(ppm->Handle(), nullptr);
  EXPECT_EQ(ppm->GetProc("GetPicture"), nullptr);
  EXPECT_EQ(GetModuleHandleW(win::Wide(Plugin("ppm")).c_str()), nullptr);
  EXPECT_NE(Host().ProcessId(), 0u);
  EXPECT_NE(Host().ProcessId(), GetCurrentProcessId());
  EXPECT_TRUE(sjis::SameTextAscii(ppm->FileName(), Plugin("ppm")));  // the path as the helper's system reports it
  // A picture larger than the shared block at first: the block grows for the data and the
  // picture, and every row arrives.
  TPicture picture;
  picture.LoadFromFile(dir_.File("large.ppm", Ppm(1500, 1000)));
  ASSERT_EQ(picture.Width(), 1500);
  ASSERT_EQ(picture.Height(), 1000);
  for (int y : {0, 1, 500, 999})
    for (int x : {0, 7, 1499}) {
      // Ppm's channels wrap at 256.
      const std::uint32_t want = std::uint8_t(x * 10) | std::uint32_t(std::uint8_t(y * 10)) << 8 | 200u << 16;
      EXPECT_EQ(picture.Pixels().Pixel(x, y), want) << x << "," << y;
    }
  picture.LoadFromFile(dir_.File("small.ppm", Ppm(2, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(1, 1), PpmColor(1, 1));
}

TEST_P(SpiHost, EachMisbehavingPluginCostsOnlyItsFile) {
  TSPIHost::SetSilenceLimit(1500);
  Add("ppm");
  struct Case {
    const char* kind;
    const char* ext;
  };
  std::vector<std::string> expectTold;
  for (Case c : {Case{"stack", "pso"}, Case{"heap", "phc"}, Case{"hang", "phg"}}) {
    SCOPED_TRACE(c.kind);
    TInSPI* bad = Add(c.kind);
    const DWORD pid = Host().ProcessId();
    const ULONGLONG start = GetTickCount64();
    // It overflows its stack in one frame / damages the heap and returns / never returns:
    // its helper goes, and the file is lost.
    EXPECT_FALSE(LoadWithOnly(bad, std::string("x.") + c.ext));
    EXPECT_NE(PluginLog(Plugin(c.kind)).find("GetPicture("), std::string::npos);
    EXPECT_TRUE(bad->Faulted());
    EXPECT_NE(Host().ProcessId(), pid);
    if (std::string(c.kind) == "hang") {
      EXPECT_GE(GetTickCount64() - start, 1400u);
    }
    expectTold.push_back(c.kind + PluginExt());
    EXPECT_EQ(told_, expectTold);
    // Nothing else is lost: a new helper reads on, and a file of the set-aside plug-in's
    // format goes to the next plug-in without it being called.
    TwentyGoodLoads();
    ResetPluginLog(Plugin(c.kind));
    TPicture next;
    next.LoadFromFile(dir_.File(std::string("y.") + c.ext, Ppm(5, 3)));
    EXPECT_EQ(next.Pixels().Pixel(4, 2), PpmColor(4, 2));
    EXPECT_EQ(PluginLog(Plugin(c.kind)), "");
  }
  EXPECT_EQ(told_, expectTold);  // each told once
}

TEST_P(SpiHost, OutputLargerThanItsBlocksCostsOnlyItsFile) {
  Add("ppm");
  TInSPI* oversize = Add("oversize");  // claims 30000 x 20000 pixels in blocks of a 4 x 4 picture
  const DWORD pid = Host().ProcessId();
  std::string message;
  EXPECT_FALSE(LoadWithOnly(oversize, "x.pov", &message));
  EXPECT_EQ(message, "プラグインの出力した画像が正しくありません");
  // Not a fault: the plug-in stays in use and its helper runs on.
  EXPECT_FALSE(oversize->Faulted());
  EXPECT_EQ(Host().ProcessId(), pid);
  EXPECT_TRUE(told_.empty());
  TwentyGoodLoads();
}

TEST_P(SpiHost, SilenceCountsFromTheLastSignOfLife) {
  // The plug-in takes 1.5 s, reporting progress every 150 ms: longer than the silence limit
  // in all, but never silent that long.
  TSPIHost::SetSilenceLimit(1000);
  TInSPI* slow = Add("slow");
  TPicture quiet;
  quiet.LoadFromFile(dir_.File("a.psl", Ppm(3, 3)));
  EXPECT_EQ(quiet.Width(), 3);
  // Listened to, each report crosses to Quiran and waits for its answer.
  TPicture listened;
  int reports = 0;
  listened.OnProgress = [&](TGraphic&, TProgressStage stage, int, bool, const TRect&, const std::string&) {
    reports += stage == TProgressStage::psRunning;
  };
  listened.LoadFromFile(dir_.File("b.psl", Ppm(3, 3)));
  EXPECT_EQ(listened.Width(), 3);
  EXPECT_EQ(reports, 10);
  EXPECT_FALSE(slow->Faulted());
}

TEST_P(SpiHost, CancelAcrossTheProcessBoundary) {
  TInSPI* slow = Add("slow");
  const DWORD pid = Host().ProcessId();
  TSPIBitmap bitmap;
  bitmap.SPI = slow;
  int reports = 0;
  bitmap.OnProgress = [&](TGraphic&, TProgressStage stage, int, bool, const TRect&, const std::string&) {
    if (stage == TProgressStage::psRunning && ++reports == 3) throw EAbort();
  };
  // The listener's abort answers the plug-in's callback with 1; the plug-in stops at once.
  const ULONGLONG start = GetTickCount64();
  EXPECT_THROW(bitmap.LoadFromFile(dir_.File("a.psl", Ppm(3, 3))), EInvalidGraphic);
  EXPECT_EQ(reports, 3);
  EXPECT_LT(GetTickCount64() - start, 1000u);
  EXPECT_FALSE(slow->Faulted());
  EXPECT_EQ(Host().ProcessId(), pid);
  bitmap.OnProgress = nullptr;
  bitmap.LoadFromFile(dir_.File("b.psl", Ppm(2, 3)));
  EXPECT_EQ(bitmap.Height(), 3);
}

TEST_P(SpiHost, AHelperKilledFromOutsideMidLoad) {
  Add("ppm");
  TInSPI* hang = Add("hang");
  const DWORD pid = Host().ProcessId();
  const std::string log = Plugin("hang");
  // Someone ends the helper while the plug-in is inside GetPicture.
  std::thread killer([&] {
    for (int i = 0; i < 200 && PluginLog(log).find("GetPicture(") == std::string::npos; ++i) Sleep(50);
    win::File p(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (p) TerminateProcess(p, 0xDEAD);
  });
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(LoadWithOnly(hang, "x.phg"));
  killer.join();
  EXPECT_LT(GetTickCount64() - start, 15000u);  // at once, not after the silence limit
  EXPECT_TRUE(hang->Faulted());
  EXPECT_EQ(told_, std::vector<std::string>{"hang" + PluginExt()});
  TwentyGoodLoads();
  EXPECT_NE(Host().ProcessId(), pid);
}

TEST_P(SpiHost, ANewHelperLoadsThePluginsAgain) {
  TInSPI* ppm = Add("ppm");
  const std::uint64_t first = Host().Incarnation();
  Host().End();
  EXPECT_EQ(Host().ProcessId(), 0u);
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.ppm", Ppm(3, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(2, 1), PpmColor(2, 1));
  EXPECT_GT(Host().Incarnation(), first);
  EXPECT_FALSE(ppm->Faulted());
  EXPECT_GE(Host().LastStartMs(), 0.0);
}

TEST(SpiPlacement, TheSettingPutsPluginsInsideQuiranOrInTheirHelper) {
  {
    PlaceAt inside(Where::InProcess);
    std::unique_ptr<TSPI> spi = CreateSPI(Plugin("ppm"));
    ASSERT_TRUE(spi);
    EXPECT_NE(spi->Handle(), nullptr);
    EXPECT_EQ(GetModuleHandleW(win::Wide(Plugin("ppm")).c_str()), spi->Handle());
  }
  std::unique_ptr<TSPI> spi = CreateSPI(Plugin("ppm"));
  ASSERT_TRUE(spi);
  EXPECT_EQ(spi->Handle(), nullptr);
  EXPECT_EQ(GetModuleHandleW(win::Wide(Plugin("ppm")).c_str()), nullptr);
}

#ifdef _WIN64
TEST(SpiPlacement, A64BitQuiranUsesPluginsOfBothKindsSideBySide) {
  InitPictureFormats();
  TempDir dir;
  {
    TSPIs spis;
    spis.Add(CreateSPI(OwnPlugins().Dir + "ppm.sph"));
    spis.Add(CreateSPI(Plugins32().Dir + "topdown.spi"));
    ASSERT_EQ(spis.Count(), 2);
    EXPECT_NE(TSPIHost::Of(TSPIHost::k32Bit).ProcessId(), 0u);
    EXPECT_NE(TSPIHost::Of(TSPIHost::k64Bit).ProcessId(), 0u);
    TPicture picture;
    picture.LoadFromFile(dir.File("a.ppm", Ppm(4, 3)));   // 64-bit plug-in
    EXPECT_EQ(picture.Pixels().Pixel(3, 2), PpmColor(3, 2));
    picture.LoadFromFile(dir.File("b.ptd", Ppm(5, 2)));   // 32-bit plug-in, top-down rows
    EXPECT_EQ(picture.Pixels().Pixel(4, 0), PpmColor(4, 0));
  }
  {
    // With plug-ins set to run inside Quiran, the 32-bit ones still run in their helper.
    PlaceAt inside(Where::InProcess);
    std::unique_ptr<TSPI> own = CreateSPI(OwnPlugins().Dir + "ppm.sph");
    std::unique_ptr<TSPI> old = CreateSPI(Plugins32().Dir + "topdown.spi");
    ASSERT_TRUE(own && old);
    EXPECT_NE(own->Handle(), nullptr);
    EXPECT_EQ(old->Handle(), nullptr);
  }
  DonePictureFormats();
}
#endif
