// The program's printer object: the installed printers, which one is current with its device
// mode, a device context for its metrics and drawing, and the document being printed. It is
// the least a printing program needs from the platform; what the print dialog wants to know
// about printers and paper is asked through the printer-information object on top of it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win/canvas.h"
#include "win/error.h"

// A printer that cannot be opened, or a document the spooler refuses.
class EPrinter : public Exception { using Exception::Exception; };

class TPrinter {
 public:
  TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;
  ~TPrinter();

  // The installed printers' names in the platform's enumeration order, hidden ones included.
  const std::vector<std::wstring>& Printers() const { return printers_; }

  // The current printer's position in Printers: the system's default printer until one is
  // chosen, -1 when there is no printer at all.
  int PrinterIndex();
  // Makes a printer current and builds its device mode (the printer's own defaults).
  void SetPrinterIndex(int index);

  // The current printer's device, driver and port names and its device-mode memory; the
  // handle is null until a printer was chosen by index or through SetPrinter. The handle stays
  // the printer's: callers lock it, never free it.
  void GetPrinter(std::wstring& device, std::wstring& driver, std::wstring& port, HGLOBAL& devMode);
  // Makes the named printer current with the given device mode (the printer setup dialog's
  // answer); the object takes the handle over.
  void SetPrinter(const std::wstring& device, const std::wstring& driver, const std::wstring& port, HGLOBAL devMode);

  // A device context of the current printer and its device mode, made on first use; the one
  // the document is drawn on while printing.
  HDC Handle();
  win::Canvas Canvas() { return win::Canvas(Handle()); }

  // The document: begun with its title and the first page, pages added, ended (the spooler
  // prints it) or aborted (nothing is printed). A refusal of the spooler raises EPrinter.
  std::string Title = "Quiran";
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  int PageNumber() const { return pageNumber_; }

 private:
  void FreeDevMode();
  void FreeDc();
  std::wstring PortOf(const std::wstring& device) const;

  std::vector<std::wstring> printers_;
  int index_ = -1;
  std::wstring device_, port_;
  HGLOBAL devMode_ = nullptr;
  HDC dc_ = nullptr;
  bool printing_ = false, aborted_ = false;
  int pageNumber_ = 0;
};

// The platform's printer enumeration at an information level (4 or 5) with its flags: the
// records in a buffer of exactly the size asked for, and their number. Fails with the
// platform's error when the enumeration itself fails.
std::vector<BYTE> EnumPrinterRecords(DWORD flags, DWORD level, DWORD& count);
// Whether the system is of the Windows NT family (information level 4 is only there).
bool IsWindowsNt();

// The one printer object, made on first use.
TPrinter& Printer();
// Drops the printer object, so that the next Printer() builds it again with the printers
// installed by then. A document being printed keeps its object until it ends.
void DiscardPrinter();
