#include "print/printer.h"

#include <winspool.h>

#include <cstring>
#include <memory>

#include "win/text.h"

namespace {

std::unique_ptr<TPrinter> thePrinter;
bool discardPending = false;

// An open printer handle, closed with its scope.
class PrinterHandle {
 public:
  explicit PrinterHandle(const std::wstring& name) {
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h_, nullptr)) h_ = nullptr;
  }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;
  ~PrinterHandle() {
    if (h_) ClosePrinter(h_);
  }
  HANDLE Get() const { return h_; }

 private:
  HANDLE h_ = nullptr;
};

[[noreturn]] void Fail(const std::string& what) { throw EPrinter(what + ": " + win::LastErrorText()); }

}  // namespace

bool IsWindowsNt() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&vi)) return true;
#pragma GCC diagnostic pop
  return vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::vector<BYTE> EnumPrinterRecords(DWORD flags, DWORD level, DWORD& count) {
  DWORD need = 0;
  count = 0;
  EnumPrintersW(flags, nullptr, level, nullptr, 0, &need, &count);
  count = 0;
  std::vector<BYTE> buffer(need);
  if (need != 0 && !EnumPrintersW(flags, nullptr, level, buffer.data(), need, &need, &count))
    throw Exception("プリンターの一覧を取得できません: " + win::LastErrorText());
  return buffer;
}

TPrinter::TPrinter() {
  // The same enumeration the printer-information object takes its snapshot with, so that a
  // position in one is the same printer in the other.
  const bool nt = IsWindowsNt();
  const DWORD level = nt ? 4 : 5;
  DWORD count = 0;
  std::vector<BYTE> records =
      EnumPrinterRecords(nt ? PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS : PRINTER_ENUM_LOCAL, level, count);
  for (DWORD i = 0; i < count; ++i) {
    const wchar_t* name = level == 4 ? reinterpret_cast<const PRINTER_INFO_4W*>(records.data())[i].pPrinterName
                                     : reinterpret_cast<const PRINTER_INFO_5W*>(records.data())[i].pPrinterName;
    printers_.push_back(name ? name : L"");
  }
}

TPrinter::~TPrinter() {
  if (printing_ && dc_) AbortDoc(dc_);
  FreeDc();
  FreeDevMode();
}

void TPrinter::FreeDevMode() {
  if (devMode_) GlobalFree(devMode_);
  devMode_ = nullptr;
}

void TPrinter::FreeDc() {
  if (dc_) DeleteDC(dc_);
  dc_ = nullptr;
}

int TPrinter::PrinterIndex() {
  if (index_ == -1 && !printers_.empty()) {
    // The system's default printer, without building its device mode yet.
    wchar_t name[512] = {};
    DWORD size = 512;
    int found = 0;
    if (GetDefaultPrinterW(name, &size))
      for (std::size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i] == name) {
          found = static_cast<int>(i);
          break;
        }
    index_ = found;
    device_ = printers_[static_cast<std::size_t>(found)];
    port_ = PortOf(device_);
  }
  return index_;
}

std::wstring TPrinter::PortOf(const std::wstring& device) const {
  PrinterHandle h(device);
  if (!h.Get()) return L"";
  DWORD need = 0;
  ::GetPrinterW(h.Get(), 2, nullptr, 0, &need);
  std::vector<BYTE> info(need);
  if (need == 0 || !::GetPrinterW(h.Get(), 2, info.data(), need, &need)) return L"";
  const wchar_t* port = reinterpret_cast<const PRINTER_INFO_2W*>(info.data())->pPortName;
  return port ? port : L"";
}

void TPrinter::SetPrinterIndex(int index) {
  if (printing_) throw EPrinter("印刷中はプリンターを変更できません");
  if (index == -1) {
    index_ = -1;
    index = PrinterIndex();
    if (index == -1) return;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= printers_.size()) throw EPrinter("プリンターの番号が正しくありません");
  const std::wstring& device = printers_[static_cast<std::size_t>(index)];
  PrinterHandle h(device);
  if (!h.Get()) Fail("プリンターを開けません");
  // The printer's own default settings as its device mode.
  wchar_t* name = const_cast<wchar_t*>(device.c_str());
  LONG size = DocumentPropertiesW(nullptr, h.Get(), name, nullptr, nullptr, 0);
  if (size <= 0) Fail("プリンターの設定を取得できません");
  HGLOBAL mode = GlobalAlloc(GHND, static_cast<SIZE_T>(size));
  if (!mode) Fail("プリンターの設定を取得できません");
  auto* dm = static_cast<DEVMODEW*>(GlobalLock(mode));
  LONG got = DocumentPropertiesW(nullptr, h.Get(), name, dm, nullptr, DM_OUT_BUFFER);
  GlobalUnlock(mode);
  if (got < 0) {
    GlobalFree(mode);
    Fail("プリンターの設定を取得できません");
  }
  FreeDc();
  FreeDevMode();
  devMode_ = mode;
  index_ = index;
  device_ = device;
  port_ = PortOf(device);
}

void TPrinter::GetPrinter(std::wstring& device, std::wstring& driver, std::wstring& port, HGLOBAL& devMode) {
  PrinterIndex();
  device = device_;
  driver = L"WINSPOOL";
  port = port_;
  devMode = devMode_;
}

void TPrinter::SetPrinter(const std::wstring& device, const std::wstring& driver, const std::wstring& port,
                          HGLOBAL devMode) {
  if (printing_) throw EPrinter("印刷中はプリンターを変更できません");
  int found = -1;
  for (std::size_t i = 0; i < printers_.size(); ++i)
    if (printers_[i] == device) {
      found = static_cast<int>(i);
      break;
    }
  if (found < 0) {
    // A printer installed since the list was made: it joins the list.
    printers_.push_back(device);
    found = static_cast<int>(printers_.size()) - 1;
  }
  FreeDc();
  FreeDevMode();
  devMode_ = devMode;
  index_ = found;
  device_ = device;
  port_ = port.empty() ? PortOf(device) : port;
}

HDC TPrinter::Handle() {
  if (dc_) return dc_;
  if (PrinterIndex() < 0) throw EPrinter("プリンターがありません");
  const DEVMODEW* mode = devMode_ ? static_cast<const DEVMODEW*>(GlobalLock(devMode_)) : nullptr;
  dc_ = CreateDCW(L"WINSPOOL", device_.c_str(), nullptr, mode);
  if (devMode_) GlobalUnlock(devMode_);
  if (!dc_) Fail("プリンターのデバイスコンテキストを作成できません");
  return dc_;
}

void TPrinter::BeginDoc() {
  if (printing_) throw EPrinter("印刷中です");
  HDC dc = Handle();
  std::wstring title = win::Wide(Title);
  DOCINFOW di{};
  di.cbSize = sizeof di;
  di.lpszDocName = title.c_str();
  if (StartDocW(dc, &di) <= 0) {
    std::string why = win::LastErrorText();
    FreeDc();
    throw EPrinter("印刷を開始できません: " + why);
  }
  printing_ = true;
  aborted_ = false;
  pageNumber_ = 1;
  if (StartPage(dc) <= 0) {
    std::string why = win::LastErrorText();
    Abort();
    throw EPrinter("ページを開始できません: " + why);
  }
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter("印刷中ではありません");
  if (EndPage(dc_) <= 0 || StartPage(dc_) <= 0) throw EPrinter("ページを印刷できません: " + win::LastErrorText());
  ++pageNumber_;
}

void TPrinter::EndDoc() {
  if (!printing_) return;
  const bool pageOk = EndPage(dc_) > 0;
  const bool docOk = pageOk && ::EndDoc(dc_) > 0;
  std::string why = docOk ? std::string() : win::LastErrorText();
  if (!docOk) AbortDoc(dc_);
  printing_ = false;
  FreeDc();  // the next document starts on a fresh device context
  if (!docOk) throw EPrinter("印刷を終了できません: " + why);
}

void TPrinter::Abort() {
  if (!printing_) return;
  AbortDoc(dc_);
  printing_ = false;
  aborted_ = true;
  FreeDc();
}

TPrinter& Printer() {
  if (discardPending && thePrinter && !thePrinter->Printing()) {
    thePrinter.reset();
    discardPending = false;
  }
  if (!thePrinter) thePrinter = std::make_unique<TPrinter>();
  return *thePrinter;
}

void DiscardPrinter() {
  if (thePrinter && thePrinter->Printing())
    discardPending = true;
  else
    thePrinter.reset();
}
