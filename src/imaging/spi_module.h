// A plug-in library's code, wherever it runs: loaded into this process (LocalSpiModule), or
// into a helper process of its own (HostedSpiModule, imaging/spi_host.h). The plug-in
// objects of the manager call their plug-in through this; so does the helper program, which
// runs LocalSpiModule for Quiran.
#pragma once
#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "imaging/info_record.h"
#include "win/handle.h"

// ---- the plug-in interface, as the libraries export it (standard Win32 calling convention) ----
// 64-bit plug-ins (*.sph) take data lengths and the user value pointer-sized; in a 32-bit
// process LONG_PTR is the 32-bit long of the original interface.

// The picture-information record, in a block large enough for every layout plug-ins write
// (see imaging/info_record.h); zeroed before the call.
struct SpiPictureInfo {
  alignas(8) std::uint8_t Bytes[kInfoRecordRoom] = {};
};

// Answers 0 to continue, 1 to stop.
using SpiProgressCallback = int(WINAPI*)(int done, int total, LONG_PTR userValue);
using SpiGetPluginInfo = int(WINAPI*)(int infoNo, LPSTR buffer, int bufferLength);
// The second argument holds the address of the file's first bytes (at least 2048 of them).
using SpiIsSupported = int(WINAPI*)(LPCSTR fileName, ULONG_PTR data);
using SpiGetPictureInfo = int(WINAPI*)(LPCSTR data, LONG_PTR length, unsigned int flag, SpiPictureInfo* info);
using SpiGetPicture = int(WINAPI*)(LPCSTR data, LONG_PTR length, unsigned int flag, HLOCAL* bitmapInfo, HLOCAL* bits,
                                   SpiProgressCallback progress, LONG_PTR userValue);
// Looked up, never called; declared for the argument bytes of their decorated names.
using SpiConfigurationDlg = int(WINAPI*)(HWND parent, int function);
using SpiGetArchiveInfo = int(WINAPI*)(LPCSTR data, LONG_PTR length, unsigned int flag, HLOCAL* info);
using SpiGetFileInfo = int(WINAPI*)(LPCSTR data, LONG_PTR length, LPCSTR fileName, unsigned int flag, void* info);
using SpiGetFile = int(WINAPI*)(LPCSTR source, LONG_PTR length, LPSTR dest, unsigned int flag,
                                SpiProgressCallback progress, LONG_PTR userValue);

// The nine functions looked up, in the order they are looked up; bit n of a module's
// Entries() stands for function n.
enum SpiEntry : unsigned {
  kGetPluginInfo,
  kConfigurationDlg,
  kIsSupported,
  kGetPictureInfo,
  kGetPicture,
  kGetPreview,
  kGetArchiveInfo,
  kGetFileInfo,
  kGetFile,
};

// The plug-in left a fault unhandled inside a call, or the helper running it died, stopped
// answering or answered what cannot be read: it is not to be called again.
class SpiFault : public std::exception {
 public:
  enum Kind { Faulted, Died, Hung, Garbled };
  SpiFault(Kind kind, unsigned long code) : kind_(kind), code_(code) {}
  Kind What() const { return kind_; }
  unsigned long Code() const { return code_; }
  const char* what() const noexcept override { return "plug-in fault"; }

 private:
  Kind kind_;
  unsigned long code_;
};

// A call that could not be made or finished for a reason that is not the plug-in's: its helper
// cannot be started, or the picture is too large to be handed over. The plug-in stays in use;
// only this call failed.
class SpiCallFailed : public std::exception {
 public:
  enum Kind { NoHelper, TooLarge };
  explicit SpiCallFailed(Kind kind) : kind_(kind) {}
  Kind What() const { return kind_; }
  const char* what() const noexcept override { return "plug-in call failed"; }

 private:
  Kind kind_;
};

// The data a plug-in reads: Size bytes (the real length) at Bytes, of which at least 2048
// are readable (short data comes zero-padded). Serial names one load (0: none), so a helper
// is given the same bytes only once however many plug-ins look at them.
//
// Or a file the plug-in reads itself (the interface's file mode): File names it (Shift-JIS, a
// full path) and the data starts Offset bytes in; Bytes then hold only its first 2048 bytes,
// for IsSupported, and the file is never copied.
struct SpiData {
  const std::uint8_t* Bytes;
  std::size_t Size;
  std::uint64_t Serial = 0;
  const char* File = nullptr;
  std::uint64_t Offset = 0;
  std::size_t Readable() const { return File || Size < 2048 ? 2048 : Size; }
};

// What GetPictureInfo and GetPicture answer when the file cannot be named to the plug-in: its
// path has a character the plug-in's code page lacks, so the plug-in could only open another
// file or none. No plug-in answers it; the data is then given in memory.
constexpr int kSpiFileNotNamed = -0x7FFFFFFF;
// The interface's answer "not implemented", from a plug-in that reads no files itself.
constexpr int kSpiNotImplemented = -1;

// What GetPictureInfo told: the record's fields and the text of its handle.
struct SpiPictureFacts {
  TInfoRecordFields Fields;
  std::string Text;
};

// The picture GetPicture made: the bitmap-information block and the pixel rows, readable
// (with the sizes of their blocks) while this lives. A picture from a helper comes instead as
// the BMP file image the helper made of them (BmpFile), read where the helper wrote it.
class SpiPicture {
 public:
  virtual ~SpiPicture() = default;
  virtual const std::uint8_t* Info() const { return nullptr; }
  virtual std::size_t InfoSize() const { return 0; }
  virtual const std::uint8_t* Bits() const { return nullptr; }
  virtual std::size_t BitsSize() const { return 0; }
  virtual const std::uint8_t* BmpFile() const { return nullptr; }
  virtual std::size_t BmpFileSize() const { return 0; }
};

class SpiModule {
 public:
  virtual ~SpiModule() = default;
  // The module's path as the system reports it.
  const std::string& FileName() const { return fileName_; }
  bool Has(SpiEntry e) const { return (entries_ >> e) & 1u; }
  unsigned Entries() const { return entries_; }
  // The library in this process, or null when it runs in a helper.
  virtual HMODULE Handle() const { return nullptr; }
  virtual FARPROC Proc(const char*) const { return nullptr; }

  // The plug-in's calls. Each answers what the plug-in answered, or fails with SpiFault.
  virtual int GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) = 0;
  virtual int IsSupported(LPCSTR fileName, const SpiData& data) = 0;
  virtual int GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) = 0;
  // On 0 the picture, or null when the plug-in handed out no usable blocks. Progress goes to
  // the callback with the user value; listened says whether anyone attends to it (a helper
  // then passes each call on and waits for its answer).
  virtual int GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                         std::unique_ptr<SpiPicture>& picture) = 0;

 protected:
  std::string fileName_;
  unsigned entries_ = 0;
};

// A plug-in library loaded into this process; every call runs under the fault guard.
class LocalSpiModule : public SpiModule {
 public:
  // Null when the library cannot be loaded.
  static std::unique_ptr<LocalSpiModule> Open(const std::string& fileName);
  // While set, no library is let go (after a fault inside the process, a library's clean-up
  // could fault too); the process's end releases them.
  static void KeepLibrariesLoaded(bool keep);
  // Where the records a plug-in fills, the texts it is given and its progress callback lie:
  // on the caller's stack and in the program's image by default; in a 64-bit helper, an area
  // below 4 GB, for plug-ins that keep addresses in 32-bit values. data: kArgumentBytes
  // committed read-write bytes; code: one page that becomes executable.
  static constexpr std::size_t kArgumentBytes = 128 * 1024;
  static void SetArgumentArea(std::uint8_t* data, std::uint8_t* code);
  ~LocalSpiModule() override;

  HMODULE Handle() const override { return handle_.Get(); }
  FARPROC Proc(const char* name) const override { return GetProcAddress(handle_, name); }
  int GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength) override;
  int IsSupported(LPCSTR fileName, const SpiData& data) override;
  int GetPictureInfo(const SpiData& data, SpiPictureFacts& facts) override;
  int GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                 std::unique_ptr<SpiPicture>& picture) override;

 private:
  LocalSpiModule() = default;
  template <class F>
  void Find(F& entry, const char* name, SpiEntry e);
  template <class F>
  void Guarded(F call);

  win::Module handle_;
  SpiGetPluginInfo getPluginInfo_ = nullptr;
  SpiIsSupported isSupported_ = nullptr;
  SpiGetPictureInfo getPictureInfo_ = nullptr;
  SpiGetPicture getPicture_ = nullptr;
};
