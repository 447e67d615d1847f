// For the printing tests: the real PDF printer (a CUPS queue "PDF" with cups-pdf, which Wine
// lists as a Windows printer), its documents turned into pictures with pdftoppm, and printers
// added or hidden for a test and put back afterwards.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "album/album_file.h"
#include "print/printer.h"
#include "win/pixel_buffer.h"
#include "win/text.h"

namespace printtest {

inline const wchar_t kPdfPrinter[] = L"PDF";

// An album's folder list with these paths.
inline TFolderList FolderList(const std::vector<std::string>& paths) {
  TFolderList list;
  for (const std::string& p : paths) list.push_back({p, std::make_unique<TFolderRecord>()});
  return list;
}

// Makes the PDF printer the program printer's current one; fails the test loudly when Wine
// does not list it (scripts/setup starts cupsd and adds the queue).
inline void UsePdfPrinter() {
  DiscardPrinter();
  const auto& names = Printer().Printers();
  auto it = std::find(names.begin(), names.end(), std::wstring(kPdfPrinter));
  ASSERT_NE(it, names.end()) << "Wine does not list the CUPS printer \"PDF\": is cupsd running with the cups-pdf "
                                "queue (scripts/setup), and is the 64-bit libcups2 installed?";
  Printer().SetPrinterIndex(static_cast<int>(it - names.begin()));
}

// A document title no other test or test run uses; cups-pdf names its file after it.
inline std::string UniqueTitle() {
  static const unsigned long start = GetTickCount();
  static int serial = 0;
  return "QuiranTest" + std::to_string(GetCurrentProcessId()) + "t" + std::to_string(start) + "x" +
         std::to_string(++serial) + "z";
}

// The Unix path of a Windows path (Wine's own conversion).
inline std::string UnixPath(const std::string& path) {
  using Fn = char*(CDECL*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return {};
  char* unix = fn(win::Wide(path).c_str());
  if (!unix) return {};
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// Where cups-pdf puts its documents: ~/PDF of the user who printed (Wine gives the Unix home
// in WINEHOMEDIR, as \??\Z:\root).
inline std::string PdfFolder() {
  wchar_t home[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"WINEHOMEDIR", home, MAX_PATH)) return {};
  std::string dir = win::Narrow(home);
  if (dir.rfind("\\??\\", 0) == 0) dir.erase(0, 4);
  return dir + "\\PDF";
}

// The documents in the PDF folder whose name is the title followed by cups-pdf's additions.
inline std::vector<std::string> PdfFiles(const std::string& title) {
  std::vector<std::string> out;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(win::Wide(PdfFolder() + "\\*.pdf").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    std::string name = win::Narrow(fd.cFileName);
    if (name.size() > title.size() && name.compare(0, title.size(), title) == 0 &&
        (name[title.size()] == '_' || name[title.size()] == '-'))
      out.push_back(PdfFolder() + "\\" + name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

inline std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExW(win::Wide(path).c_str(), GetFileExInfoStandard, &a)) return 0;
  return (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// Waits for the title's document to arrive whole (CUPS and Ghostscript take a few seconds),
// leaving out the documents listed in before; empty when none comes within the time.
inline std::string WaitForPdf(const std::string& title, DWORD timeoutMs = 90000,
                              const std::vector<std::string>& before = {}) {
  const DWORD start = GetTickCount();
  std::string file;
  std::uint64_t lastSize = 0;
  int steady = 0;
  while (GetTickCount() - start < timeoutMs) {
    for (const std::string& f : PdfFiles(title))
      if (std::find(before.begin(), before.end(), f) == before.end()) file = f;
    if (!file.empty()) {
      const std::uint64_t size = FileSize(file);
      steady = size > 0 && size == lastSize ? steady + 1 : 0;
      lastSize = size;
      if (steady >= 3) return file;
    }
    Sleep(200);
  }
  return {};
}

// True when no document of the title arrives within the time (a cancelled print).
inline bool NoPdfArrives(const std::string& title, DWORD waitMs = 8000) {
  Sleep(waitMs);
  return PdfFiles(title).empty();
}

inline void RemovePdfs(const std::string& title) {
  for (const std::string& f : PdfFiles(title)) DeleteFileW(win::Wide(f).c_str());
}

// Runs a shell command line of Linux programs (Wine starts a Unix program as itself) and
// waits until it has finished. Wine hands the command line over in the Windows code page and
// cannot wait for a Unix process, so paths must be ASCII and the end is seen by a marker file
// the shell makes last, in folder.
inline bool RunUnix(const std::string& command, const std::string& folder) {
  const std::string marker = folder + "\\done";
  std::wstring cmd = win::Wide("/bin/sh -c \"" + command + "; touch '" + UnixPath(marker) + "'\"");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  const std::wstring wmarker = win::Wide(marker);
  for (int i = 0; i < 1200 && GetFileAttributesW(wmarker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  return DeleteFileW(wmarker.c_str()) != FALSE;
}

// A binary PPM (P6) as 24-bit pixels.
inline PixelBuffer ReadPpm(const std::string& path) {
  HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::vector<unsigned char> bytes(GetFileSize(h, nullptr));
  DWORD n = 0;
  ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
  std::size_t pos = 0;
  auto token = [&]() {
    while (pos < bytes.size() && (isspace(bytes[pos]) || bytes[pos] == '#')) {
      if (bytes[pos] == '#')
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      else
        ++pos;
    }
    std::string t;
    while (pos < bytes.size() && !isspace(bytes[pos])) t += static_cast<char>(bytes[pos++]);
    return t;
  };
  if (token() != "P6") return {};
  const int w = std::stoi(token()), h2 = std::stoi(token());
  token();
  ++pos;
  PixelBuffer out(w, h2);
  for (int y = 0; y < h2; ++y)
    for (int x = 0; x < w && pos + 2 < bytes.size(); ++x, pos += 3)
      out.SetPixel(x, y, bytes[pos] | bytes[pos + 1] << 8 | static_cast<std::uint32_t>(bytes[pos + 2]) << 16);
  return out;
}

// The document's pages as pictures at dpi dots per inch (pdftoppm), first page first; with
// pngFolder, each page is also kept there as NAME-N.png for a person to look at.
inline std::vector<PixelBuffer> PdfPages(const std::string& pdf, int dpi, const std::string& pngFolder = {},
                                         const std::string& name = "page") {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  static int serial = 0;
  const std::string folder = win::Narrow(temp) + "quiran_pages_" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(++serial);
  CreateDirectoryW(win::Wide(folder).c_str(), nullptr);
  const std::string prefix = folder + "\\page";
  std::string command = "/usr/bin/pdftoppm -r " + std::to_string(dpi) + " '" + UnixPath(pdf) + "' '" + UnixPath(prefix) + "'";
  if (!pngFolder.empty())
    command += "; /usr/bin/pdftoppm -png -r " + std::to_string(dpi) + " '" + UnixPath(pdf) + "' '" +
               UnixPath(pngFolder + "\\" + name) + "'";
  RunUnix(command, folder);
  std::vector<std::string> files;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(win::Wide(prefix + "-*.ppm").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do files.push_back(folder + "\\" + win::Narrow(fd.cFileName));
    while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  std::sort(files.begin(), files.end());  // pdftoppm pads the page numbers to one width
  std::vector<PixelBuffer> pages;
  for (const std::string& f : files) {
    pages.push_back(ReadPpm(f));
    DeleteFileW(win::Wide(f).c_str());
  }
  RemoveDirectoryW(win::Wide(folder).c_str());
  return pages;
}

// Ink in a rectangle of a page: the number of pixels clearly darker than white.
inline int InkIn(const PixelBuffer& page, int left, int top, int right, int bottom) {
  int ink = 0;
  for (int y = std::max(0, top); y < std::min(bottom, page.Height()); ++y)
    for (int x = std::max(0, left); x < std::min(right, page.Width()); ++x) {
      const std::uint32_t c = page.Pixel(x, y);
      if ((c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF) < 3 * 200) ++ink;
    }
  return ink;
}

// A printer added to Wine for one test (on the PDF printer's driver, and its port unless
// another is named), removed after.
class AddedPrinter {
 public:
  AddedPrinter(const wchar_t* name, bool hidden, const wchar_t* port = L"CUPS:PDF") : name_(name) {
    PRINTER_INFO_2W info{};
    info.pPrinterName = const_cast<wchar_t*>(name);
    info.pPortName = const_cast<wchar_t*>(port);
    info.pDriverName = const_cast<wchar_t*>(L"PDF");
    info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL | (hidden ? PRINTER_ATTRIBUTE_HIDDEN : 0);
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (h) ClosePrinter(h);
    added_ = h != nullptr;
  }
  AddedPrinter(const AddedPrinter&) = delete;
  AddedPrinter& operator=(const AddedPrinter&) = delete;
  ~AddedPrinter() {
    HANDLE h = nullptr;
    if (added_ && OpenPrinterW(const_cast<wchar_t*>(name_.c_str()), &h, nullptr)) {
      DeletePrinter(h);
      ClosePrinter(h);
    }
  }
  bool Added() const { return added_; }

 private:
  std::wstring name_;
  bool added_ = false;
};

// Sets or clears a printer's hidden attribute for one test.
class HiddenPrinter {
 public:
  explicit HiddenPrinter(const wchar_t* name) : name_(name) { ok_ = Set(true); }
  HiddenPrinter(const HiddenPrinter&) = delete;
  HiddenPrinter& operator=(const HiddenPrinter&) = delete;
  ~HiddenPrinter() {
    if (ok_) Set(false);
  }
  bool Ok() const { return ok_; }

 private:
  bool Set(bool hidden) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name_.c_str()), &h, nullptr)) return false;
    DWORD need = 0;
    GetPrinterW(h, 2, nullptr, 0, &need);
    std::vector<BYTE> buffer(need);
    bool done = false;
    if (need && GetPrinterW(h, 2, buffer.data(), need, &need)) {
      auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
      info->Attributes = hidden ? info->Attributes | PRINTER_ATTRIBUTE_HIDDEN : info->Attributes & ~PRINTER_ATTRIBUTE_HIDDEN;
      done = SetPrinterW(h, 2, buffer.data(), 0) != FALSE;
    }
    ClosePrinter(h);
    return done;
  }
  std::wstring name_;
  bool ok_ = false;
};

// Sends the system's settings-changed broadcast, as the control panel does after printers change.
inline void BroadcastSettingsChange() {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(L"devices"), SMTO_ABORTIFHUNG,
                      5000, &result);
}

}  // namespace printtest
