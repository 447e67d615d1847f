#include "imaging/spi_module.h"

#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "imaging/fault_guard.h"
#include "win/text.h"

namespace {

// The bytes a stdcall function's arguments take on the stack, from its declared type: each
// argument fills whole 4-byte slots.
template <class F>
struct StdcallArgs;
template <class R, class... A>
struct StdcallArgs<R(WINAPI*)(A...)> {
  static constexpr int Bytes = (0 + ... + static_cast<int>((sizeof(A) + 3) / 4 * 4));
};

// True for a handle LocalAlloc gave out that is not freed yet. Plug-ins hand out values of
// their own making too (a field they never wrote, one block as both outputs): such a value is
// never locked or freed.
bool IsLiveLocalHandle(HLOCAL h) {
  if (!h) return false;
  // The system looks into the memory a handle names, and counts on catching the fault when
  // nothing is there; where 32-bit Wine runs translated by qemu that fault cannot be caught
  // and the process ends. So an address with no readable memory is no handle, asked first.
  MEMORY_BASIC_INFORMATION m{};
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (!VirtualQuery(h, &m, sizeof m) || m.State != MEM_COMMIT || !(m.Protect & kReadable) || (m.Protect & PAGE_GUARD) ||
      reinterpret_cast<std::uintptr_t>(h) + 2 * sizeof(void*) >
          reinterpret_cast<std::uintptr_t>(m.BaseAddress) + m.RegionSize)
    return false;
  UINT flags = LocalFlags(h);
  return flags != LMEM_INVALID_HANDLE && !(flags & LMEM_DISCARDED);
}

// A local-memory block a plug-in handed over: locked while this lives.
class LockedBlock {
 public:
  explicit LockedBlock(HLOCAL h) : h_(h), p_(h ? LocalLock(h) : nullptr), size_(h ? LocalSize(h) : 0) {}
  ~LockedBlock() {
    if (p_) LocalUnlock(h_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const std::uint8_t* Data() const { return static_cast<const std::uint8_t*>(p_); }
  std::size_t Size() const { return p_ ? size_ : 0; }

 private:
  HLOCAL h_;
  void* p_;
  std::size_t size_;
};

// The two blocks GetPicture hands over, freed (each once, and only when live) in every case.
struct PictureBlocks {
  HLOCAL Info, Bits;
  PictureBlocks(HLOCAL info, HLOCAL bits) : Info(info), Bits(bits) {}
  PictureBlocks(const PictureBlocks&) = delete;
  PictureBlocks& operator=(const PictureBlocks&) = delete;
  ~PictureBlocks() {
    if (IsLiveLocalHandle(Info)) LocalFree(Info);
    if (Bits != Info && IsLiveLocalHandle(Bits)) LocalFree(Bits);
  }
  // Two distinct live blocks: anything else is no picture.
  static bool Valid(HLOCAL info, HLOCAL bits) { return info != bits && IsLiveLocalHandle(info) && IsLiveLocalHandle(bits); }
};

// The plug-in's output, locked: the pixel rows first, then the information; unlocked the
// other way round, then both freed, information first.
class LocalPicture : public SpiPicture {
 public:
  LocalPicture(HLOCAL info, HLOCAL bits) : blocks_(info, bits), bits_(bits), info_(info) {}
  bool Locked() const { return info_.Data() && bits_.Data(); }
  const std::uint8_t* Info() const override { return info_.Data(); }
  std::size_t InfoSize() const override { return info_.Size(); }
  const std::uint8_t* Bits() const override { return bits_.Data(); }
  std::size_t BitsSize() const override { return bits_.Size(); }

 private:
  PictureBlocks blocks_;
  LockedBlock bits_, info_;
};

// The text of the information record, from whichever layout's handle is a live block; that
// block is freed.
std::string InfoText(const SpiPictureInfo& rec) {
  for (std::uint64_t value : InfoHandleCandidates(rec.Bytes, sizeof(HLOCAL))) {
    HLOCAL h = reinterpret_cast<HLOCAL>(static_cast<std::uintptr_t>(value));
    if (!IsLiveLocalHandle(h)) continue;
    std::string text;
    {
      LockedBlock block(h);
      const char* p = reinterpret_cast<const char*>(block.Data());
      if (p) text.assign(p, strnlen(p, block.Size()));
    }
    LocalFree(h);
    return text;
  }
  return {};
}

bool keepLoaded = false;

// The argument area (see SetArgumentArea) and its layout.
struct {
  std::uint8_t* Data = nullptr;
  std::uint8_t* Code = nullptr;
  SpiProgressCallback StubFor = nullptr;  // where the code page's stub jumps to
} area;
constexpr std::size_t kHandlesAt = 0, kRecordAt = 64, kNameAt = 1024, kNameRoom = 32768;
constexpr std::size_t kBufferAt = kNameAt + kNameRoom;
constexpr std::size_t kBufferRoom = LocalSpiModule::kArgumentBytes - kBufferAt;
static_assert(kRecordAt + sizeof(SpiPictureInfo) <= kNameAt);

// The name as the plug-in is given it: in the argument area when there is one.
LPCSTR NameArgument(LPCSTR name) {
  if (!area.Data || !name) return name;
  char* to = reinterpret_cast<char*>(area.Data + kNameAt);
  const std::size_t n = strnlen(name, kNameRoom - 1);
  std::memcpy(to, name, n);
  to[n] = 0;
  return to;
}

// The progress callback as the plug-in is given it: in a 64-bit argument area, a stub in its
// code page that jumps to the callback (mov rax, target; jmp rax).
SpiProgressCallback CallbackArgument(SpiProgressCallback target) {
#ifdef _WIN64
  if (area.Code && target) {
    if (area.StubFor != target) {
      std::uint8_t stub[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
      const auto to = reinterpret_cast<std::uintptr_t>(target);
      std::memcpy(stub + 2, &to, sizeof to);
      DWORD old = 0;
      VirtualProtect(area.Code, sizeof stub, PAGE_READWRITE, &old);
      std::memcpy(area.Code, stub, sizeof stub);
      VirtualProtect(area.Code, sizeof stub, PAGE_EXECUTE_READ, &old);
      FlushInstructionCache(GetCurrentProcess(), area.Code, sizeof stub);
      area.StubFor = target;
    }
    return reinterpret_cast<SpiProgressCallback>(reinterpret_cast<void (*)()>(area.Code));
  }
#endif
  return target;
}

// The file's path as the plug-in is to be given it: in the code page its narrow functions use
// (the system's ANSI code page, which need not be Shift-JIS). Nothing when a character of the
// path has no place there or the path is longer than plug-ins' buffers: only a path that comes
// back as exactly the same characters opens the same file, and not another one or none.
std::optional<std::string> AnsiPath(const char* sjis) {
  const std::wstring wide = win::Wide(sjis);
  const UINT cp = GetACP();
  // UTF-8 has a place for every character and takes neither the flag nor the question.
  const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* asked = cp == CP_UTF8 ? nullptr : &lossy;
  const int n = WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, asked);
  if (wide.empty() || n <= 0 || n >= MAX_PATH || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), ansi.data(), n, nullptr, asked);
  const int m = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, ansi.data(), n, nullptr, 0);
  std::wstring back(static_cast<std::size_t>(m > 0 ? m : 0), L'\0');
  if (m > 0) MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, ansi.data(), n, back.data(), m);
  if (lossy || m <= 0 || back != wide || ansi.find('\0') != std::string::npos) return std::nullopt;
  return ansi;
}

// What a call's data becomes in the plug-in's arguments: the address of the bytes, their
// length and flag 1; or in file mode the file's name, the offset and flag 0.
struct DataArguments {
  const std::uint8_t* Bytes;
  LONG_PTR Length;
  unsigned Flag;
  std::string Name;
  // The first argument; the name is placed where the plug-in is to find it.
  LPCSTR Source() const { return Flag ? reinterpret_cast<LPCSTR>(Bytes) : NameArgument(Name.c_str()); }
};
std::optional<DataArguments> Arguments(const SpiData& data) {
  if (!data.File) return DataArguments{data.Bytes, static_cast<LONG_PTR>(data.Size), 1, {}};
  std::optional<std::string> ansi = AnsiPath(data.File);
  if (!ansi || data.Offset > static_cast<std::uint64_t>(std::numeric_limits<LONG_PTR>::max())) return std::nullopt;
  return DataArguments{nullptr, static_cast<LONG_PTR>(data.Offset), 0, std::move(*ansi)};
}

}  // namespace

void LocalSpiModule::SetArgumentArea(std::uint8_t* data, std::uint8_t* code) {
  area.Data = data;
  area.Code = code;
  area.StubFor = nullptr;
}

void LocalSpiModule::KeepLibrariesLoaded(bool keep) { keepLoaded = keep; }

LocalSpiModule::~LocalSpiModule() {
  if (keepLoaded) handle_.Detach();
}

std::unique_ptr<LocalSpiModule> LocalSpiModule::Open(const std::string& fileName) {
  // A plug-in may run a message loop (a message box) inside a guarded call: the window
  // procedures it reaches there are Quiran's code, whose faults are not the plug-in's.
  fault_guard::StandAsideInWindows();
  std::unique_ptr<LocalSpiModule> m(new LocalSpiModule);
  // A library that needs a missing DLL must fail quietly, not stop start-up with a dialog.
  DWORD oldMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  m->handle_.Reset(LoadLibraryW(win::Wide(fileName).c_str()));
  SetThreadErrorMode(oldMode, nullptr);
  if (!m->handle_) return nullptr;
  // The module's path as the system reports it (256-byte buffer announced as 255).
  wchar_t path[256] = {};
  DWORD n = GetModuleFileNameW(m->handle_, path, 255);
  m->fileName_ = n ? win::Narrow(std::wstring_view(path, n)) : fileName;
  // The nine functions in their order; only the four ever called are kept.
  SpiConfigurationDlg configurationDlg = nullptr;
  SpiGetPicture getPreview = nullptr;
  SpiGetArchiveInfo getArchiveInfo = nullptr;
  SpiGetFileInfo getFileInfo = nullptr;
  SpiGetFile getFile = nullptr;
  m->Find(m->getPluginInfo_, "GetPluginInfo", kGetPluginInfo);
  m->Find(configurationDlg, "ConfigurationDlg", kConfigurationDlg);
  m->Find(m->isSupported_, "IsSupported", kIsSupported);
  m->Find(m->getPictureInfo_, "GetPictureInfo", kGetPictureInfo);
  m->Find(m->getPicture_, "GetPicture", kGetPicture);
  m->Find(getPreview, "GetPreview", kGetPreview);
  m->Find(getArchiveInfo, "GetArchiveInfo", kGetArchiveInfo);
  m->Find(getFileInfo, "GetFileInfo", kGetFileInfo);
  m->Find(getFile, "GetFile", kGetFile);
  return m;
}

template <class F>
void LocalSpiModule::Find(F& entry, const char* name, SpiEntry e) {
  FARPROC p = Proc(name);
#ifndef _WIN64
  // Some 32-bit plug-ins export their stdcall functions only under decorated names, as their
  // compilers write them: "GetPicture@28", or "_GetPicture@28".
  const std::string decorated = std::string(name) + "@" + std::to_string(StdcallArgs<F>::Bytes);
  if (!p) p = Proc(decorated.c_str());
  if (!p) p = Proc(("_" + decorated).c_str());
#endif
  entry = reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
  if (p) entries_ |= 1u << e;
}

template <class F>
void LocalSpiModule::Guarded(F call) {
  unsigned long code = 0;
  if (!fault_guard::Run(call, &code)) throw SpiFault(SpiFault::Faulted, code);
}

int LocalSpiModule::GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) {
  int r = 0;
  if (area.Data && buffer && bufferLength >= 0 && static_cast<std::size_t>(bufferLength) <= kBufferRoom) {
    // Written in the argument area (zeroed, with room for plug-ins that write past the end),
    // then handed over.
    char* inArea = reinterpret_cast<char*>(area.Data + kBufferAt);
    std::memset(inArea, 0, kBufferRoom);
    Guarded([&] { r = getPluginInfo_(infoNo, inArea, bufferLength); });
    std::memcpy(buffer, inArea, static_cast<std::size_t>(bufferLength));
    return r;
  }
  Guarded([&] { r = getPluginInfo_(infoNo, buffer, bufferLength); });
  return r;
}

int LocalSpiModule::IsSupported(LPCSTR fileName, const SpiData& data) {
  int r = 0;
  LPCSTR name = NameArgument(fileName);
  Guarded([&] { r = isSupported_(name, reinterpret_cast<ULONG_PTR>(data.Bytes)); });
  return r;
}

int LocalSpiModule::GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) {
  const std::optional<DataArguments> a = Arguments(data);
  if (!a) return kSpiFileNotNamed;
  SpiPictureInfo onStack;
  SpiPictureInfo& rec = area.Data ? *new (area.Data + kRecordAt) SpiPictureInfo : onStack;
  const LPCSTR source = a->Source();
  int r = 0;
  Guarded([&] { r = getPictureInfo_(source, a->Length, a->Flag, &rec); });
  if (r == 0) {
    facts.Fields = ReadInfoRecord(rec.Bytes);
    facts.Text = InfoText(rec);
  }
  return r;
}

int LocalSpiModule::GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool,
                               std::unique_ptr<SpiPicture>& picture) {
  const std::optional<DataArguments> a = Arguments(data);
  if (!a) return kSpiFileNotNamed;
  HLOCAL onStack[2] = {nullptr, nullptr};
  HLOCAL* handles = area.Data ? new (area.Data + kHandlesAt) HLOCAL[2]{nullptr, nullptr} : onStack;
  SpiProgressCallback callback = CallbackArgument(progress);
  const LPCSTR source = a->Source();
  int r = 0;
  Guarded([&] { r = getPicture_(source, a->Length, a->Flag, &handles[0], &handles[1], callback, userValue); });
  HLOCAL info = handles[0], bits = handles[1];
  // A failed call hands nothing over; blocks the plug-in allocated all the same are freed.
  if (r != 0) {
    PictureBlocks discarded(info, bits);
    return r;
  }
  if (!PictureBlocks::Valid(info, bits)) {
    PictureBlocks discarded(info, bits);  // whatever of them is live is freed
    return 0;
  }
  auto out = std::make_unique<LocalPicture>(info, bits);
  if (out->Locked()) picture = std::move(out);
  return 0;
}
