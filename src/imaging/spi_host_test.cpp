// Plug-ins in their helper process: what a plug-in that overflows its stack, damages the heap,
// never returns or claims more than it gives costs; progress and cancel across the process
// boundary; a helper killed from outside; a 64-bit program with 32-bit plug-ins.
#include "imaging/spi_host.h"

#include <psapi.h>

#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "imaging/bmp_test_util.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"
#include "win/app.h"
#include "win/window.h"

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
    spis_->OnPluginFault = [this](TSPIs&, const TPluginFault& f) { told_.push_back(f); };
  }
  void TearDown() override {
    spis_.reset();
    DonePictureFormats();
    TSPIHost::SetSilenceLimit(TSPIHost::kDefaultSilence);
    TSPIHost::SetCallLimit(TSPIHost::kDefaultCallLimit);
    if (movedHelper_) {
      Host().End();
      TSPIHost::SetProgramPath(Kind(), "");
    }
    place_.reset();
  }
  TSPIHost::Kind Kind() const { return GetParam() == Where::Helper32 ? TSPIHost::k32Bit : TSPIHost::kOwn; }
  TSPIHost& Host() { return TSPIHost::Of(Kind()); }
  // From now on the helper started is this program (a stand-in, or one that is not there).
  void UseHelper(const std::string& program) {
    Host().End();
    TSPIHost::SetProgramPath(Kind(), program);
    movedHelper_ = true;
  }
  // The tests' stand-in helper, which refuses shared blocks over 8 MB.
  std::string SmallHelper() const {
    return std::string(sjis::ExtractFilePath(win::ExePath())) + (GetParam() == Where::Helper32 ? "i686\\" : "") +
           "testhelpers\\" + (Kind() == TSPIHost::k32Bit ? "QuiranSpiHost.exe" : "QuiranSpiHost64.exe");
  }
  // The tests' stand-in helper that lies about the sizes of the pictures it hands over.
  std::string LiarHelper() const {
    return std::string(sjis::ExtractFilePath(win::ExePath())) + (GetParam() == Where::Helper32 ? "i686\\" : "") +
           "testhelpers\\liar\\" + (Kind() == TSPIHost::k32Bit ? "QuiranSpiHost.exe" : "QuiranSpiHost64.exe");
  }
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
  std::vector<TPluginFault> told_;
  TempDir dir_;
  bool movedHelper_ = false;
};

// A grey 24-bit BMP file.
Bytes Bmp24(int w, int h) {
  return bmptest::File(bmptest::InfoHeader(w, h, 24), Bytes(static_cast<std::size_t>((w * 3 + 3) / 4 * 4) * h, 0x80));
}

INSTANTIATE_TEST_SUITE_P(Helpers, SpiHost, testing::ValuesIn(HelperPlacements()), PlacementName);

}  // namespace

TEST_P(SpiHost, PluginsRunInTheHelperNotInQuiran) {
  // A copy of its own: no other test has loaded it here (a fault inside Quiran leaves every
  // library loaded).
  const std::string path = dir_.CopyPlugin("ppm");
  spis_->Add(CreateSPI(path));
  TInSPI* ppm = static_cast<TInSPI*>(spis_->Items(0));
  EXPECT_EQ(ppm->Handle(), nullptr);
  EXPECT_EQ(ppm->GetProc("GetPicture"), nullptr);
  EXPECT_EQ(GetModuleHandleW(win::Wide(path).c_str()), nullptr);
  EXPECT_NE(Host().ProcessId(), 0u);
  EXPECT_NE(Host().ProcessId(), GetCurrentProcessId());
  EXPECT_TRUE(sjis::SameTextAscii(ppm->FileName(), path));  // the path as the helper's system reports it
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
  for (Case c : {Case{"stack", "pso"}, Case{"heap", "phc"}, Case{"hang", "phg"}}) {
    SCOPED_TRACE(c.kind);
    TInSPI* bad = Add(c.kind);
    const DWORD pid = Host().ProcessId();
    const ULONGLONG start = GetTickCount64();
    // It overflows its stack in one frame / damages the heap and returns / never returns:
    // its helper goes, and the file goes to the next plug-in.
    TPicture picture;
    const std::string file = dir_.File(std::string("x.") + c.ext, Ppm(5, 3));
    picture.LoadFromFile(file);
    EXPECT_EQ(picture.Pixels().Pixel(4, 2), PpmColor(4, 2));
    EXPECT_NE(PluginLog(Plugin(c.kind)).find("GetPicture("), std::string::npos);
    EXPECT_NE(Host().ProcessId(), pid);
    if (std::string(c.kind) == "hang") {
      EXPECT_GE(GetTickCount64() - start, 1400u);
    }
    ASSERT_FALSE(told_.empty());
    EXPECT_EQ(told_.back().File, file);
    EXPECT_TRUE(sjis::SameTextAscii(told_.back().Plugin, Plugin(c.kind)));
    EXPECT_FALSE(told_.back().InProcess);
    // Only the file is lost to it: the plug-in stays in use, a new helper reads on, and the
    // file it faulted on is not given to it again this run.
    EXPECT_FALSE(bad->SetAside());
    TwentyGoodLoads();
    ResetPluginLog(Plugin(c.kind));
    picture.LoadFromFile(file);
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(PluginLog(Plugin(c.kind)), "");
  }
}

TEST_P(SpiHost, APluginFaultingOnThreeFilesInARowIsSetAside) {
  Add("ppm");
  TInSPI* stack = Add("stack");
  TPicture picture;
  // A picture it reads (none: it faults on all) would end the run; three different files do.
  for (const char* name : {"a.pso", "b.pso", "a.pso", "c.pso"}) {
    picture.LoadFromFile(dir_.File(name, Ppm(2, 2)));
    EXPECT_EQ(picture.Width(), 2);
  }
  ASSERT_EQ(told_.size(), 3u);  // a.pso again was not given to it
  EXPECT_FALSE(told_[1].SetAside);
  EXPECT_TRUE(told_[2].SetAside);
  EXPECT_TRUE(stack->SetAside());
  ResetPluginLog(Plugin("stack"));
  picture.LoadFromFile(dir_.File("d.pso", Ppm(3, 2)));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(PluginLog(Plugin("stack")), "");
  EXPECT_EQ(spis_->Faults().Summary(), "プラグインの異常 3 件: stack" + PluginExt() + " (a.pso ほか 2 件、停止)");
}

TEST_P(SpiHost, OutputLargerThanItsBlocksCostsOnlyItsFile) {
  Add("ppm");
  TInSPI* oversize = Add("oversize");  // claims 30000 x 20000 pixels in blocks of a 4 x 4 picture
  const DWORD pid = Host().ProcessId();
  std::string message;
  EXPECT_FALSE(LoadWithOnly(oversize, "x.pov", &message));
  EXPECT_EQ(message, "プラグインの出力した画像が正しくありません");
  // Not a fault: the plug-in stays in use and its helper runs on.
  EXPECT_FALSE(oversize->SetAside());
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
  EXPECT_FALSE(slow->SetAside());
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
  EXPECT_FALSE(slow->SetAside());
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
  EXPECT_FALSE(hang->SetAside());
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_TRUE(sjis::SameTextAscii(told_[0].Plugin, Plugin("hang")));
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
  EXPECT_FALSE(ppm->SetAside());
  EXPECT_GE(Host().LastStartMs(), 0.0);
}

TEST_P(SpiHost, TheHelperInheritsItsPipeAndNothingElse) {
  // A handle Quiran holds open and lets children inherit (as a library it uses might).
  win::Event mine(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(SetHandleInformation(mine, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
  Host().End();
  Add("ppm");
  ASSERT_NE(Host().ProcessId(), 0u);
  // In the helper the same handle value names nothing of Quiran's.
  win::Process helper(OpenProcess(PROCESS_DUP_HANDLE, FALSE, Host().ProcessId()));
  ASSERT_TRUE(helper);
  HANDLE there = nullptr;
  if (DuplicateHandle(helper, mine, GetCurrentProcess(), &there, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    win::Event copy(there);
    SetEvent(mine);
    EXPECT_NE(WaitForSingleObject(copy, 0), WAIT_OBJECT_0) << "the helper inherited Quiran's event";
  }
  TPicture picture;  // and its pipe works
  picture.LoadFromFile(dir_.File("a.ppm", Ppm(3, 2)));
  EXPECT_EQ(picture.Width(), 3);
}

TEST_P(SpiHost, ABlockTheHelperCannotMapCostsOnlyThatPicture) {
  UseHelper(SmallHelper());
  Add("ppm");
  TPicture picture;
  picture.LoadFromFile(dir_.File("small.ppm", Ppm(4, 3)));
  const DWORD pid = Host().ProcessId();
  // 9 MB of data: the helper cannot map a block that large. That picture fails, with the reason.
  try {
    picture.LoadFromFile(dir_.File("large.ppm", Ppm(2000, 1500)));
    ADD_FAILURE() << "a picture larger than the helper's room was read";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), spis_->Items(0)->FileName() + ":画像が大きすぎて読み込めません");
  }
  EXPECT_EQ(picture.Width(), 4);
  // The helper keeps its old block: the next picture is read as before, by the same helper,
  // and the plug-in is not blamed.
  picture.LoadFromFile(dir_.File("next.ppm", Ppm(5, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(4, 1), PpmColor(4, 1));
  EXPECT_EQ(Host().ProcessId(), pid);
  EXPECT_TRUE(told_.empty());
  // Quiran's own reader is still tried: a large BMP under the plug-in's extension is read.
  picture.LoadFromFile(dir_.File("bitmap.ppm", Bmp24(1800, 1600)));
  EXPECT_EQ(picture.Width(), 1800);
}

TEST_P(SpiHost, TheSharedBlockShrinksAfterALargePicture) {
  Add("ppm");
  TPicture picture;
  picture.LoadFromFile(dir_.File("large.ppm", Ppm(4800, 4700)));  // 68 MB of picture (the plug-in reads the file)
  ASSERT_EQ(picture.Width(), 4800);
  EXPECT_GT(Host().SharedSize(), 64u << 20);
  picture.LoadFromFile(dir_.File("small.ppm", Ppm(40, 30)));
  EXPECT_EQ(picture.Pixels().Pixel(20, 25), PpmColor(20, 25));
  EXPECT_LE(Host().SharedSize(), 2u << 20);
}

namespace {

// The views of file mappings in this process.
int MappedViews() {
  int views = 0;
  MEMORY_BASIC_INFORMATION m;
  for (auto* at = static_cast<std::uint8_t*>(nullptr); VirtualQuery(at, &m, sizeof m); at = static_cast<std::uint8_t*>(m.BaseAddress) + m.RegionSize)
    if (m.Type == MEM_MAPPED && m.BaseAddress == m.AllocationBase) ++views;
  return views;
}

DWORD HandleCount(HANDLE process) {
  DWORD n = 0;
  GetProcessHandleCount(process, &n);
  return n;
}

}  // namespace

// Pictures of every size, read by the plug-in from their files or from memory, leave no handle,
// no view of a mapping and no memory behind, in Quiran or in the helper.
TEST_P(SpiHost, ManyPicturesLeaveNoHandleOrMappingBehind) {
  Add("ppm");
  const std::string large = dir_.File("large.ppm", Ppm(700, 520)), small = dir_.File("small.ppm", Ppm(30, 20)),
                    larger = dir_.File("larger.ppm", Ppm(1400, 1040));
  auto loadAll = [&] {
    for (const std::string& f : {large, small, larger, small, large}) {
      TPicture picture;
      picture.LoadFromFile(f);
      ASSERT_FALSE(picture.Pixels().Empty());
    }
  };
  loadAll();
  const DWORD pid = Host().ProcessId();
  win::Process helper(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  ASSERT_TRUE(helper);
  const DWORD ours = HandleCount(GetCurrentProcess()), its = HandleCount(helper);
  const int views = MappedViews();
  PROCESS_MEMORY_COUNTERS_EX before{};
  GetProcessMemoryInfo(helper, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before), sizeof before);
  for (int i = 0; i < 8; ++i) loadAll();
  EXPECT_EQ(Host().ProcessId(), pid);
  EXPECT_LE(HandleCount(GetCurrentProcess()), ours);
  EXPECT_LE(HandleCount(helper), its);
  EXPECT_LE(MappedViews(), views);
  PROCESS_MEMORY_COUNTERS_EX after{};
  GetProcessMemoryInfo(helper, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after), sizeof after);
  EXPECT_LT(after.PrivateUsage, before.PrivateUsage + (8u << 20));  // 40 pictures of up to 4 MB each
}

// A helper that hands over fewer rows than the picture's header claims, or announces sizes it
// never wrote, costs that picture only: Quiran reads nothing past what the helper said it wrote
// (the block holds more, left from earlier pictures: read, it would have made a picture), and
// makes room for the whole of what was announced, or refuses the picture.
TEST_P(SpiHost, AHelperLyingAboutAPicturesSizesCostsOnlyThatPicture) {
  Add("ppm");
  TPicture picture;
  picture.LoadFromFile(dir_.File("honest.ppm", Ppm(40, 30)));  // the block is made, and filled
  UseHelper(LiarHelper());
  auto message = [&](const std::string& name, const Bytes& bytes) {
    try {
      picture.LoadFromFile(dir_.File(name, bytes));
    } catch (const EInvalidGraphic& e) {
      return e.Message();
    }
    return std::string("read");
  };
  EXPECT_EQ(message("short.ppm", Ppm(40, 30)), "ビットマップの形式が正しくありません");
  const DWORD pid = Host().ProcessId();
  EXPECT_EQ(message("huge.ppm", Ppm(8, 200)), spis_->Items(0)->FileName() + ":画像が大きすぎて読み込めません");
  EXPECT_EQ(message("large.ppm", Ppm(3500, 100)), "ビットマップの形式が正しくありません");
  EXPECT_EQ(picture.Width(), 40);  // the picture held stays
  EXPECT_EQ(Host().ProcessId(), pid);
  EXPECT_TRUE(told_.empty());  // none of it is the plug-in's fault
}

TEST_P(SpiHost, AHelperThatCannotBeStartedFailsTheCallNotThePlugin) {
  TInSPI* ppm = Add("ppm");
  UseHelper(dir_.Path() + "gone.exe");
  TPicture picture;
  try {
    picture.LoadFromFile(dir_.File("a.ppm", Ppm(3, 2)));
    ADD_FAILURE() << "read without a helper";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find("を起動できません"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(ppm->SetAside());
  EXPECT_TRUE(told_.empty());
  // Quiran's own reader is still tried.
  picture.LoadFromFile(dir_.File("b.ppm", Bmp24(7, 5)));
  EXPECT_EQ(picture.Width(), 7);
  // The helper back in its place: the plug-in reads again.
  TSPIHost::SetProgramPath(Kind(), "");
  picture.LoadFromFile(dir_.File("c.ppm", Ppm(3, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(2, 1), PpmColor(2, 1));
}

TEST_P(SpiHost, ACallReportingProgressForEverIsStoppedAtTheCallLimit) {
  // Never silent, never done: the limit on the whole call stops it. (The limit holds for the
  // helper's start too, which under an emulator may take a second or two.)
  TSPIHost::SetCallLimit(4000);
  Add("ppm");
  TInSPI* spin = Add("spin");
  const DWORD pid = Host().ProcessId();
  const ULONGLONG start = GetTickCount64();
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.psp", Ppm(3, 2)));  // the next plug-in reads it
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_GE(took, 3900u);
  EXPECT_LT(took, 15000u);
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_TRUE(sjis::SameTextAscii(told_[0].Plugin, spin->FileName()));
  EXPECT_NE(Host().ProcessId(), pid);
}

namespace {

// A window of the thread that counts its paints and can flag a cancel.
class CountingWindow : public win::Window {
 public:
  CountingWindow() {
    CreateArgs a;
    a.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    a.width = 200;
    a.height = 150;
    CreateWindowOf(a);
  }
  ~CountingWindow() override {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  int paints = 0;
  bool cancelled = false;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_PAINT) ++paints;
    if (msg == WM_APP) cancelled = true;
    return Window::HandleMessage(msg, wp, lp);
  }
};

}  // namespace

TEST_P(SpiHost, WhileACallWaitsWindowsPaintAndEscCancelsIt) {
  TInSPI* hang = Add("hang");
  CountingWindow window;
  win::Application::ProcessMessages();
  const DWORD pid = Host().ProcessId();
  const std::string log = Plugin("hang");
  // While the plug-in is inside GetPicture the window is uncovered, then the user presses Esc.
  std::thread user([&] {
    for (int i = 0; i < 400 && PluginLog(log).find("GetPicture(") == std::string::npos; ++i) Sleep(50);
    window.paints = 0;
    InvalidateRect(window.Handle(), nullptr, TRUE);
    Sleep(300);
    PostMessageW(window.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  });
  const ULONGLONG start = GetTickCount64();
  TSPIBitmap bitmap;
  bitmap.SPI = hang;
  EXPECT_THROW(bitmap.LoadFromFile(dir_.File("a.phg", Ppm(3, 3))), EAbort);
  user.join();
  EXPECT_LT(GetTickCount64() - start, static_cast<ULONGLONG>(TSPIHost::kDefaultSilence));
  EXPECT_GE(window.paints, 1);
  // A cancel is no fault: the plug-in is not blamed; its helper was ended.
  EXPECT_TRUE(told_.empty());
  EXPECT_FALSE(hang->SetAside());
  EXPECT_NE(Host().ProcessId(), pid);
}

TEST_P(SpiHost, AProgressDialogsCancelReachesACallWaitingForItsHelper) {
  TInSPI* hang = Add("hang");
  CountingWindow dialog;
  TSPIWaitCancel cancel(dialog.Handle(), [&] { return dialog.cancelled; });
  const std::string log = Plugin("hang");
  // The dialog's cancel button, as a message to the dialog while the call waits.
  std::thread user([&] {
    for (int i = 0; i < 400 && PluginLog(log).find("GetPicture(") == std::string::npos; ++i) Sleep(50);
    Sleep(200);
    PostMessageW(dialog.Handle(), WM_APP, 0, 0);
  });
  TSPIBitmap bitmap;
  bitmap.SPI = hang;
  const ULONGLONG start = GetTickCount64();
  EXPECT_THROW(bitmap.LoadFromFile(dir_.File("a.phg", Ppm(3, 3))), EAbort);
  user.join();
  EXPECT_LT(GetTickCount64() - start, static_cast<ULONGLONG>(TSPIHost::kDefaultSilence));
  EXPECT_TRUE(dialog.cancelled);
  EXPECT_TRUE(told_.empty());
}

#ifdef _WIN64
TEST_P(SpiHost, A64BitPluginKeepingAddressesIn32BitsWorks) {
  if (GetParam() != Where::Helper) GTEST_SKIP() << "a 64-bit helper's matter";
  // The plug-in takes every address below 4 GB still free when it loads, and keeps what it is
  // given in 32 bits: its data, its information record and its handles must lie below 4 GB.
  Host().End();
  Add("low32");
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.p32", Ppm(60, 40)));
  ASSERT_EQ(picture.Width(), 60);
  EXPECT_EQ(picture.Pixels().Pixel(25, 25), PpmColor(25, 25));
  // Larger than the first block: its data still lies below 4 GB.
  picture.LoadFromFile(dir_.File("b.p32", Ppm(1500, 1000)));
  ASSERT_EQ(picture.Width(), 1500);
  EXPECT_EQ(picture.Pixels().Pixel(21, 13), PpmColor(21, 13));
  EXPECT_TRUE(told_.empty());
}
#endif

TEST(SpiPlacement, TheSettingPutsPluginsInsideQuiranOrInTheirHelper) {
  TempDir dir;
  const std::string path = dir.CopyPlugin("ppm");  // a copy no other test has loaded here
  {
    PlaceAt inside(Where::InProcess);
    std::unique_ptr<TSPI> spi = CreateSPI(path);
    ASSERT_TRUE(spi);
    EXPECT_NE(spi->Handle(), nullptr);
    EXPECT_EQ(GetModuleHandleW(win::Wide(path).c_str()), spi->Handle());
  }
  std::unique_ptr<TSPI> spi = CreateSPI(path);
  ASSERT_TRUE(spi);
  EXPECT_EQ(spi->Handle(), nullptr);
  EXPECT_EQ(GetModuleHandleW(win::Wide(path).c_str()), nullptr);
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
