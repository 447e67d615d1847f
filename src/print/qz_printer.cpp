#include "print/qz_printer.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "print/printer.h"
#include "win/text.h"
#include "win/window.h"

namespace {

TQzPrinter* theQzPrinter = nullptr;

// Device-mode field flags in the order of the capability bits.
constexpr DWORD kCapabilityFields[17] = {
    DM_ORIENTATION, DM_PAPERSIZE, DM_PAPERLENGTH, DM_PAPERWIDTH, DM_SCALE,       DM_COPIES,
    DM_DEFAULTSOURCE, DM_PRINTQUALITY, DM_COLOR, DM_DUPLEX,   DM_YRESOLUTION, DM_TTOPTION,
    DM_COLLATE,     DM_FORMNAME,   DM_LOGPIXELS, 0x08000000,  0x10000000};

// Fixed-width names of a device-capability answer: up to `width` characters each, ending
// early at a zero.
std::vector<std::string> FixedNames(const std::vector<wchar_t>& buffer, int count, int width) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    const wchar_t* s = buffer.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width);
    names.push_back(win::Narrow(std::wstring_view(s, wcsnlen(s, static_cast<std::size_t>(width)))));
  }
  return names;
}

}  // namespace

// The listener for the settings-changed broadcast: a hidden top-level window, because the
// platform sends the broadcast to top-level windows only. The message goes on to its normal
// handling in any case.
class TQzPrinter::Hook : public win::Window {
 public:
  explicit Hook(TQzPrinter& owner) : owner_(owner) {
    CreateArgs a;
    a.text = "QzPrinter";
    a.style = WS_POPUP;
    a.x = a.y = a.width = a.height = 0;
    CreateWindowOf(a);
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_WININICHANGE) owner_.SettingsChanged();
    return Window::HandleMessage(msg, wp, lp);
  }

 private:
  TQzPrinter& owner_;
};

// The current printer as the printer object names it, with its device mode locked for as
// long as this lives.
struct TQzPrinter::Device {
  std::wstring device, driver, port;
  HGLOBAL mode = nullptr;
  DEVMODEW* locked = nullptr;
  Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  Device(Device&& o) noexcept
      : device(std::move(o.device)), driver(std::move(o.driver)), port(std::move(o.port)),
        mode(std::exchange(o.mode, nullptr)), locked(std::exchange(o.locked, nullptr)) {}
  ~Device() {
    if (locked) GlobalUnlock(mode);
  }
  int Ask(WORD what, void* out) const {
    return DeviceCapabilitiesW(device.c_str(), port.c_str(), what, static_cast<wchar_t*>(out), locked);
  }
};

TQzPrinter::Device TQzPrinter::CurrentDevice() {
  Device d;
  Printer().GetPrinter(d.device, d.driver, d.port, d.mode);
  if (!d.mode) {
    // Choosing the current printer again makes the printer object build its device mode.
    Printer().SetPrinterIndex(Printer().PrinterIndex());
    Printer().GetPrinter(d.device, d.driver, d.port, d.mode);
  }
  if (d.mode) d.locked = static_cast<DEVMODEW*>(GlobalLock(d.mode));
  return d;
}

TQzPrinter::TQzPrinter() {
  if (theQzPrinter) throw EQzPrinter("TQzPrinter: the printer information object exists already");
  printers_ = std::make_unique<TQzAllPrintersInfo>();
  // The ports as they are now, so that the first settings-changed broadcast compares with
  // them and not with an empty list.
  GetPortNames();
  hook_ = std::make_unique<Hook>(*this);
  theQzPrinter = this;
}

TQzPrinter::~TQzPrinter() {
  hook_.reset();
  if (theQzPrinter == this) theQzPrinter = nullptr;
}

TQzPrinter& QzPrinter() {
  if (!theQzPrinter) throw EQzPrinter("TQzPrinter: the printer information object does not exist");
  return *theQzPrinter;
}

void TQzPrinter::CheckNoPrinter() {
  for (int i = 0; i < printers_->Count(); ++i)
    if (!printers_->Hidden(i)) return;
  cachedIndex_ = -1;
  throw EQzPrinterNoPrinter("TQzPrinter.CheckNoPrinter: No Printer");
}

int TQzPrinter::GetIndex() {
  CheckNoPrinter();
  const int index = Printer().PrinterIndex();
  if (index == -1) return -1;
  if (index < printers_->Count() && printers_->Hidden(index))
    throw EQzPrinterIllegalIndex("TQzPrinter.GetIndex: Printers.PrinterIndex is Illegal");
  std::wstring device, driver, port;
  HGLOBAL mode = nullptr;
  Printer().GetPrinter(device, driver, port, mode);
  int hiddenBefore = 0;
  for (int i = 0; i < printers_->Count(); ++i) {
    if (device == printers_->Name(i)) return i - hiddenBefore;
    if (printers_->Hidden(i)) ++hiddenBefore;
  }
  throw EQzAssertionFailed("TQzPrinter.GetIndex: the current printer is not in the printer list");
}

const std::vector<std::string>& TQzPrinter::GetPrinterNames() {
  CheckNoPrinter();
  printerNames_.clear();
  for (int i = 0; i < printers_->Count(); ++i)
    if (!printers_->Hidden(i)) printerNames_.push_back(printers_->GetName(i));
  return printerNames_;
}

const std::vector<std::string>& TQzPrinter::GetPortNames() {
  portNames_.clear();
  DWORD need = 0, count = 0;
  EnumPortsW(nullptr, 1, nullptr, 0, &need, &count);
  if (need == 0) return portNames_;
  std::vector<BYTE> buffer(need);
  if (!EnumPortsW(nullptr, 1, buffer.data(), need, &need, &count))
    throw Exception("ポートの一覧を取得できません: " + win::LastErrorText());
  const auto* ports = reinterpret_cast<const PORT_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    std::string name = win::Narrow(ports[i].pName ? ports[i].pName : L"");
    if (std::find(portNames_.begin(), portNames_.end(), name) == portNames_.end()) portNames_.push_back(name);
  }
  return portNames_;
}

std::int16_t TQzPrinter::GetPaperSizeNumber() {
  CheckNoPrinter();
  IsSupported(pcPaperSize, "TQzPrinter.GetPaperSizeNumber: PaperSize is not Supported");
  if (devMode_.empty()) LoadDevMode();
  return DevMode()->dmPaperSize;
}

const std::vector<std::string>& TQzPrinter::GetPaperSizeNames() {
  CheckNoPrinter();
  IsSupported(pcPaperSize, "TQzPrinter.GetPaperSizeNames: PaperSize is not Supported");
  UpdateInfo();
  if (!(flags_ & kPaperInfo)) throw EQzPrinterNoInfo("TQzPrinter.GetPaperSizeNames: No Papersize Info Available");
  return paperNames_;
}

int TQzPrinter::GetPaperSizeIndex() {
  CheckNoPrinter();
  IsSupported(pcPaperSize, "TQzPrinter.GetPaperSizeIndex: PaperSize is not Supported");
  const std::uint16_t code = static_cast<std::uint16_t>(GetPaperSizeNumber());
  UpdateInfo();
  if (!(flags_ & kPaperInfo)) throw EQzPrinterNoInfo("TQzPrinter.GetPaperSizeIndex: No Papersize Info Available");
  for (std::size_t i = 0; i < paperCodes_.size(); ++i)
    if (paperCodes_[i] == code) return static_cast<int>(i);
  throw EQZPrinterPaperSizeError("TQzPrinter.GetPaperSizeIndex: Cannot Get Paper Index");
}

std::uint32_t TQzPrinter::GetCapabilities() {
  CheckNoPrinter();
  if (devMode_.empty()) LoadDevMode();
  std::uint32_t set = 0;
  for (int i = 0; i < 17; ++i)
    if (DevMode()->dmFields & kCapabilityFields[i]) set |= 1u << i;
  return set;
}

// Whether a driver that does not declare a field should be refused is left open: the answer
// is given, and the message kept for the caller that wants to refuse.
bool TQzPrinter::IsSupported(int capability, const std::string&) { return (GetCapabilities() >> capability) & 1; }

SIZE TQzPrinter::GetPhysicalSize() {
  CheckNoPrinter();
  HDC dc = Printer().Handle();
  return {GetDeviceCaps(dc, PHYSICALWIDTH), GetDeviceCaps(dc, PHYSICALHEIGHT)};
}

POINT TQzPrinter::GetPhysicalOffset() {
  CheckNoPrinter();
  HDC dc = Printer().Handle();
  return {GetDeviceCaps(dc, PHYSICALOFFSETX), GetDeviceCaps(dc, PHYSICALOFFSETY)};
}

SIZE TQzPrinter::GetPrintableSize() {
  CheckNoPrinter();
  HDC dc = Printer().Handle();
  return {GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
}

SIZE TQzPrinter::GetResolution() {
  CheckNoPrinter();
  HDC dc = Printer().Handle();
  return {GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
}

void TQzPrinter::LoadDevMode() {
  ClearDevMode();
  Device d = CurrentDevice();
  const SIZE_T size = d.mode ? GlobalSize(d.mode) : 0;
  if (size == 0 || !d.locked) throw EQzAssertionFailed("TQzPrinter.LoadDevMode: the device mode is empty");
  const auto* bytes = reinterpret_cast<const BYTE*>(d.locked);
  devMode_.assign(bytes, bytes + size);
}

void TQzPrinter::ClearDevMode() { devMode_.clear(); }

void TQzPrinter::UpdateInfo() {
  const int index = Printer().PrinterIndex();
  if (index == cachedIndex_) return;
  cachedIndex_ = index;
  GetCapabilities();
  flags_ = 0;
  ++infoLoads_;
  Device d = CurrentDevice();
  LoadPapers(d);
  LoadBins(d);
  LoadResolutions(d);
  const int copies = d.Ask(DC_COPIES, nullptr);
  if (copies > 0) {
    flags_ |= kCopiesInfo;
    maxCopies_ = copies;
  }
}

void TQzPrinter::LoadPapers(const Device& d) {
  paperCodes_.clear();
  paperNames_.clear();
  const int n = d.Ask(DC_PAPERS, nullptr);
  if (n == -1 || n == 0) return;
  flags_ |= kPaperInfo;
  paperCodes_.assign(static_cast<std::size_t>(n), 0);
  std::vector<wchar_t> names(static_cast<std::size_t>(n) * 64);
  d.Ask(DC_PAPERS, paperCodes_.data());
  d.Ask(DC_PAPERNAMES, names.data());
  paperNames_ = FixedNames(names, n, 64);
}

void TQzPrinter::LoadBins(const Device& d) {
  binCodes_.clear();
  binNames_.clear();
  const int n = d.Ask(DC_BINS, nullptr);
  if (n == -1 || n == 0) return;
  flags_ |= kBinInfo;
  binCodes_.assign(static_cast<std::size_t>(n), 0);
  std::vector<wchar_t> names(static_cast<std::size_t>(n) * 24);
  d.Ask(DC_BINS, binCodes_.data());
  d.Ask(DC_BINNAMES, names.data());
  binNames_ = FixedNames(names, n, 24);
}

void TQzPrinter::LoadResolutions(const Device& d) {
  resolutions_.clear();
  const int n = d.Ask(DC_ENUMRESOLUTIONS, nullptr);
  if (n <= 0) return;
  flags_ |= kResolutionInfo;
  std::vector<LONG> pairs(static_cast<std::size_t>(n) * 2);
  if (d.Ask(DC_ENUMRESOLUTIONS, pairs.data()) == -1)
    throw EQzAssertionFailed("TQzPrinter.UpdateInfo: the driver's resolutions cannot be read");
  for (int i = 0; i < n; ++i) resolutions_.push_back({pairs[2 * i], pairs[2 * i + 1]});
}

void TQzPrinter::ResetInfo() {
  ClearDevMode();
  cachedIndex_ = -1;
  UpdateInfo();
}

HDC TQzPrinter::Handle() { return Printer().Handle(); }
win::Canvas TQzPrinter::Canvas() { return Printer().Canvas(); }

void TQzPrinter::BeginDoc(const std::string& title) {
  Printer().Title = title;
  Printer().BeginDoc();
}

void TQzPrinter::NewPage() { Printer().NewPage(); }
void TQzPrinter::EndDoc() { Printer().EndDoc(); }
void TQzPrinter::Abort() { Printer().Abort(); }

void TQzPrinter::SettingsChanged() {
  auto fresh = std::make_unique<TQzAllPrintersInfo>();
  if (!fresh->SameAs(*printers_)) {
    DiscardPrinter();
    printers_ = std::move(fresh);
    cachedIndex_ = -1;
    ClearDevMode();
    if (OnPrintersChange) OnPrintersChange();
    return;
  }
  const std::vector<std::string> before = portNames_;
  GetPortNames();
  if (portNames_ != before && OnPrintersChange) OnPrintersChange();
}
