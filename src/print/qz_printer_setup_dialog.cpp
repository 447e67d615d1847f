#include "print/qz_printer_setup_dialog.h"

#include <cstring>
#include <string>

#include "print/printer.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/error.h"

namespace {

// A global memory block owned by its scope unless released.
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL h = nullptr) : h_(h) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (h_) GlobalFree(h_);
  }
  HGLOBAL Get() const { return h_; }
  HGLOBAL Release() {
    HGLOBAL h = h_;
    h_ = nullptr;
    return h;
  }

 private:
  HGLOBAL h_;
};

// A copy of a device-mode block for the dialog, which may replace or free what it is given.
HGLOBAL CopyBlock(HGLOBAL source) {
  if (!source) return nullptr;
  const SIZE_T size = GlobalSize(source);
  HGLOBAL copy = GlobalAlloc(GHND, size);
  if (!copy) throw Exception("メモリが足りません");
  std::memcpy(GlobalLock(copy), GlobalLock(source), size);
  GlobalUnlock(source);
  GlobalUnlock(copy);
  return copy;
}

// The DEVNAMES block naming driver, device and port, as the dialog takes and gives them.
HGLOBAL MakeDevNames(const std::wstring& driver, const std::wstring& device, const std::wstring& port) {
  const std::size_t chars = driver.size() + device.size() + port.size() + 3;
  HGLOBAL h = GlobalAlloc(GHND, sizeof(DEVNAMES) + chars * sizeof(wchar_t));
  if (!h) throw Exception("メモリが足りません");
  auto* names = static_cast<DEVNAMES*>(GlobalLock(h));
  auto* text = reinterpret_cast<wchar_t*>(names);
  WORD at = sizeof(DEVNAMES) / sizeof(wchar_t);
  for (auto [offset, value] : {std::pair{&names->wDriverOffset, &driver}, std::pair{&names->wDeviceOffset, &device},
                               std::pair{&names->wOutputOffset, &port}}) {
    *offset = at;
    std::memcpy(text + at, value->c_str(), (value->size() + 1) * sizeof(wchar_t));
    at = static_cast<WORD>(at + value->size() + 1);
  }
  GlobalUnlock(h);
  return h;
}

std::wstring DevName(const DEVNAMES* names, WORD offset) {
  return reinterpret_cast<const wchar_t*>(names) + offset;
}

}  // namespace

bool TQzPrinterSetupDialog::Execute(HWND owner) {
  std::wstring device, driver, port;
  HGLOBAL mode = nullptr;
  Printer().GetPrinter(device, driver, port, mode);
  GlobalBlock devMode(CopyBlock(mode)), devNames(MakeDevNames(driver, device, port));

  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner ? owner : win::Application::MainWindow();
  pd.hDevMode = devMode.Release();
  pd.hDevNames = devNames.Release();
  pd.Flags = PD_PRINTSETUP;
  const bool confirmed = win::CurrentDialogs().PrinterSetup(pd);
  GlobalBlock answerMode(pd.hDevMode), answerNames(pd.hDevNames);
  if (!confirmed) return false;

  if (answerNames.Get()) {
    const auto* names = static_cast<const DEVNAMES*>(GlobalLock(answerNames.Get()));
    device = DevName(names, names->wDeviceOffset);
    driver = DevName(names, names->wDriverOffset);
    port = DevName(names, names->wOutputOffset);
    GlobalUnlock(answerNames.Get());
  }
  Printer().SetPrinter(device, driver, port, answerMode.Release());
  QzPrinter().ResetInfo();
  return true;
}
