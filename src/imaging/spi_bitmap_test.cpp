// The picture loader under Wine: which way a file takes, what the plug-ins are given, how
// their output becomes a bitmap, progress, faults, and the picture-file test.
#include "imaging/spi_bitmap.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include "imaging/bmp_test_util.h"
#include "imaging/win_test_util.h"
#include "imaging/fault_guard.h"

using namespace imgtest;

namespace {

// A null pointer to write through. Both the pointer and what it points to are volatile: with
// only the pointer volatile, GCC for i686 proved it could hold nothing but null, took the
// store through it for undefined behaviour and left it out, so no fault ever happened.
volatile int* volatile listenerNowhere = nullptr;

Bytes SmallBmp(std::uint32_t color) {
  Bytes px = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color), 0};
  return bmptest::File(bmptest::InfoHeader(1, 1, 24), px);
}

// Every test of the loader runs with the plug-ins in each place they can run.
class SpiLoader : public testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    place_.emplace(GetParam());
    InitPictureFormats();
    spis_ = std::make_unique<TSPIs>();
  }
  void TearDown() override {
    spis_.reset();
    DonePictureFormats();
    place_.reset();
  }
  // Adds a test plug-in and clears its call log.
  TInSPI* Add(const std::string& kind) {
    spis_->Add(CreateSPI(Plugin(kind)));
    ResetPluginLog(Plugin(kind));
    return static_cast<TInSPI*>(spis_->Items(spis_->Count() - 1));
  }
  std::optional<PlaceAt> place_;
  std::unique_ptr<TSPIs> spis_;
  TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Placements, SpiLoader, testing::ValuesIn(Placements()), PlacementName);

// What only happens with the plug-ins inside Quiran: the guard around them is Quiran's own.
class SpiLoaderInProcess : public SpiLoader {};
INSTANTIATE_TEST_SUITE_P(Placements, SpiLoaderInProcess, testing::Values(Where::InProcess), PlacementName);

}  // namespace

TEST_P(SpiLoader, PluginPicturesLoadThroughTheHolder) {
  Add("ppm");
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.PPM", Ppm(5, 3)));
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TSPIBitmap::Class);
  ASSERT_EQ(picture.Width(), 5);
  ASSERT_EQ(picture.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(picture.Pixels().Pixel(x, y), PpmColor(x, y));
  // The plug-in sees the name, the data padded to 2048 bytes, the real length and flag 1.
  const std::string name = dir_.Path() + "a.PPM";
  const int last = static_cast<int>(Ppm(5, 3).size()) - 1;
  EXPECT_EQ(PluginLog(Plugin("ppm")), "IsSupported(" + name + "," + std::to_string(last) + ");GetPictureInfo(" +
                                          std::to_string(last + 1) + ",1);GetPicture(" + std::to_string(last + 1) + ",1);");
  // The picture information reaches the converter, its text taken from the plug-in's block.
  TSPIBitmap probe;
  TPictureInfoRec seen;
  probe.Loader().OnLoadDIB = [&](const SpiPicture&, const TPictureInfoRec& info, bool& success) {
    seen = info, success = true;
  };
  probe.LoadFromFile(dir_.Path() + "a.PPM");
  EXPECT_TRUE(seen.Valid);
  EXPECT_EQ(seen.Width, 5);
  EXPECT_EQ(seen.Height, 3);
  EXPECT_EQ(seen.ColorDepth, 24);
  EXPECT_EQ(seen.Info, "comment");
  // A nameless stream goes to the BMP reader first, then to the plug-ins.
  TSPIBitmap bitmap;
  TMemoryStream stream(Ppm(2, 2));
  stream.SetPosition(7);  // a memory stream is used whole, whatever its position
  bitmap.LoadFromStream(stream);
  EXPECT_EQ(bitmap.Pixels().Pixel(1, 1), PpmColor(1, 1));
  // A stream with a name: the name reaches IsSupported and picks the candidates.
  ResetPluginLog(Plugin("ppm"));
  TMemoryStream named(Ppm(3, 1));
  bitmap.OnLoadFromStreamWithName()(named, "C:\\x\\named.ppm");
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(PluginLog(Plugin("ppm")).rfind("IsSupported(C:\\x\\named.ppm,", 0), 0u);
}

TEST_P(SpiLoader, APluginTakingBmpIsAskedOnlyWhenTheReaderRejects) {
  Add("ppm");
  Add("bmp");
  EXPECT_EQ(FindFileFormat("bmp"), &TSPIBitmap::Class);
  TPicture picture;
  picture.LoadFromFile(dir_.File("real.Bmp", SmallBmp(0x445566)));
  EXPECT_EQ(&picture.Graphic()->ClassType(), &TSPIBitmap::Class);
  EXPECT_EQ(picture.Pixels().Pixel(0, 0), 0x445566u);
  EXPECT_EQ(PluginLog(Plugin("bmp")), "");
  EXPECT_EQ(PluginLog(Plugin("ppm")), "");
  // PPM data named .bmp: the reader rejects it, the plug-in claiming "bmp" is asked first.
  picture.LoadFromFile(dir_.File("ppm.bmp", Ppm(2, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(1, 0), PpmColor(1, 0));
  EXPECT_NE(PluginLog(Plugin("bmp")).find("GetPicture("), std::string::npos);
  EXPECT_EQ(PluginLog(Plugin("ppm")), "");
  // A BMP file under another registered extension still loads: plug-ins first, reader last.
  picture.LoadFromFile(dir_.File("really_bmp.ppm", SmallBmp(0x010203)));
  EXPECT_EQ(picture.Pixels().Pixel(0, 0), 0x010203u);
  EXPECT_NE(PluginLog(Plugin("ppm")).find("IsSupported("), std::string::npos);
  // Data nobody reads.
  try {
    picture.LoadFromFile(dir_.File("none.ppm", Bytes(300, 9)));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "認識できない画像形式です");
  }
  EXPECT_EQ(picture.Pixels().Pixel(0, 0), 0x010203u);
}

TEST_P(SpiLoader, ShortDataIsPaddedAndLongDataRetriedPastTheHeader) {
  Add("record");  // accepts everything, then fails GetPicture
  const std::string rec = Plugin("record");
  TSPIBitmap bitmap;
  auto load = [&](const std::string& name, const Bytes& data) {
    ResetPluginLog(rec);
    EXPECT_THROW(bitmap.LoadFromFile(dir_.File(name, data)), EInvalidGraphic);
    return PluginLog(rec);
  };
  // 100 bytes: bytes 100 to 2047 of the block are zero; the length passed is 100.
  EXPECT_EQ(load("a.rec", Bytes(100, 0xFF)),
            "IsSupported(" + dir_.Path() + "a.rec,99);GetPictureInfo(100,1);GetPicture(100,1);");
  // 128 bytes are not retried; 129 are, with 1 byte.
  std::string log128 = load("b.rec", Bytes(128, 1));
  EXPECT_EQ(log128.find("GetPicture(128,1);"), log128.size() - 18);
  EXPECT_EQ(log128.find("(0,1)"), std::string::npos);
  std::string log129 = load("c.rec", Bytes(129, 1));
  EXPECT_NE(log129.find("GetPicture(129,1);"), std::string::npos);
  EXPECT_NE(log129.find("IsSupported(" + dir_.Path() + "c.rec,0);GetPictureInfo(1,1);GetPicture(1,1);"), std::string::npos);
  bitmap.SkipHeader = false;
  EXPECT_EQ(load("d.rec", Bytes(129, 1)).find("GetPicture(1,1)"), std::string::npos);

  // A plug-in that only accepts the data after a 128-byte header gets it on the retry.
  Add("ppm");
  Bytes withHeader(128, 'H');
  Bytes ppm = Ppm(3, 2);
  withHeader.insert(withHeader.end(), ppm.begin(), ppm.end());
  bitmap.SkipHeader = true;
  bitmap.SPI = static_cast<TInSPI*>(spis_->Items(1));
  ResetPluginLog(rec);
  bitmap.LoadFromFile(dir_.File("h.ppm", withHeader));
  EXPECT_EQ(bitmap.Pixels().Pixel(2, 1), PpmColor(2, 1));
  EXPECT_TRUE(PluginLog(rec).empty());  // with SPI set, only that plug-in is tried
}

namespace {

// PpmColor for pictures wider or higher than 25 pixels, whose components wrap.
std::uint32_t LargePpmColor(int x, int y) { return std::uint32_t(x * 10 & 255) | std::uint32_t(y * 10 & 255) << 8 | 200u << 16; }

// A file written by its UTF-16 path, which need not have a Shift-JIS form.
void WriteWide(const std::wstring& path, const Bytes& bytes) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  win::File f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  ASSERT_TRUE(f.Get() != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
}

}  // namespace

// A large file is read by the plug-in itself, given its name: the Shift-JIS name whole (trail
// bytes 0x5C and letters), and full when Quiran had a relative one. Where the system's code
// page has no form for the name, the data comes in memory: the plug-in never opens the file
// the same bytes would name in that code page.
TEST_P(SpiLoader, ALargeFileIsReadByThePluginByItsShiftJisPathNeverAnother) {
  Add("ppm");
  const std::string folder = dir_.Path() + "\x95\x5C\x83\x5C\x83\x41";  // 表ソア
  ASSERT_TRUE(CreateDirectoryW(win::Wide(folder).c_str(), nullptr));
  const Bytes ppm = Ppm(700, 520);
  ASSERT_GE(ppm.size(), 1u << 20);
  const std::string file = dir_.File("\x95\x5C\x83\x5C\x83\x41\\\x94\x5C.ppm", ppm);  // ...\能.ppm
  const bool shiftJis = GetACP() == 932;
  // The same bytes read in another code page name another path: a picture of another size is put there.
  const int n = MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), nullptr, 0);
  std::wstring elsewhere(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), elsewhere.data(), n);
  if (elsewhere != win::Wide(file)) WriteWide(elsewhere, Ppm(9, 9));

  TPicture picture;
  picture.LoadFromFile(file);
  ASSERT_EQ(picture.Width(), 700);
  EXPECT_EQ(picture.Pixels().Pixel(699, 519), LargePpmColor(699, 519));
  std::string log = PluginLog(Plugin("ppm"));
  if (shiftJis) {
    EXPECT_NE(log.find("GetPictureInfo(0,0);File(" + file + ");GetPicture(0,0);File(" + file + ");"), std::string::npos) << log;
    EXPECT_EQ(log.find(",1);"), std::string::npos) << log;  // nothing copied for it
  } else {
    EXPECT_EQ(log.find("File("), std::string::npos) << log;
    EXPECT_NE(log.find("GetPicture(" + std::to_string(ppm.size()) + ",1);"), std::string::npos) << log;
  }

  // A relative name: the plug-in, wherever it runs, gets the whole path.
  wchar_t was[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, was);
  ASSERT_TRUE(SetCurrentDirectoryW(win::Wide(folder).c_str()));
  ResetPluginLog(Plugin("ppm"));
  TPicture relative;
  try {
    relative.LoadFromFile("\x94\x5C.ppm");
  } catch (...) {
    SetCurrentDirectoryW(was);
    throw;
  }
  SetCurrentDirectoryW(was);
  EXPECT_EQ(relative.Width(), 700);
  if (shiftJis) {
    EXPECT_NE(PluginLog(Plugin("ppm")).find("File(" + file + ");"), std::string::npos);
  }

  // Past a 128-byte header, the plug-in reads the file from there.
  Bytes withHeader(128, 'H');
  withHeader.insert(withHeader.end(), ppm.begin(), ppm.end());
  ResetPluginLog(Plugin("ppm"));
  picture.LoadFromFile(dir_.File("header.ppm", withHeader));
  EXPECT_EQ(picture.Pixels().Pixel(5, 7), PpmColor(5, 7));
  if (shiftJis) {
    EXPECT_NE(PluginLog(Plugin("ppm")).find("GetPicture(128,0);File("), std::string::npos);
  }
}

// A plug-in that reads no files itself answers "not implemented": it is given the data in memory.
TEST_P(SpiLoader, APluginReadingOnlyFromMemoryGetsALargeFileInMemory) {
  Add("memory_only");
  const Bytes ppm = Ppm(700, 520);
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.pmo", ppm));
  ASSERT_EQ(picture.Width(), 700);
  EXPECT_EQ(picture.Pixels().Pixel(600, 500), LargePpmColor(600, 500));
  const std::string log = PluginLog(Plugin("memory_only"));
  EXPECT_NE(log.find("GetPicture(" + std::to_string(ppm.size()) + ",1);"), std::string::npos) << log;
}

TEST_P(SpiLoader, OutputLayoutsBecomeTheRightPicture) {
  Add("pal4_0");
  Add("pal4_5");
  Add("topdown");
  Add("v5alpha");
  TPicture picture;
  // 4 bits, biClrUsed 0: 16 entries and an explicit 16-colour palette; pixel (x, y) has entry (x + y) % 16.
  picture.LoadFromFile(dir_.File("a.p4a", Ppm(19, 2)));
  auto* bitmap = dynamic_cast<TSPIBitmap*>(picture.Graphic());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Palette().size(), 16u);
  EXPECT_EQ(bitmap->ColorTable().size(), 16u);
  auto entry = [](int i) { return std::uint32_t(15 * i) | std::uint32_t(20 * i) << 8 | std::uint32_t(10 * i) << 16; };
  EXPECT_EQ(bitmap->Palette()[7], entry(7));
  EXPECT_EQ(picture.Pixels().Pixel(18, 1), entry(19 % 16));
  EXPECT_EQ(picture.Pixels().Pixel(3, 0), entry(3));
  // biClrUsed 5: five entries, a five-colour palette.
  picture.LoadFromFile(dir_.File("b.p4b", Ppm(7, 2)));
  bitmap = dynamic_cast<TSPIBitmap*>(picture.Graphic());
  EXPECT_EQ(bitmap->Palette().size(), 5u);
  EXPECT_EQ(picture.Pixels().Pixel(6, 1), entry(7 % 5));
  // Top-down rows (negative height) keep their order: the first row is the top one.
  picture.LoadFromFile(dir_.File("c.ptd", Ppm(4, 3)));
  EXPECT_EQ(picture.Pixels().Pixel(3, 0), PpmColor(3, 0));
  EXPECT_EQ(picture.Pixels().Pixel(1, 2), PpmColor(1, 2));
  EXPECT_TRUE(dynamic_cast<TSPIBitmap*>(picture.Graphic())->Palette().empty());
  // A 124-byte header, 32-bit rows with alpha, blocks allocated fixed.
  picture.LoadFromFile(dir_.File("d.pv5", Ppm(3, 3)));
  EXPECT_EQ(picture.Pixels().Pixel(2, 1), PpmColor(2, 1));
}

TEST_P(SpiLoader, OutputClaimingMoreThanItGaveIsAnError) {
  Add("short");
  Add("ppm");  // not tried: the converter's failure ends the load
  TPicture picture;
  picture.LoadFromFile(dir_.File("ok.ppm", Ppm(2, 2)));
  ResetPluginLog(Plugin("ppm"));
  try {
    picture.LoadFromFile(dir_.File("a.psh", Ppm(8, 8)));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "プラグインの出力した画像が正しくありません");
  }
  EXPECT_EQ(PluginLog(Plugin("ppm")), "");
  EXPECT_EQ(picture.Width(), 2);
}

TEST_P(SpiLoader, EveryInformationLayoutAndOnlyLiveHandles) {
  // 64-bit plug-ins write the information record packed (the handle at 22) or padded (at 24,
  // after 2 bytes they may leave as they were); 32-bit ones packed. Either way the text arrives.
  for (const char* kind : {"ppm", "padded"}) {
    Add(kind);
    TSPIBitmap probe;
    probe.SPI = static_cast<TInSPI*>(spis_->Items(spis_->Count() - 1));
    TPictureInfoRec seen;
    probe.Loader().OnLoadDIB = [&](const SpiPicture&, const TPictureInfoRec& info, bool& success) {
      seen = info, success = true;
    };
    const Bytes ppm = Ppm(6, 5);
    probe.LoadFromFile(dir_.File(std::string("a.") + kind, ppm));
    EXPECT_TRUE(seen.Valid) << kind;
    EXPECT_EQ(seen.Width, 6) << kind;
    EXPECT_EQ(seen.ColorDepth, 24) << kind;
    EXPECT_EQ(seen.Info, "comment") << kind;
    // The length reaches the plug-in whole (pointer-sized in a 64-bit build).
    EXPECT_NE(PluginLog(Plugin(kind)).find("GetPicture(" + std::to_string(ppm.size()) + ",1);"), std::string::npos);
  }
  // A plug-in handing out a text handle it never allocated, and one block as both outputs:
  // nothing that is not a live block is locked or freed, and the block is freed once.
  Add("bad_handles");
  TPicture picture;
  try {
    picture.LoadFromFile(dir_.File("a.pbh", Ppm(2, 2)));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "プラグインの出力した画像が正しくありません");
  }
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  picture.LoadFromFile(dir_.File("b.ppm", Ppm(2, 2)));  // the program runs on
  EXPECT_EQ(picture.Width(), 2);
}

TEST_P(SpiLoader, AFaultCostsThePluginItsFile) {
  Add("ppm");
  Add("fault");
  Add("fault_issupported");
  std::vector<TPluginFault> told;
  spis_->OnPluginFault = [&](TSPIs&, const TPluginFault& f) { told.push_back(f); };
  TPicture picture;
  // The plug-in claiming ".pfl" is tried first and faults in GetPicture; the PPM reader follows.
  const std::string a = dir_.File("a.pfl", Ppm(3, 3));
  picture.LoadFromFile(a);
  EXPECT_EQ(picture.Pixels().Pixel(2, 2), PpmColor(2, 2));
  EXPECT_NE(PluginLog(Plugin("fault")).find("GetPicture("), std::string::npos);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(sjis::SameTextAscii(told[0].Plugin, Plugin("fault")));
  EXPECT_EQ(told[0].File, a);
  EXPECT_EQ(told[0].InProcess, GetParam() == Where::InProcess);
  // The same file is not given to it again this run, wherever it runs.
  ResetPluginLog(Plugin("fault"));
  picture.LoadFromFile(a);
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(PluginLog(Plugin("fault")), "");
  EXPECT_EQ(told.size(), 1u);
  // A fault in IsSupported counts the same.
  picture.LoadFromFile(dir_.File("b.pfi", Ppm(2, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(1, 1), PpmColor(1, 1));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_TRUE(sjis::SameTextAscii(told[1].Plugin, Plugin("fault_issupported")));
  // Chosen as the only plug-in for the file it faulted on, it fails at once.
  TSPIBitmap only;
  only.SPI = static_cast<TInSPI*>(spis_->Items(1));
  EXPECT_THROW(only.LoadFromFile(a), EInvalidGraphic);
  EXPECT_EQ(PluginLog(Plugin("fault")), "");
}

TEST_P(SpiLoader, InsideQuiranTheFirstFaultSetsThePluginAsideElsewhereOnlyItsFileIsLost) {
  Add("ppm");
  TInSPI* fault = Add("fault");
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.pfl", Ppm(3, 3)));
  ResetPluginLog(Plugin("fault"));
  picture.LoadFromFile(dir_.File("b.pfl", Ppm(2, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(1, 1), PpmColor(1, 1));
  if (GetParam() == Where::InProcess) {
    // Its fault may have damaged Quiran's memory: not called again, not even for another file.
    EXPECT_TRUE(fault->SetAside());
    EXPECT_EQ(PluginLog(Plugin("fault")), "");
    std::vector<std::uint8_t> block(2048, 0);
    EXPECT_THROW(fault->IsSupported("x", block.data()), ESPIPluginFault);
  } else {
    // In its helper the fault took only the helper with it: the next file is tried again.
    EXPECT_FALSE(fault->SetAside());
    EXPECT_NE(PluginLog(Plugin("fault")).find("GetPicture("), std::string::npos);
  }
}

TEST_P(SpiLoader, APluginCatchingItsOwnFaultsKeepsWorking) {
  // Its runtime turns an access violation (and an exception it raises) into its own exception
  // and catches it: the guard around the call must leave that to the plug-in.
  TInSPI* own = Add("catch");
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.pct", Ppm(4, 2)));
  EXPECT_EQ(picture.Pixels().Pixel(3, 1), PpmColor(3, 1));
  EXPECT_FALSE(own->SetAside());
  const std::string log = PluginLog(Plugin("catch"));
  EXPECT_NE(log.find("Caught(E0000001);"), std::string::npos) << log;  // its own exception
  EXPECT_EQ(log.find("NotCaught"), std::string::npos) << log;
  EXPECT_NE(log.find("GetPicture(35,1);Caught("), std::string::npos) << log;  // and the access violation
  picture.LoadFromFile(dir_.File("b.pc3", Ppm(2, 2)));                 // again: still in use
  EXPECT_EQ(picture.Width(), 2);
}

TEST_P(SpiLoader, FloatingPointExceptionsAreFaultsToo) {
  if ((sizeof(void*) == 4 || GetParam() == Where::Helper32) && ThirtyTwoBitTranslated())
    GTEST_SKIP() << "32-bit code runs translated by qemu here, which raises no floating-point exceptions";
  Add("ppm");
  Add("fpu");  // unmasks the floating-point exceptions, then divides by zero
  unsigned short x87Before = 0, x87After = 0;
  unsigned csrBefore = 0, csrAfter = 0;
  asm volatile("fnstcw %0" : "=m"(x87Before));
  asm volatile("stmxcsr %0" : "=m"(csrBefore));
  TPicture picture;
  picture.LoadFromFile(dir_.File("a.pfp", Ppm(3, 3)));
  EXPECT_EQ(picture.Pixels().Pixel(2, 2), PpmColor(2, 2));  // read by the next plug-in
  EXPECT_TRUE(spis_->Faults().FailedOn(spis_->Items(1)->FileName(), dir_.Path() + "a.pfp"));
  // Quiran's own arithmetic goes on as before: masks and rounding are back, nothing pending.
  asm volatile("fnstcw %0" : "=m"(x87After));
  asm volatile("stmxcsr %0" : "=m"(csrAfter));
  EXPECT_EQ(x87After, x87Before);
  EXPECT_EQ(csrAfter & ~0x3Fu, csrBefore & ~0x3Fu);
  volatile double zero = 0.0;
  EXPECT_TRUE(std::isinf(1.0 / zero));
}

TEST_P(SpiLoaderInProcess, AFaultInQuiransOwnListenerIsNotThePlugins) {
  // While the plug-in calls back into Quiran (progress), the guard around the plug-in stands
  // aside: a fault of Quiran's own passes it. An outer guard stands in for the process here.
  TInSPI* progress = Add("progress");
  TSPIBitmap bitmap;
  int calls = 0;
  bitmap.OnProgress = [&](TGraphic&, TProgressStage stage, int, bool, const TRect&, const std::string&) {
    ++calls;
    if (stage == TProgressStage::psRunning) *listenerNowhere = 1;
  };
  const std::string file = dir_.File("a.ppr", Ppm(2, 2));
  bool loaded = false;
  auto load = [&] {
    try {
      bitmap.LoadFromFile(file);
      loaded = true;
    } catch (const Exception&) {
    }
  };
  unsigned long code = 0;
  EXPECT_FALSE(fault_guard::Run(load, &code)) << calls;
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(progress->SetAside());
}

TEST_P(SpiLoaderInProcess, BlocksOfAFailedCallAreFreed) {
  // The plug-in allocates both blocks and answers failure: the blocks are Quiran's to free.
  TInSPI* failing = Add("fail_blocks");
  TSPIBitmap bitmap;
  bitmap.SPI = failing;
  EXPECT_THROW(bitmap.LoadFromFile(dir_.File("a.pfb", Ppm(30, 20))), EInvalidGraphic);
  EXPECT_NE(PluginLog(Plugin("fail_blocks")).find("GetPicture("), std::string::npos);
  auto lastBlock = reinterpret_cast<HLOCAL(WINAPI*)(int)>(failing->GetProc("TestLastBlock"));
  ASSERT_NE(lastBlock, nullptr);
  for (int which : {0, 1}) {
    ASSERT_NE(lastBlock(which), nullptr);
    EXPECT_EQ(LocalFlags(lastBlock(which)), static_cast<UINT>(LMEM_INVALID_HANDLE)) << which;
  }
  EXPECT_FALSE(failing->SetAside());
}

TEST_P(SpiLoader, ProgressFromThePlugin) {
  Add("progress");
  TSPIBitmap bitmap;
  std::vector<std::pair<TProgressStage, int>> seen;
  bitmap.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const TRect&, const std::string&) {
    seen.emplace_back(stage, percent);
  };
  bitmap.LoadFromFile(dir_.File("a.ppr", Ppm(2, 2)));
  using S = TProgressStage;
  // Starting at 0; Done 0 of 100 is 1 %, 50 of 100 is 50 %, 100 of 100 is 99 %, a Total of 0 gives 0; ending at 100.
  EXPECT_EQ(seen, (std::vector<std::pair<S, int>>{
                      {S::psStarting, 0}, {S::psRunning, 1}, {S::psRunning, 50}, {S::psRunning, 99}, {S::psRunning, 0}, {S::psEnding, 100}}));
  EXPECT_EQ(bitmap.Width(), 2);

  // The silent abort stops the plug-in (the callback answers 1), which counts as failed.
  ResetPluginLog(Plugin("progress"));
  bitmap.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const TRect&, const std::string&) {
    if (stage == S::psRunning && percent == 50) throw EAbort();
  };
  EXPECT_THROW(bitmap.LoadFromFile(dir_.File("b.ppr", Ppm(2, 2))), EInvalidGraphic);
  EXPECT_NE(PluginLog(Plugin("progress")).find("Progress(1)=1;"), std::string::npos);
  // Another failure of the listener stops the plug-in too, and reaches the caller after it returned.
  bitmap.OnProgress = [&](TGraphic&, TProgressStage stage, int, bool, const TRect&, const std::string&) {
    if (stage == S::psRunning) throw Exception("listener failed");
  };
  try {
    bitmap.LoadFromFile(dir_.File("c.ppr", Ppm(2, 2)));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "listener failed");
  }
  EXPECT_EQ(TInSPIAble::ProgressCallback(5, 10, 0), 0);
}

TEST_P(SpiLoader, PictureFileTest) {
  EXPECT_TRUE(IsPictureFile("photo.jpeg"));
  EXPECT_TRUE(IsPictureFile("SCANBMP"));
  EXPECT_TRUE(IsPictureFile("写真.jpg"));
  EXPECT_FALSE(IsPictureFile("\x83\x4A\x50\x47"));  // "カPG": the "J" is a trail byte
  EXPECT_FALSE(IsPictureFile("\x83\x6A\x70\x67"));  // "ニpg" upper-cased keeps its trail byte
  EXPECT_FALSE(IsPictureFile("a.ppm"));
  Add("archive");   // not an image plug-in: its "*.arc" files are no pictures
  Add("no_info3");  // no filters: passed over
  Add("ppm");
  EXPECT_TRUE(IsPictureFile("a.ppm"));
  EXPECT_FALSE(IsPictureFile("B.Arc"));
  EXPECT_FALSE(IsPictureFile("a.xyz"));
  // Every pattern of every filter counts: "*.aa;*.bb;*.cc", then "*.*" (taken as it stands).
  Add("multi");
  EXPECT_TRUE(IsPictureFile("a.aa"));
  EXPECT_TRUE(IsPictureFile("写真.CC"));
  EXPECT_FALSE(IsPictureFile("a.dd"));
  EXPECT_FALSE(IsPictureFile("\x83\x4A\x50\x47"));  // still not a picture
  Add("catch");  // its second format lists two patterns
  EXPECT_TRUE(IsPictureFile("x.pc3"));
}

TEST_P(SpiLoader, AWithdrawnFormatIsNeitherLoadedNorListed) {
  TInSPI* ppm = Add("ppm");
  TInSPI* own = Add("catch");    // "*.pct", "*.pc2;*.pc3", "*.pc4"
  EXPECT_TRUE(IsPictureFile("a.ppm"));
  TPicture picture;
  // The PPM plug-in withdrawn for its only format: it is not tried at all, and .ppm files are
  // no pictures any more.
  spis_->SetFormatInUse(*ppm, 0, false);
  EXPECT_FALSE(IsPictureFile("a.ppm"));
  ResetPluginLog(Plugin("ppm"));
  picture.LoadFromFile(dir_.File("a.ppm", Ppm(2, 2)));  // read by the other plug-in instead
  EXPECT_EQ(PluginLog(Plugin("ppm")), "");
  // One format of three withdrawn: that format's files go past the plug-in, the others not.
  spis_->SetFormatInUse(*own, 1, false);
  EXPECT_FALSE(IsPictureFile("a.pc3"));
  EXPECT_TRUE(IsPictureFile("a.pc4"));
  ResetPluginLog(Plugin("catch"));
  EXPECT_THROW(picture.LoadFromFile(dir_.File("b.pc2", Ppm(2, 2))), EInvalidGraphic);
  EXPECT_EQ(PluginLog(Plugin("catch")), "");
  picture.LoadFromFile(dir_.File("c.pc4", Ppm(3, 1)));
  EXPECT_EQ(picture.Width(), 3);
  // Ticked again, all is as before.
  spis_->SetFormatInUse(*own, 1, true);
  spis_->SetFormatInUse(*ppm, 0, true);
  EXPECT_TRUE(IsPictureFile("a.pc3"));
  EXPECT_TRUE(IsPictureFile("a.ppm"));
  picture.LoadFromFile(dir_.File("d.pc2", Ppm(2, 3)));
  EXPECT_EQ(picture.Height(), 3);
}
