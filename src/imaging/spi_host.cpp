#include "imaging/spi_host.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "spihost/pe_machine.h"
#include "win/app.h"
#include "win/error.h"
#include "win/sjis.h"
#include "win/text.h"

using spihost::Message;
using spihost::Msg;

namespace {

DWORD silenceLimit = TSPIHost::kDefaultSilence;
DWORD callLimit = TSPIHost::kDefaultCallLimit;
std::string programPaths[2];  // set by tests; empty: beside the program
TSPIWaitCancel* waitCancel = nullptr;

constexpr std::uint64_t kMinSection = 1u << 20;
// A block larger than this is made smaller again when a picture needs a quarter of it or less.
constexpr std::uint64_t kShrinkAbove = 64u << 20;
constexpr std::uint64_t kAlign = 4096;

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t a) { return (v + a - 1) / a * a; }

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

}  // namespace

// ---- the shared block ----

struct TSPIHost::Section {
  win::FileMapping Mapping;
  std::uint8_t* View = nullptr;
  std::uint64_t Size = 0;
  ~Section() {
    if (View) UnmapViewOfFile(View);
  }
};

// A picture the helper placed in the shared block, as a BMP file image: read where it lies,
// within the sizes Quiran checked and made room for, while the block stays mapped (this keeps
// it). The helper is waiting for its next request meanwhile, and the BMP reader takes every
// header field once and bounds every read by the image's size, so not even a helper that went
// on writing could make it read past the image.
class HostedPicture : public SpiPicture {
 public:
  HostedPicture(std::shared_ptr<const void> keep, const std::uint8_t* bmp, std::size_t size)
      : keep_(std::move(keep)), bmp_(bmp), size_(size) {}
  const std::uint8_t* BmpFile() const override { return bmp_; }
  std::size_t BmpFileSize() const override { return size_; }

 private:
  std::shared_ptr<const void> keep_;
  const std::uint8_t* bmp_;
  std::size_t size_;
};

// ---- the plug-in in a helper ----

class HostedSpiModule : public SpiModule {
 public:
  HostedSpiModule(TSPIHost& host, std::string path) : host_(host), path_(std::move(path)) {}
  ~HostedSpiModule() override;
  // Loads the library in the helper; false when it cannot be loaded there.
  bool Load();

  int GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) override;
  int IsSupported(LPCSTR fileName, const SpiData& data) override;
  int GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) override;
  int GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                 std::unique_ptr<SpiPicture>& picture) override;

 private:
  // The plug-in's id in the running helper, loaded again into a helper started since.
  std::uint32_t Id();

  TSPIHost& host_;
  const std::string path_;
  std::uint32_t id_ = 0;
  std::uint64_t incarnation_ = 0;
};

namespace {

// The data of a picture call: its length in the shared block, or the file the plug-in reads.
void Describe(const SpiData& data, Message& request) {
  request.Length = data.Size;
  if (data.File) request.Text = data.File, request.FileOffset = data.Offset;
}

}  // namespace

std::unique_ptr<SpiModule> OpenHostedSpiModule(const std::string& fileName, bool* noHelper) {
  auto m = std::make_unique<HostedSpiModule>(TSPIHost::Of(TSPIHost::KindFor(fileName)), fileName);
  try {
    if (m->Load()) return m;
  } catch (const SpiCallFailed&) {
    if (noHelper) *noHelper = true;
  }
  return nullptr;
}

std::string MissingHelperNotice() {
  const TSPIHost::Kind other = TSPIHost::kOwn == TSPIHost::k64Bit ? TSPIHost::k32Bit : TSPIHost::k64Bit;
  auto name = [](TSPIHost::Kind k) { return std::string(sjis::ExtractFileName(TSPIHost::ProgramPath(k))); };
  std::string notice;
  if (TSPIHost::Of(TSPIHost::kOwn).Missing())
    notice = Format("%s を起動できないため、プラグインを Quiran の中で動かしています", {name(TSPIHost::kOwn)});
  if (TSPIHost::kOwn == TSPIHost::k64Bit && TSPIHost::Of(other).Missing())
    notice += (notice.empty() ? "" : "。") + Format("%s を起動できないため、32 ビットのプラグインは使えません", {name(other)});
  return notice;
}

TSPIWaitCancel::TSPIWaitCancel(HWND window, std::function<bool()> cancelled)
    : window_(window), cancelled_(std::move(cancelled)), outer_(waitCancel) {
  waitCancel = this;
}

TSPIWaitCancel::~TSPIWaitCancel() { waitCancel = outer_; }

bool HostedSpiModule::Load() {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  Message m;
  try {
    host_.Run();  // SpiCallFailed when it cannot be started
    Message request{Msg::Load};
    request.Text = path_;
    m = host_.Ask(request, Msg::Loaded);
  } catch (const SpiFault&) {
    return false;  // the library took the helper down while loading
  }
  if (m.Type == Msg::LoadFailed) return false;
  id_ = m.Id;
  incarnation_ = host_.Incarnation();
  entries_ = m.Entries;
  fileName_ = m.Text;
  return true;
}

HostedSpiModule::~HostedSpiModule() {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  if (host_.busy_ || !host_.ProcessId() || host_.Incarnation() != incarnation_) return;
  try {
    Message request{Msg::Unload};
    request.Id = id_;
    host_.Ask(request, Msg::Done);
  } catch (...) {
    // The helper went down while the library was let go; nothing is left to release.
  }
}

std::uint32_t HostedSpiModule::Id() {
  host_.Run();
  if (host_.Incarnation() != incarnation_) {
    Message request{Msg::Load};
    request.Text = path_;
    Message m = host_.Ask(request, Msg::Loaded);
    // The library loaded before and does not now: it cannot be called any more.
    if (m.Type != Msg::Loaded) throw SpiFault(SpiFault::Died, 0);
    id_ = m.Id;
    incarnation_ = host_.Incarnation();
  }
  return id_;
}

int HostedSpiModule::GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  Message request{Msg::PluginInfo};
  request.Id = Id();
  request.Value = infoNo;
  request.Total = std::clamp(bufferLength, 0, 65535);
  Message m = host_.Ask(request, Msg::PluginInfoAnswer);
  // The text may fill the buffer and its terminating byte, no more.
  if (m.Text.size() > static_cast<std::size_t>(request.Total) + 1) host_.Fail(SpiFault::Garbled, 0);
  const std::size_t n = std::min(m.Text.size(), static_cast<std::size_t>(request.Total));
  if (buffer && n) std::memcpy(buffer, m.Text.data(), n);
  if (buffer && n < static_cast<std::size_t>(request.Total)) buffer[n] = 0;
  return m.Value;
}

int HostedSpiModule::IsSupported(LPCSTR fileName, const SpiData& data) {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  Message request{Msg::IsSupported};
  request.Id = Id();
  request.Text = fileName ? fileName : "";
  host_.PutData(data);
  return host_.Ask(request, Msg::Result).Value;
}

int HostedSpiModule::GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  Message request{Msg::GetPictureInfo};
  request.Id = Id();
  Describe(data, request);
  host_.PutData(data);
  Message m = host_.Ask(request, Msg::PictureInfoAnswer);
  if (m.Value == 0) {
    facts.Fields = {m.Left, m.Top, m.Width, m.Height, m.XDensity, m.YDensity, m.ColorDepth};
    facts.Text = std::move(m.Text);
  }
  return m.Value;
}

int HostedSpiModule::GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                                std::unique_ptr<SpiPicture>& picture) {
  std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
  Message request{Msg::GetPicture};
  request.Id = Id();
  Describe(data, request);
  request.Flag = listened ? 1 : 0;
  host_.PutData(data);
  Message m = host_.Ask(request, Msg::PictureAnswer, progress, userValue, true);
  if (m.Value != 0 || !m.Flag) return m.Value;
  // The picture goes after the data in the shared block, which grows for it when needed: the
  // BMP file image whole, its rows right after its head. A picture too large for this process
  // is let go in the helper, and only it fails. Nothing is read outside [at, end), which the
  // block holds whatever sizes the helper gave (the protocol bounds each one).
  Message fetch{Msg::Fetch};
  const std::uint64_t at = AlignUp(data.Readable(), kAlign);
  const std::uint64_t end = at + m.InfoSize + m.BitsSize;
  const bool room = end <= SIZE_MAX / 2 && host_.Reserve(end);
  fetch.Flag = room ? 1 : 0;
  fetch.InfoOffset = at;
  fetch.BitsOffset = at + m.InfoSize;
  host_.Ask(fetch, Msg::Done);
  if (!room) throw SpiCallFailed(SpiCallFailed::TooLarge);
  picture = std::make_unique<HostedPicture>(host_.section_, host_.section_->View + at, static_cast<std::size_t>(end - at));
  return 0;
}

// ---- the helper process ----

TSPIHost& TSPIHost::Of(Kind kind) {
  // Never destroyed: plug-in objects may outlive static destruction order. A helper ends with
  // Quiran all the same (its pipe breaks, and the job it is in closes).
  static TSPIHost* const hosts[2] = {new TSPIHost(k32Bit), new TSPIHost(k64Bit)};
  return *hosts[kind];
}

TSPIHost::Kind TSPIHost::KindFor(const std::string& fileName) {
#ifdef _WIN64
  win::File f(CreateFileW(win::Wide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (f.Get() == INVALID_HANDLE_VALUE) f.Detach();
  std::uint8_t head[spihost::kPeProbeSize];
  DWORD n = 0;
  if (f && ReadFile(f, head, sizeof head, &n, nullptr) && spihost::ReadPeMachine(head, n) == spihost::PeMachine::I386)
    return k32Bit;
  return k64Bit;
#else
  (void)fileName;
  return k32Bit;
#endif
}

std::string TSPIHost::ProgramPath(Kind kind) {
  if (!programPaths[kind].empty()) return programPaths[kind];
  return std::string(sjis::ExtractFilePath(win::ExePath())) + (kind == k32Bit ? "QuiranSpiHost.exe" : "QuiranSpiHost64.exe");
}

void TSPIHost::SetProgramPath(Kind kind, std::string path) {
  programPaths[kind] = std::move(path);
  Of(kind).missing_ = false;
}

void TSPIHost::SetSilenceLimit(DWORD ms) { silenceLimit = ms; }
DWORD TSPIHost::SilenceLimit() { return silenceLimit; }
void TSPIHost::SetCallLimit(DWORD ms) { callLimit = ms; }

std::uint64_t TSPIHost::SharedSize() const { return section_ ? section_->Size : 0; }

TSPIHost::~TSPIHost() { End(); }

void TSPIHost::End() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (process_) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  process_.Reset();
  pipe_.Reset();
  processId_ = 0;
  mapped_ = nullptr;
  inbox_.clear();
}

void TSPIHost::Fail(SpiFault::Kind kind, unsigned long code) {
  End();
  throw SpiFault(kind, code);
}

void TSPIHost::Run() {
  if (process_) return;
  // A helper that never started this run is not looked for again with every plug-in.
  if (missing_) throw SpiCallFailed(SpiCallFailed::NoHelper);
  const bool never = incarnation_ == 0;
  try {
    Start();
  } catch (const SpiFault&) {
    End();
    missing_ = never;
    throw SpiCallFailed(SpiCallFailed::NoHelper);
  } catch (const SpiCallFailed&) {
    End();
    missing_ = never;
    throw;
  }
}

void TSPIHost::Start() {
  const std::string program = ProgramPath(kind_);
  if (GetFileAttributesW(win::Wide(program).c_str()) == INVALID_FILE_ATTRIBUTES) throw SpiCallFailed(SpiCallFailed::NoHelper);
  const double start = Now();
  // The pipe: Quiran's end for overlapped use (so every wait has a limit), the helper's end
  // opened here and inherited, so no other process can take the helper's place.
  static unsigned serial = 0;
  const std::wstring name = L"\\\\.\\pipe\\Quiran.SpiHost." + std::to_wstring(GetCurrentProcessId()) + L"." +
                            std::to_wstring(++serial) + L"." + std::to_wstring(GetTickCount());
  win::Pipe server(win::ValidOrNull(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr)));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  win::Pipe client(win::ValidOrNull(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr)));
  if (!event_) event_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!server || !client || !event_) throw SpiCallFailed(SpiCallFailed::NoHelper);
  // The helper goes with Quiran, however Quiran ends.
  if (!job_) {
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_) SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  // The helper inherits its end of the pipe and nothing else Quiran holds open.
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::vector<std::uint8_t> listBytes(listSize);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) throw SpiCallFailed(SpiCallFailed::NoHelper);
  struct DeleteList {
    LPPROC_THREAD_ATTRIBUTE_LIST l;
    ~DeleteList() { DeleteProcThreadAttributeList(l); }
  } deleteList{list};
  HANDLE inherited[] = {client.Get()};
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited, nullptr, nullptr))
    throw SpiCallFailed(SpiCallFailed::NoHelper);
  std::wstring command = L"\"" + win::Wide(program) + L"\" " +
                         std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(client.Get())));
  STARTUPINFOEXW si{};
  si.StartupInfo.cb = sizeof si;
  si.lpAttributeList = list;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(win::Wide(program).c_str(), command.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                      &si.StartupInfo, &pi))
    throw SpiCallFailed(SpiCallFailed::NoHelper);
  if (job_) AssignProcessToJobObject(job_, pi.hProcess);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  client.Reset();  // the helper holds the only copy: when it ends, the pipe breaks
  process_.Reset(pi.hProcess);
  pipe_ = std::move(server);
  processId_ = pi.dwProcessId;
  ++incarnation_;
  mapped_ = nullptr;
  put_ = {};
  inbox_.clear();

  Message hello{Msg::Hello};
  hello.Magic = spihost::kMagic;
  hello.Version = spihost::kVersion;
  // A new process may take a while to answer on a busy machine (a 32-bit one emulated all the
  // more): its start is given at least the default silence, however short the one for plug-ins.
  starting_ = true;
  Message m;
  try {
    m = Ask(hello, Msg::HelloAnswer);
  } catch (...) {
    starting_ = false;
    throw;
  }
  starting_ = false;
  if (m.Version != spihost::kVersion || m.PointerBits != (kind_ == k32Bit ? 32u : 64u)) Fail(SpiFault::Garbled, 0);
  lastStartMs_ = Now() - start;
}

bool TSPIHost::Reserve(std::uint64_t size) {
  // The block in use, when it is large enough and not far too large, and the helper (a new one)
  // can map it; otherwise a new block: grown by half again at least, so a run of growing
  // pictures does not remake it each time, or just large enough when that is what failed.
  const bool fits = section_ && section_->Size >= size && !(section_->Size > kShrinkAbove && size <= section_->Size / 4);
  if (fits && (mapped_ == section_.get() || MapInHelper(*section_))) return true;
  const bool grow = section_ && section_->Size < size;
  std::uint64_t tried = 0;
  for (std::uint64_t want : {std::max<std::uint64_t>(size, grow ? section_->Size + section_->Size / 2 : 0), size}) {
    want = AlignUp(std::max(want, kMinSection), kMinSection);
    if (want > SIZE_MAX / 2 || want == std::exchange(tried, want)) continue;
    auto s = std::make_shared<Section>();
    s->Mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(want >> 32),
                                        static_cast<DWORD>(want), nullptr));
    if (s->Mapping) s->View = static_cast<std::uint8_t*>(MapViewOfFile(s->Mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!s->View) continue;
    s->Size = want;
    // The helper lets its old block go only once it has mapped the new one.
    if (!MapInHelper(*s)) continue;
    section_ = std::move(s);
    put_ = {};
    return true;
  }
  return false;
}

bool TSPIHost::MapInHelper(const Section& s) {
  HANDLE remote = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), s.Mapping, process_, &remote, 0, FALSE, DUPLICATE_SAME_ACCESS))
    Fail(SpiFault::Died, GetLastError());
  Message map{Msg::Map};
  map.Handle = reinterpret_cast<std::uintptr_t>(remote);
  map.Size = s.Size;
  if (Ask(map, Msg::Result).Value != 1) return false;  // the helper has no room for it
  mapped_ = &s;
  return true;
}

void TSPIHost::PutData(const SpiData& data) {
  const std::size_t n = data.Readable();
  if (!Reserve(n)) throw SpiCallFailed(SpiCallFailed::TooLarge);
  if (data.Serial && put_.In == section_.get() && put_.Serial == data.Serial && put_.Bytes == data.Bytes &&
      put_.Size == data.Size)
    return;
  std::memcpy(section_->View, data.Bytes, n);
  put_ = {section_.get(), data.Bytes, data.Size, data.Serial};
}

Message TSPIHost::Ask(const Message& request, Msg expected, SpiProgressCallback progress, LONG_PTR userValue,
                     bool cancellable) {
  // A listener that starts another plug-in call while this one waits for it would interleave
  // two conversations with one helper.
  if (busy_) throw Exception("Susie Plugin の呼び出し中に別の呼び出しはできません");
  struct Busy {
    bool &flag, &cancel;
    Busy(bool& f, bool& c, bool cancellable) : flag(f), cancel(c) { flag = true, cancel = cancellable; }
    ~Busy() { flag = cancel = false; }
  } busy(busy_, cancellable_, cancellable);
  callStart_ = lastSign_ = GetTickCount64();
  try {
    Send(request);
    for (;;) {
      Message m = Receive();
      if (m.Type == Msg::Fault) Fail(SpiFault::Faulted, m.Code);
      if (m.Type == Msg::Progress && progress) {
        if (!m.Flag) continue;  // the helper is alive and the plug-in working: the wait goes on
        Message answer{Msg::ProgressAnswer};
        answer.Value = progress(m.Value, m.Total, userValue);
        Send(answer);
        continue;
      }
      if (m.Type != expected && !(expected == Msg::Loaded && m.Type == Msg::LoadFailed)) Fail(SpiFault::Garbled, 0);
      return m;
    }
  } catch (const SpiFault&) {
    throw;
  } catch (...) {
    End();  // the conversation broke off halfway: the helper cannot be trusted to follow it
    throw;
  }
}

bool TSPIHost::WaitingCancelled() {
  MSG m;
  // What was uncovered meanwhile is painted again.
  while (PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&m);
  // A progress dialog takes its own input: its cancel button, Esc in it.
  if (waitCancel && IsWindow(waitCancel->window_))
    while (PeekMessageW(&m, waitCancel->window_, 0, 0, PM_REMOVE)) win::Application::Dispatch(m);
  if (!cancellable_) return false;
  // Esc in any other window cancels too; every other key and click waits for the call's end.
  if (PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && m.wParam == VK_ESCAPE) {
    PeekMessageW(&m, m.hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
    return true;
  }
  return waitCancel && waitCancel->cancelled_ && waitCancel->cancelled_();
}

bool TSPIHost::Await(OVERLAPPED& ov, DWORD& transferred) {
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD silence = starting_ ? std::max(silenceLimit, kDefaultSilence) : silenceLimit;
    const ULONGLONG until = std::min(lastSign_ + silence, callStart_ + callLimit);
    bool cancelled = false;
    if (now < until) {
      const DWORD r = MsgWaitForMultipleObjects(1, &ov.hEvent, FALSE, static_cast<DWORD>(until - now),
                                                QS_PAINT | QS_KEY | QS_MOUSEBUTTON | QS_POSTMESSAGE);
      if (r == WAIT_OBJECT_0) {
        lastSign_ = GetTickCount64();
        return GetOverlappedResult(pipe_, &ov, &transferred, FALSE) != 0;
      }
      if (r == WAIT_OBJECT_0 + 1) {
        cancelled = WaitingCancelled();
        if (!cancelled) continue;
      } else if (r != WAIT_TIMEOUT) {
        Fail(SpiFault::Died, GetLastError());
      } else {
        continue;  // the limits are looked at again
      }
    }
    CancelIo(pipe_);
    GetOverlappedResult(pipe_, &ov, &transferred, TRUE);
    if (cancelled) {
      End();  // the plug-in is stopped where it is; the next call starts a new helper
      throw EAbort();
    }
    Fail(SpiFault::Hung, 0);
  }
}

void TSPIHost::Send(const Message& m) {
  const std::vector<std::uint8_t> bytes = spihost::Encode(m);
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED ov{};
    ov.hEvent = event_;
    ResetEvent(event_);
    DWORD n = 0;
    if (!WriteFile(pipe_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, &ov) &&
        GetLastError() != ERROR_IO_PENDING)
      n = 0;
    else if (!Await(ov, n))
      n = 0;
    if (n == 0) {
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      Fail(SpiFault::Died, code);
    }
    done += n;
  }
}

Message TSPIHost::Receive() {
  auto need = [&](std::size_t count) {
    while (inbox_.size() < count) {
      std::uint8_t buf[65536];
      OVERLAPPED ov{};
      ov.hEvent = event_;
      ResetEvent(event_);
      DWORD n = 0;
      bool ok = ReadFile(pipe_, buf, sizeof buf, &n, &ov) || GetLastError() == ERROR_IO_PENDING;
      if (ok) ok = Await(ov, n);
      if (!ok || n == 0) {
        // The pipe broke: the helper is gone. Its exit code is the fault that ended it.
        WaitForSingleObject(process_, 2000);
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        Fail(SpiFault::Died, code);
      }
      inbox_.insert(inbox_.end(), buf, buf + n);
    }
  };
  need(spihost::kHeaderSize);
  std::uint8_t head[spihost::kHeaderSize];
  std::copy_n(inbox_.begin(), spihost::kHeaderSize, head);
  std::optional<spihost::Header> h = spihost::ReadHeader(head);
  if (!h) Fail(SpiFault::Garbled, 0);
  need(spihost::kHeaderSize + h->BodySize);
  std::optional<Message> m = spihost::ReadAnswer(*h, inbox_.data() + spihost::kHeaderSize, h->BodySize);
  inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(spihost::kHeaderSize + h->BodySize));
  if (!m) Fail(SpiFault::Garbled, 0);
  return *m;
}
