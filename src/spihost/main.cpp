// QuiranSpiHost: runs image plug-ins for Quiran in a process of its own, so that a plug-in
// that faults, corrupts memory or never returns takes down only this helper.
//
// Quiran starts it with the helper's end of a pipe (inherited) on the command line, and then
// asks one request at a time (spihost/protocol.h). A large file the plug-in reads itself, by
// name; other file bytes, and every picture (as the BMP file image Quiran reads), pass through
// a block of memory Quiran shares with it. A plug-in that faults inside a call, or leaves a
// heap damaged behind, is reported with its fault code, and the helper ends at once: its
// memory is no longer to be trusted. When Quiran goes, the pipe breaks and the helper ends.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/dib_file.h"
#include "imaging/fault_guard.h"
#include "imaging/spi_module.h"
#include "spihost/protocol.h"
#include "win/error.h"

using spihost::Message;
using spihost::Msg;

namespace {

HANDLE pipe = nullptr;

[[noreturn]] void End(DWORD code) {
  // No library is let go on the way out: a plug-in's clean-up could hang or fault too.
  TerminateProcess(GetCurrentProcess(), code);
  for (;;) Sleep(INFINITE);
}

// A fault outside any plug-in call (the helper's own, or one a plug-in caused that surfaced
// later) ends the helper without a dialog; Quiran learns of it from the broken pipe.
LONG WINAPI LastResort(EXCEPTION_POINTERS* ep) { End(ep->ExceptionRecord->ExceptionCode); }

void Send(const Message& m) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = spihost::Encode(m);
  } catch (...) {
    End(ERROR_NOT_ENOUGH_MEMORY);
  }
  DWORD n = 0;
  if (!WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) || n != bytes.size()) End(0);
}

bool ReadExact(void* buffer, std::size_t count) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (count) {
    DWORD n = 0;
    if (!ReadFile(pipe, p, static_cast<DWORD>(count), &n, nullptr) || n == 0) return false;
    p += n, count -= n;
  }
  return true;
}

// The next request; the helper ends when the pipe breaks (Quiran is gone) or a request
// cannot be read (nothing said afterwards could be trusted to mean what it seems).
Message Receive() {
  std::uint8_t head[spihost::kHeaderSize];
  if (!ReadExact(head, sizeof head)) End(0);
  std::optional<spihost::Header> h = spihost::ReadHeader(head);
  if (!h) End(ERROR_INVALID_DATA);
  std::vector<std::uint8_t> body(h->BodySize);
  if (!ReadExact(body.data(), body.size())) End(0);
  std::optional<Message> m = spihost::ReadRequest(*h, body.data(), body.size());
  if (!m) End(ERROR_INVALID_DATA);
  return *m;
}

// After plug-in code ran: a heap it damaged and returned from would fail later, in a call of
// another plug-in or of the helper itself. Better to know now whose it was.
void CheckHeaps() {
  HANDLE heaps[256];
  DWORD n = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < n && i < 256; ++i)
    if (!HeapValidate(heaps[i], 0, nullptr)) {
      Message fault{Msg::Fault};
      fault.Code = spihost::kHeapDamaged;
      Send(fault);
      End(spihost::kHeapDamaged);
    }
}

// The block shared with Quiran.
struct Shared {
  HANDLE Mapping = nullptr;
  std::uint8_t* View = nullptr;
  std::uint64_t Size = 0;
} shared;

#ifdef _WIN64
// Some 64-bit plug-ins keep the addresses they are given in 32-bit values: they work only where
// their data happens to lie below 4 GB. So the 64-bit helper reserves, at start, a region below
// 2 GB (or 4 GB): the argument area (the records plug-ins fill, the texts they are given, their
// progress callback's stub), then room where the shared block is mapped.
class LowRegion {
 public:
  static constexpr std::size_t kArguments = 192 * 1024;  // whole 64 KB units: a view may follow
  static constexpr std::size_t kCode = LocalSpiModule::kArgumentBytes;  // the code page's offset

  void Reserve() {
    for (std::uint64_t limit : {std::uint64_t{0x80000000}, std::uint64_t{0x100000000}})
      for (std::size_t size = std::size_t{1} << 30; size >= (std::size_t{64} << 20); size /= 2)
        if (ReserveBelow(limit, size)) return;
  }
  bool Ready() const { return base_ != nullptr; }
  std::uint8_t* Arguments() const { return base_; }
  std::uint8_t* ViewAt() const { return base_ + kArguments; }
  std::size_t ViewRoom() const { return size_ - kArguments; }
  // The room for views, reserved again after a view of this size (0: none).
  void ReserveRoom(std::uint64_t viewSize) {
    const std::uint64_t used = (viewSize + 0xFFFF) / 0x10000 * 0x10000;
    if (used < ViewRoom()) VirtualAlloc(ViewAt() + used, ViewRoom() - used, MEM_RESERVE, PAGE_NOACCESS);
  }
  void ReleaseRoom(std::uint64_t viewSize) {
    const std::uint64_t used = (viewSize + 0xFFFF) / 0x10000 * 0x10000;
    if (used < ViewRoom()) VirtualFree(ViewAt() + used, 0, MEM_RELEASE);
  }

 private:
  // Claims the first free stretch of this size below the limit.
  bool ReserveBelow(std::uint64_t limit, std::size_t size) {
    std::uintptr_t at = 0x10000;
    MEMORY_BASIC_INFORMATION m;
    while (at + size <= limit && VirtualQuery(reinterpret_cast<void*>(at), &m, sizeof m)) {
      const auto region = reinterpret_cast<std::uintptr_t>(m.BaseAddress);
      const std::uintptr_t from = (region + 0xFFFF) / 0x10000 * 0x10000;
      if (m.State == MEM_FREE && from + size <= region + m.RegionSize && from + size <= limit) {
        auto* base = static_cast<std::uint8_t*>(
            VirtualAlloc(reinterpret_cast<void*>(from), kArguments, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!base) return false;
        if (!VirtualAlloc(base + kArguments, size - kArguments, MEM_RESERVE, PAGE_NOACCESS)) {
          VirtualFree(base, 0, MEM_RELEASE);
          return false;
        }
        base_ = base;
        size_ = size;
        LocalSpiModule::SetArgumentArea(base_, base_ + kCode);
        return true;
      }
      at = region + m.RegionSize;
    }
    return false;
  }

  std::uint8_t* base_ = nullptr;
  std::size_t size_ = 0;
} low;
#endif

// Maps Quiran's new block in place of the old one, which goes only once the new one is mapped;
// false, the old one still in use, when the new one cannot be mapped.
bool MapShared(HANDLE handle, std::uint64_t size) {
#ifdef SPIHOST_MAP_LIMIT
  if (size > SPIHOST_MAP_LIMIT) return false;  // the tests' stand-in for a helper short of room
#endif
  if (size > SIZE_MAX) return false;
#ifdef _WIN64
  if (low.Ready()) {
    // One view at a time fits the region: the old one makes way, and comes back on failure.
    if (size > low.ViewRoom()) return false;
    low.ReleaseRoom(shared.View ? shared.Size : 0);
    if (shared.View) UnmapViewOfFile(shared.View);
    void* view = MapViewOfFileEx(handle, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(size), low.ViewAt());
    if (!view) {
      if (shared.View)
        shared.View = static_cast<std::uint8_t*>(
            MapViewOfFileEx(shared.Mapping, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(shared.Size), low.ViewAt()));
      low.ReserveRoom(shared.View ? shared.Size : 0);
      return false;
    }
    low.ReserveRoom(size);
    if (shared.Mapping) CloseHandle(shared.Mapping);
    shared = {handle, static_cast<std::uint8_t*>(view), size};
    return true;
  }
#endif
  void* view = MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(size));
  if (!view) return false;
  if (shared.View) UnmapViewOfFile(shared.View);
  if (shared.Mapping) CloseHandle(shared.Mapping);
  shared = {handle, static_cast<std::uint8_t*>(view), size};
  return true;
}

// The data a request names: within the shared block, with the 2048 bytes a plug-in may read;
// or the file the plug-in reads itself, whose first 2048 bytes are in the shared block.
SpiData DataAt(std::uint64_t offset, std::uint64_t length, const std::string& file = {}, std::uint64_t fileOffset = 0) {
  const std::uint64_t readable = file.empty() && length > spihost::kPaddedSize ? length : spihost::kPaddedSize;
  if (!shared.View || !spihost::Within(offset, readable, shared.Size)) End(ERROR_INVALID_DATA);
  SpiData d{shared.View + offset, static_cast<std::size_t>(length)};
  if (!file.empty()) d.File = file.c_str(), d.Offset = fileOffset;
  return d;
}

// Progress during GetPicture: passed on and its answer awaited when Quiran listens; otherwise
// answered here, with a sign of life now and then so Quiran knows the plug-in is working.
struct {
  bool Listened = false;
  DWORD LastSign = 0;
} progress;
constexpr DWORD kSignOfLife = 100;

int WINAPI Progress(int done, int total, LONG_PTR) {
  fault_guard::Unguarded own;  // the helper's own code from here on
  try {
    Message report{Msg::Progress};
    report.Value = done;
    report.Total = total;
    if (progress.Listened) {
      report.Flag = 1;
      Send(report);
      Message answer = Receive();
      if (answer.Type != Msg::ProgressAnswer) End(ERROR_INVALID_DATA);
      return answer.Value;
    }
    const DWORD now = GetTickCount();
    if (now - progress.LastSign >= kSignOfLife) {
      progress.LastSign = now;
      Send(report);
    }
    return 0;
  } catch (...) {
    End(ERROR_NOT_ENOUGH_MEMORY);  // nothing may unwind through the plug-in's frames
  }
}

class Helper {
 public:
  void Serve(const Message& r);

 private:
  LocalSpiModule& Module(std::uint32_t id) {
    auto it = modules_.find(id);
    if (it == modules_.end()) End(ERROR_INVALID_DATA);
    return *it->second;
  }

  std::map<std::uint32_t, std::unique_ptr<LocalSpiModule>> modules_;
  std::uint32_t nextId_ = 1;
  std::unique_ptr<SpiPicture> picture_;  // GetPicture's output, until Quiran fetches it
  DibFileLayout layout_{};                // the BMP file image it becomes
};

void Helper::Serve(const Message& r) {
  Message a;
  switch (r.Type) {
    case Msg::Hello:
      a.Type = Msg::HelloAnswer;
      a.Magic = spihost::kMagic;
      a.Version = spihost::kVersion;
      a.PointerBits = sizeof(void*) * 8;
      a.ProcessId = GetCurrentProcessId();
      break;
    case Msg::Map: {
      // Quiran put the block's handle into this process.
      auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(r.Handle));
      a.Type = Msg::Result;
      a.Value = MapShared(handle, r.Size) ? 1 : 0;
      if (!a.Value) CloseHandle(handle);
      break;
    }
    case Msg::Load: {
      std::unique_ptr<LocalSpiModule> m = LocalSpiModule::Open(r.Text);
      CheckHeaps();
      if (!m) {
        a.Type = Msg::LoadFailed;
        break;
      }
      a.Type = Msg::Loaded;
      a.Id = nextId_++;
      a.Entries = m->Entries();
      a.Text = m->FileName();
      modules_[a.Id] = std::move(m);
      break;
    }
    case Msg::Unload:
      modules_.erase(r.Id);
      CheckHeaps();
      a.Type = Msg::Done;
      break;
    case Msg::PluginInfo: {
      LocalSpiModule& m = Module(r.Id);
      if (!m.Has(kGetPluginInfo)) End(ERROR_INVALID_DATA);
      // Room past the announced length for plug-ins that write a byte or more beyond it.
      std::vector<char> buffer(static_cast<std::size_t>(r.Total) + 257, 0);
      a.Type = Msg::PluginInfoAnswer;
      a.Value = m.GetPluginInfo(r.Value, buffer.data(), r.Total);
      CheckHeaps();
      a.Text.assign(buffer.data(), strnlen(buffer.data(), static_cast<std::size_t>(r.Total) + 1));
      break;
    }
    case Msg::IsSupported: {
      LocalSpiModule& m = Module(r.Id);
      if (!m.Has(kIsSupported)) End(ERROR_INVALID_DATA);
      a.Type = Msg::Result;
      a.Value = m.IsSupported(r.Text.c_str(), DataAt(r.Offset, 0));
      CheckHeaps();
      break;
    }
    case Msg::GetPictureInfo: {
      LocalSpiModule& m = Module(r.Id);
      if (!m.Has(kGetPictureInfo)) End(ERROR_INVALID_DATA);
      SpiPictureFacts facts;
      a.Type = Msg::PictureInfoAnswer;
      a.Value = m.GetPictureInfo(DataAt(r.Offset, r.Length, r.Text, r.FileOffset), facts);
      CheckHeaps();
      if (a.Value == 0) {
        const TInfoRecordFields& f = facts.Fields;
        a.Left = f.Left, a.Top = f.Top, a.Width = f.Width, a.Height = f.Height;
        a.XDensity = f.XDensity, a.YDensity = f.YDensity, a.ColorDepth = f.ColorDepth;
        // The protocol's texts end at their first zero byte and have a limit.
        a.Text = facts.Text.substr(0, std::min(facts.Text.find('\0'), spihost::kMaxInfoText));
      }
      break;
    }
    case Msg::GetPicture: {
      LocalSpiModule& m = Module(r.Id);
      if (!m.Has(kGetPicture)) End(ERROR_INVALID_DATA);
      picture_.reset();
      progress.Listened = r.Flag != 0;
      progress.LastSign = GetTickCount();
      a.Type = Msg::PictureAnswer;
      a.Value = m.GetPicture(DataAt(r.Offset, r.Length, r.Text, r.FileOffset), &Progress, 0, progress.Listened, picture_);
      // The output goes to Quiran as the BMP file image Quiran reads: laid out here, so that it
      // is copied once, into the shared block. Output that makes no such image, or one larger
      // than a picture can be, is as good as none.
      if (a.Value == 0 && picture_) {
        try {
          layout_ = LayOutDibFile(picture_->Info(), picture_->InfoSize(), picture_->BitsSize(), picture_->Bits() != nullptr);
          if (layout_.HeadSize <= spihost::kMaxInfoBlock && layout_.ImageSize <= spihost::kMaxBitsBlock) {
            a.Flag = 1;
            a.InfoSize = layout_.HeadSize;
            a.BitsSize = layout_.ImageSize;
          }
        } catch (const EInvalidGraphic&) {
        }
      }
#ifdef SPIHOST_LIAR
      // The tests' lying helper: of a picture taller than 100 rows it announces the largest sizes
      // the protocol lets through; of any other, half the rows its header claims, and it hands
      // over only those.
      if (a.Flag && std::abs(static_cast<std::int32_t>(picture_->Info()[8] | picture_->Info()[9] << 8 |
                                                       picture_->Info()[10] << 16 | picture_->Info()[11] << 24)) > 100) {
        a.InfoSize = spihost::kMaxInfoBlock, a.BitsSize = spihost::kMaxBitsBlock;
      } else if (a.Flag) {
        layout_.ImageSize /= 2;
        a.BitsSize = layout_.ImageSize;
      }
#endif
      if (!a.Flag) picture_.reset();
      // With a picture handed over, the heaps are checked once it is fetched and its blocks are
      // freed (Quiran always fetches before it asks anything else): checking them while the
      // picture's large block is still allocated costs more.
      if (!a.Flag) CheckHeaps();
      break;
    }
    case Msg::Fetch:
      if (r.Flag && picture_) {
        if (!shared.View || !spihost::Within(r.InfoOffset, layout_.HeadSize, shared.Size) ||
            !spihost::Within(r.BitsOffset, layout_.ImageSize, shared.Size))
          End(ERROR_INVALID_DATA);
        WriteDibFile(layout_, picture_->Info(), picture_->Bits(), shared.View + r.InfoOffset, shared.View + r.BitsOffset);
      }
      picture_.reset();  // the plug-in's blocks are freed
      CheckHeaps();
      a.Type = Msg::Done;
      break;
    default:
      End(ERROR_INVALID_DATA);
  }
  Send(a);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command, int) {
  // No dialog of the system's may ever wait for a user here.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(&LastResort);
  pipe = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(_wcstoui64(command, nullptr, 10)));
  if (!pipe) return 2;
#ifdef _WIN64
  low.Reserve();  // before any plug-in is loaded
#endif
  Helper helper;
  for (;;) {
    Message request = Receive();
    try {
      helper.Serve(request);
    } catch (const SpiFault& fault) {
      Message answer{Msg::Fault};
      answer.Code = static_cast<std::uint32_t>(fault.Code());
      Send(answer);
      End(answer.Code);
    } catch (...) {
      End(ERROR_NOT_ENOUGH_MEMORY);  // the helper's own allocations failed
    }
  }
}
