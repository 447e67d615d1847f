// The printer-information object: which printers exist, which one is current, what paper it
// is set to, the paper's size, printable area and resolution, and the notice that printers
// were installed or removed while the program runs. It sits on top of the program's printer
// object (Printer()) and never selects a printer itself. Exactly one exists, from program
// start to exit; everything else reaches it through QzPrinter().
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "print/qz_all_printers_info.h"
#include "print/qz_printer_errors.h"
#include "win/canvas.h"

class TQzPrinter {
 public:
  // Bits of the capability set: bit i stands for the device-mode field flag in row i.
  enum Capability {
    pcOrientation, pcPaperSize, pcPaperLength, pcPaperWidth, pcScale, pcCopies, pcDefaultSource, pcPrintQuality,
    pcColor, pcDuplex, pcYResolution, pcTTOption, pcCollate, pcFormName, pcLogPixels, pcBitsPerPel, pcPelsWidth
  };
  // Bits of the information flags.
  enum : std::uint8_t { kPaperInfo = 1, kBinInfo = 2, kResolutionInfo = 4, kCopiesInfo = 8 };

  // Takes the printer snapshot and starts listening for the system's settings-changed
  // broadcast. Becomes the object QzPrinter() answers with; only one may exist at a time.
  TQzPrinter();
  TQzPrinter(const TQzPrinter&) = delete;
  TQzPrinter& operator=(const TQzPrinter&) = delete;
  ~TQzPrinter();

  // Fails with EQzPrinterNoPrinter unless a printer that is not hidden is installed.
  void CheckNoPrinter();
  // The current printer's position among the visible printers; -1 when there is none.
  int GetIndex();
  const std::vector<std::string>& GetPrinterNames();
  const std::vector<std::string>& GetPortNames();
  std::int16_t GetPaperSizeNumber();
  const std::vector<std::string>& GetPaperSizeNames();
  int GetPaperSizeIndex();
  std::uint32_t GetCapabilities();
  bool IsSupported(int capability, const std::string& message);
  // Metrics of the current printer's device context, in dots.
  SIZE GetPhysicalSize();
  POINT GetPhysicalOffset();
  SIZE GetPrintableSize();
  SIZE GetResolution();  // dots per inch, horizontally and vertically

  void LoadDevMode();
  void ClearDevMode();
  void UpdateInfo();
  void ResetInfo();

  // The printer object's device context and canvas, and its document.
  HDC Handle();
  win::Canvas Canvas();
  void BeginDoc(const std::string& title);
  void NewPage();
  void EndDoc();
  void Abort();

  // Fired when printers or ports change.
  std::function<void()> OnPrintersChange;

  // What the platform's settings-changed broadcast makes the object do: notice new, removed or
  // changed printers and ports.
  void SettingsChanged();

  // The loaded driver information and state, for the print dialog and tests.
  const std::vector<std::uint16_t>& PaperCodes() const { return paperCodes_; }
  const std::vector<std::uint16_t>& BinCodes() const { return binCodes_; }
  const std::vector<std::string>& BinNames() const { return binNames_; }
  const std::vector<POINT>& Resolutions() const { return resolutions_; }
  int MaxCopies() const { return maxCopies_; }
  std::uint8_t InfoFlags() const { return flags_; }
  int CachedIndex() const { return cachedIndex_; }
  const TQzAllPrintersInfo& Printers() const { return *printers_; }
  const DEVMODEW* DevMode() const { return reinterpret_cast<const DEVMODEW*>(devMode_.data()); }
  // How often the driver was asked for its lists (UpdateInfo found a new printer index).
  int InfoLoads() const { return infoLoads_; }

 private:
  class Hook;
  struct Device;
  Device CurrentDevice();
  void LoadPapers(const Device& d);
  void LoadBins(const Device& d);
  void LoadResolutions(const Device& d);

  std::unique_ptr<TQzAllPrintersInfo> printers_;
  std::vector<std::uint16_t> paperCodes_;
  std::vector<std::string> paperNames_;
  std::vector<std::uint16_t> binCodes_;
  std::vector<std::string> binNames_;
  std::vector<POINT> resolutions_;
  std::vector<std::string> printerNames_;
  std::vector<std::string> portNames_;
  int maxCopies_ = 0;
  int cachedIndex_ = -1;
  std::uint8_t flags_ = 0;
  std::vector<BYTE> devMode_;  // empty: no copy taken
  int infoLoads_ = 0;
  std::unique_ptr<Hook> hook_;
};

// The one printer-information object.
TQzPrinter& QzPrinter();
