#include "imaging/spi.h"

#include <cstring>

#include "imaging/spi_filters.h"
#include "imaging/spi_host.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

TSPIs* current = nullptr;
const TGraphicClass* defaultGraphicClass = nullptr;

std::string HexCode(unsigned long code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", code);
  return buf;
}

TSPIPlacement placement = TSPIPlacement::Helper;
bool faultedInProcess = false;

// The library in Quiran or in its helper, as the placement says; inside Quiran also when the
// helper of Quiran's own kind cannot be started. A 64-bit Quiran keeps using 32-bit plug-ins
// through their helper whatever the placement.
std::unique_ptr<SpiModule> OpenModule(const std::string& fileName) {
  const bool own = TSPIHost::KindFor(fileName) == TSPIHost::kOwn;
  if (placement == TSPIPlacement::InProcess && own) return LocalSpiModule::Open(fileName);
  bool noHelper = false;
  std::unique_ptr<SpiModule> hosted = OpenHostedSpiModule(fileName, &noHelper);
  if (noHelper && own) return LocalSpiModule::Open(fileName);
  return hosted;
}

// The class factory, letting a plug-in's fault while it is built pass (the search reports it).
std::unique_ptr<TSPI> CreateSPIOrFault(const std::string& fileName) {
  try {
    // The probe stays loaded while the result is built, so the library is loaded twice and
    // released once by the probe.
    std::unique_ptr<TSPI> probe = TSPI::Create(fileName);
    TSPIClass cls = &TSPI::Create;
    if (probe->APIVersion() == "00IN")
      cls = &TInSPI::Create;
    else if (probe->APIVersion() == "00AM")
      cls = &TAmSPI::Create;
    else if (probe->APIVersion() == "00XN")
      cls = &TXnSPI::Create;
    return cls(fileName);
  } catch (const ESPIFOpenErrorSPI&) {
    return nullptr;
  } catch (const ESPIPluginFault&) {
    throw;
  } catch (const ESPIInvalidSPI&) {
    return nullptr;
  }
}

}  // namespace

// ---- TSPI ----

void SetSPIPlacement(TSPIPlacement p) {
  placement = p;
  faultedInProcess = false;
  LocalSpiModule::KeepLibrariesLoaded(false);
}
TSPIPlacement SPIPlacement() { return placement; }
bool SPIFaultedInProcess() { return faultedInProcess; }

TSPI::TSPI(const std::string& fileName) {
  // 1. Load the library by the name passed in, here or in the helper of its kind; 2. its path
  // as the system reports it; 3. the nine entry points, a missing one noted as missing.
  module_ = OpenModule(fileName);
  if (!module_) throw ESPIFOpenErrorSPI(Format("%s:Susie Pluginがロードできませんでした", {fileName}));
  fileName_ = module_->FileName();
}

std::unique_ptr<TSPI> TSPI::Create(const std::string& fileName) { return Build<TSPI>(fileName); }

void TSPI::Construct() {
  CheckAPI();
  bool answered = false;
  std::string text = Info(0, &answered);
  if (answered) apiVersion_ = text;
  text = Info(1, &answered);
  if (answered) pluginInfo_ = text;
  // Format pairs 2/3, 4/5, ...: the first pair with a missing member ends the list.
  for (int n = 2; n < 2 + 2 * kMaxFormats; n += 2) {
    bool a = false, b = false;
    std::string filter = Info(n, &a);
    if (!a) break;
    std::string description = Info(n + 1, &b);
    if (!b) break;
    filters_.push_back(std::move(filter));
    descriptions_.push_back(std::move(description));
  }
  canLoad_ = ClassCanLoad();
}

std::string TSPI::Info(int infoNo, bool* answered) {
  char buf[256] = {};
  int r = GetPluginInfo(infoNo, buf, 255);
  *answered = r > 0;
  return r > 0 ? std::string(buf, strnlen(buf, sizeof buf)) : std::string();
}

void TSPI::Require(SpiEntry entry, const char* name) const {
  if (!module_->Has(entry)) throw ESPIInvalidAPI(Format("%sは[%s]では使えないSusie Plugin APIです", {name, fileName_}));
}

template <class F>
auto TSPI::Guarded(const char* name, F call) -> decltype(call()) {
  if (setAside_) throw ESPIPluginFault(Format("%s:異常を起こしたSusie Pluginは使えません", {fileName_}), false);
  if (faultedInProcess && module_->Handle()) LeaveProcessAfterFault();
  try {
    return call();
  } catch (const SpiCallFailed& failure) {
    if (failure.What() == SpiCallFailed::TooLarge)
      throw ESPICallFailed(Format("%s:画像が大きすぎて読み込めません", {fileName_}));
    throw ESPICallFailed(Format("%s:Susie Pluginの補助プロセス %s を起動できません",
                                {fileName_, sjis::ExtractFileName(TSPIHost::ProgramPath(TSPIHost::KindFor(fileName_)))}));
  } catch (const SpiFault& fault) {
    // In a helper the fault cost the helper, which the next call starts anew; whether the
    // plug-in is set aside is the manager's to say. Inside Quiran its memory may be damaged.
    const bool inProcess = module_->Handle() != nullptr;
    if (inProcess) {
      setAside_ = true;
      faultedInProcess = true;
      placement = TSPIPlacement::Helper;
      LocalSpiModule::KeepLibrariesLoaded(true);
    }
    switch (fault.What()) {
      case SpiFault::Hung:
        throw ESPIPluginFault(Format("%s:Susie Pluginの%sが応答しません", {fileName_, name}), inProcess);
      case SpiFault::Garbled:
        throw ESPIPluginFault(Format("%s:Susie Pluginの%sで補助プロセスの応答が正しくありません", {fileName_, name}),
                              inProcess);
      case SpiFault::Died:
        throw ESPIPluginFault(
            Format("%s:Susie Pluginの%sの実行中に補助プロセスが終了しました (%s)", {fileName_, name, HexCode(fault.Code())}),
            inProcess);
      default:
        throw ESPIPluginFault(Format("%s:Susie Pluginの%sで例外 %s が発生しました", {fileName_, name, HexCode(fault.Code())}),
                              inProcess);
    }
  }
}

void TSPI::LeaveProcessAfterFault() {
  if (leaveTried_) return;
  leaveTried_ = true;
  bool noHelper = false;
  std::unique_ptr<SpiModule> hosted = OpenHostedSpiModule(fileName_, &noHelper);
  if (hosted) module_ = std::move(hosted);  // else no helper (or it cannot load it there): it stays
}

void TSPI::CheckAPI() { Require(kGetPluginInfo, "GetPluginInfo"); }

int TSPI::GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) {
  Require(kGetPluginInfo, "GetPluginInfo");
  return Guarded("GetPluginInfo", [&] { return module_->GetPluginInfo(infoNo, buffer, bufferLength); });
}

void TLoaderSPI::CheckAPI() {
  TSPI::CheckAPI();
  Require(kIsSupported, "IsSupported");
}

int TLoaderSPI::IsSupported(LPCSTR fileName, const void* data) {
  return IsSupported(fileName, SpiData{static_cast<const std::uint8_t*>(data), 0});
}

int TLoaderSPI::IsSupported(LPCSTR fileName, const SpiData& data) {
  Require(kIsSupported, "IsSupported");
  return Guarded("IsSupported", [&] { return module_->IsSupported(fileName, data); });
}

void TInSPI::CheckAPI() {
  TLoaderSPI::CheckAPI();
  Require(kGetPictureInfo, "GetPictureInfo");
  Require(kGetPicture, "GetPicture");
}

int TInSPI::GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) {
  Require(kGetPictureInfo, "GetPictureInfo");
  return Guarded("GetPictureInfo", [&] { return module_->GetPictureInfo(data, facts); });
}

int TInSPI::GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                       std::unique_ptr<SpiPicture>& picture) {
  Require(kGetPicture, "GetPicture");
  return Guarded("GetPicture", [&] { return module_->GetPicture(data, progress, userValue, listened, picture); });
}

void TAmSPI::CheckAPI() {
  TLoaderSPI::CheckAPI();
  Require(kGetArchiveInfo, "GetArchiveInfo");
  Require(kGetFileInfo, "GetFileInfo");
  Require(kGetFile, "GetFile");
}

std::unique_ptr<TSPI> CreateSPI(const std::string& fileName) {
  try {
    return CreateSPIOrFault(fileName);
  } catch (const ESPIPluginFault&) {
    return nullptr;
  }
}

// ---- TSPIs ----

TSPIs* CurrentSPIs() { return current; }

TSPIs::TSPIs() {
  if (current) throw ESPIDupCreateSPIs("TSPIs は複数生成できません");
  current = this;
  Changed();
}

void TSPIs::Changed() {
  static std::uint64_t counter = 0;
  generation_ = ++counter;
}

TSPIs::~TSPIs() {
  if (current == this) current = nullptr;
  Clear();
}

void TSPIs::SetDefaultGraphicClass(const TGraphicClass* graphicClass) { defaultGraphicClass = graphicClass; }
const TGraphicClass* TSPIs::DefaultGraphicClass() { return defaultGraphicClass; }

std::vector<std::string> TSPIs::PluginMasks() {
#ifdef _WIN64
  return {"*.spi", "*.sph"};
#else
  return {"*.spi"};
#endif
}

void TSPIs::Loaded() {
  if (!AutoSearch) return;
  for (const std::string& mask : PluginMasks()) Search(mask);
}

std::string TSPIs::SusieDirectory() {
  HKEY key = nullptr;
  // Read access is all that is needed; asking for more would fail on a key the user may only read.
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vexmoran\\Susie\\Plug-in", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  std::string path;
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size);
  if (r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size < 65536) {
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got) == ERROR_SUCCESS) {
      value.resize(std::min<std::size_t>(value.size(), got / sizeof(wchar_t)));
      while (!value.empty() && value.back() == L'\0') value.pop_back();
      path = win::Narrow(value);
    }
  }
  RegCloseKey(key);
  return path;
}

namespace {

std::string WithBackslash(std::string dir) {
  if (!dir.empty() && !sjis::EndsWithChar(dir, '\\')) dir += '\\';
  return dir;
}

// A directory reported into a 256-byte buffer announced as 255; empty when it does not fit.
template <class Get>
std::string SystemDirectory(Get get) {
  wchar_t buf[256] = {};
  UINT n = get(buf, 255);
  return n > 0 && n < 255 ? win::Narrow(std::wstring_view(buf, n)) : std::string();
}

}  // namespace

void TSPIs::Search(const std::string& fileMask) {
  std::string_view dir = sjis::ExtractFilePath(fileMask);
  if (!dir.empty()) {
    SearchDir(WithBackslash(std::string(dir)), std::string(sjis::ExtractFileName(fileMask)));
    return;
  }
  auto searchIn = [&](TSPISearchOption option, auto directory) {
    if (!(SearchOptions & (1u << option))) return;
    std::string d = directory();
    if (!d.empty()) SearchDir(WithBackslash(d), fileMask);
  };
  searchIn(spsSusieDir, [] { return SusieDirectory(); });
  searchIn(spsAppDir, [] { return std::string(sjis::ExtractFilePath(win::ExePath())); });
  searchIn(spsCurrentDir, [] {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring buf(n, L'\0');
    n = GetCurrentDirectoryW(n, buf.data());
    return win::Narrow(std::wstring_view(buf.data(), n));
  });
  searchIn(spsSystemDir, [] { return SystemDirectory([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }); });
  searchIn(spsWindowsDir, [] { return SystemDirectory([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); }); });
}

void TSPIs::SearchDir(const std::string& directory, const std::string& mask) {
  // The whole directory is listed before anything is loaded.
  std::vector<std::string> found;
  WIN32_FIND_DATAW fd;
  win::FindHandle find(win::FindFirst(win::Wide(directory + mask), fd));
  if (find) {
    do {
      if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
      std::string path = directory + win::Narrow(fd.cFileName);
      if (IndexOf(path) < 0) found.push_back(std::move(path));
    } while (FindNextFileW(find, &fd));
  }
  for (const std::string& path : found) {
    bool accept = true;
    if (OnSearching) OnSearching(*this, path, accept);  // a failure here ends the search
    if (!accept) continue;
    std::unique_ptr<TSPI> spi;
    try {
      spi = CreateSPIOrFault(path);
    } catch (const ESPIInvalidAPI&) {
      // A library that lacks a function its kind needs is skipped like one that cannot be
      // loaded: one bad file must not stop the program from starting.
      continue;
    } catch (const ESPIPluginFault& fault) {
      // It faulted while being loaded: skipped, and the user told which one.
      TPluginFault f = faults_.Note(path, std::string(), fault.InProcess());
      if (OnPluginFault) OnPluginFault(*this, f);
      continue;
    }
    if (!spi) continue;
    try {
      accept = true;
      if (OnSearch) OnSearch(*this, *spi, accept);
      if (accept) Add(std::move(spi));
    } catch (...) {
      // The new plug-in is destroyed with spi; the search goes on.
    }
  }
}

void TSPIs::Insert(int index, std::unique_ptr<TSPI> spi) {
  if (index < 0 || index > Count()) throw Exception("リストのインデックスが範囲を超えています");
  // CreateSPI gives none for a file that is no plug-in: the list takes only real ones.
  if (!spi) throw Exception("プラグインがありません");
  TSPI* added = spi.get();
  items_.insert(items_.begin() + index, std::move(spi));
  added->owner_ = this;
  Changed();
  auto* in = dynamic_cast<TInSPI*>(added);
  if (!in) return;
  for (std::size_t j = 0; j < in->Filters().size(); ++j) {
    const TGraphicClass* cls = defaultGraphicClass;
    const std::string& description = in->Descriptions()[j];
    for (const std::string& ext : FilterExtensions(in->Filters()[j])) {
      if (OnPictureRegister) OnPictureRegister(*this, *in, ext, description, cls);
      if (cls) RegisterFileFormat(ext, description, cls);
    }
  }
}

void TSPIs::Delete(int index) {
  if (index < 0 || index >= Count()) throw Exception("リストのインデックスが範囲を超えています");
  items_.erase(items_.begin() + index);
  Changed();
}

void TSPIs::Clear() {
  while (!items_.empty()) Delete(0);
}

int TSPIs::IndexOf(const std::string& fileName) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (sjis::SameTextAscii(items_[i]->FileName(), fileName)) return static_cast<int>(i);
  return -1;
}

void TSPIs::GetSPIs(const std::vector<TSPIClassTest>& classes, const std::string& fileName,
                    std::vector<TSPI*>& list) const {
  const std::string upperName = choice_.AllInUse() ? std::string() : win::UpperJa(fileName);
  std::vector<std::size_t> order = CandidateOrder(items_.size(), fileName, [&](std::size_t i) -> const std::vector<std::string>* {
    if (!UsableFor(*items_[i], upperName)) return nullptr;
    for (TSPIClassTest test : classes)
      if (test(*items_[i])) return &items_[i]->Filters();
    return nullptr;
  });
  // Claiming plug-ins go in front of what the list already holds, the others at its end.
  std::vector<TSPI*> front, back;
  for (std::size_t i : order) (FiltersClaim(items_[i]->Filters(), fileName) ? front : back).push_back(items_[i].get());
  list.insert(list.begin(), front.begin(), front.end());
  list.insert(list.end(), back.begin(), back.end());
}

void TSPIs::NotePluginFault(TSPI& spi, const std::string& file, bool inProcess) {
  TPluginFault f = faults_.Note(spi.FileName(), file, inProcess);
  if (f.SetAside) spi.setAside_ = true;
  if (OnPluginFault) OnPluginFault(*this, f);
}

bool TSPIs::UsableFor(const TSPI& spi, const std::string& upperName) const {
  if (spi.SetAside()) return false;
  if (choice_.AllInUse() || spi.Filters().empty()) return true;
  bool anyInUse = false, matchesInUse = false, matchesWithdrawn = false;
  for (std::size_t j = 0; j < spi.Filters().size(); ++j) {
    bool inUse = FormatInUse(spi, j);
    anyInUse = anyInUse || inUse;
    if (FilterMatchesUpperName(win::UpperJa(spi.Filters()[j]), upperName)) (inUse ? matchesInUse : matchesWithdrawn) = true;
  }
  // A file of a withdrawn format is still offered when another format of the plug-in in use
  // names it too.
  return anyInUse && (matchesInUse || !matchesWithdrawn);
}

bool TSPIs::FormatInUse(const TSPI& spi, std::size_t format) const {
  return choice_.InUse(sjis::ExtractFileName(spi.FileName()), spi.Filters().at(format));
}

void TSPIs::SetFormatInUse(const TSPI& spi, std::size_t format, bool inUse) {
  choice_.SetInUse(sjis::ExtractFileName(spi.FileName()), spi.Filters().at(format), inUse);
  Changed();
}

void TSPIs::SetFormatChoice(TFormatChoice choice) {
  choice_ = std::move(choice);
  Changed();
}

std::vector<TFormatLine> FormatLines(const TSPIs& spis) {
  std::vector<TFormatLine> lines;
  for (int i = 0; i < spis.Count(); ++i) {
    TSPI* spi = spis.Items(i);
    for (std::size_t j = 0; j < spi->Filters().size(); ++j)
      lines.push_back({spi, j, Format("%s (%s)", {spi->Descriptions()[j], spi->Filters()[j]})});
  }
  return lines;
}
