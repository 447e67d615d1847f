// The helper programs that run plug-ins outside Quiran's own process: QuiranSpiHost.exe for
// 32-bit plug-ins and, beside a 64-bit Quiran, QuiranSpiHost64.exe for 64-bit ones. A plug-in
// that faults, corrupts memory or never returns can then take down only its helper: Quiran
// ends that helper, tells the caller which plug-in was running, and starts a new helper at
// the next call. A 64-bit Quiran also uses 32-bit plug-ins this way.
//
// Requests go through a pipe (spihost/protocol.h), one at a time, each awaited; the file's
// bytes and the picture go through one block of memory that Quiran owns and the helper maps.
// Nothing the helper sends is trusted. Everything here runs on the thread that calls the
// plug-ins; calls from other threads wait their turn. While a call waits, that thread's windows
// go on painting, and the user may cancel a picture being read (Esc, or a progress dialog's
// cancel button registered with TSPIWaitCancel): the helper is then ended and the call fails
// with EAbort.
//
// A helper that cannot be started is no plug-in's fault: a call that needs one fails with
// SpiCallFailed, and a plug-in of Quiran's own kind is loaded inside Quiran instead.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/spi_module.h"
#include "spihost/protocol.h"
#include "win/handle.h"

// A plug-in library loaded in the helper of its kind; null when it cannot be loaded there, or
// when the helper cannot be started (noHelper is then set).
std::unique_ptr<SpiModule> OpenHostedSpiModule(const std::string& fileName, bool* noHelper = nullptr);

// What the status bar says once at start when a helper that plug-ins needed could not be
// started; empty when none was missing.
std::string MissingHelperNotice();

// While one lives, a plug-in call of this thread that waits for its helper lets the input of
// this window through (a progress dialog: its cancel button, Esc in it), and ends the call
// when cancelled answers true.
class TSPIWaitCancel {
 public:
  TSPIWaitCancel(HWND window, std::function<bool()> cancelled);
  ~TSPIWaitCancel();
  TSPIWaitCancel(const TSPIWaitCancel&) = delete;
  TSPIWaitCancel& operator=(const TSPIWaitCancel&) = delete;

 private:
  friend class TSPIHost;
  HWND window_;
  std::function<bool()> cancelled_;
  TSPIWaitCancel* outer_;
};

class TSPIHost {
 public:
  enum Kind { k32Bit, k64Bit };
  // The kind of this program, whose plug-ins it can also load itself.
  static constexpr Kind kOwn = sizeof(void*) == 8 ? k64Bit : k32Bit;
  // The one helper of each kind in this process (started when first needed).
  static TSPIHost& Of(Kind kind);
  // The helper a library file needs, by the machine its PE header names; this program's own
  // kind when the header names none (the helper then reports that it cannot load it). A
  // 32-bit program only ever uses the 32-bit helper.
  static Kind KindFor(const std::string& fileName);
  // The helper program of a kind: beside the running program (or where a test put it).
  static std::string ProgramPath(Kind kind);
  static void SetProgramPath(Kind kind, std::string path);

  // How long a helper may stay silent (no answer, no progress) before it counts as hung, and
  // how long one call may take in all, however much progress it reports.
  static constexpr DWORD kDefaultSilence = 20000;
  static constexpr DWORD kDefaultCallLimit = 120000;
  static void SetSilenceLimit(DWORD ms);
  static DWORD SilenceLimit();
  static void SetCallLimit(DWORD ms);

  ~TSPIHost();
  TSPIHost(const TSPIHost&) = delete;
  TSPIHost& operator=(const TSPIHost&) = delete;

  // The running helper's process id, 0 when none runs.
  DWORD ProcessId() const { return processId_; }
  // Changes with every start of a helper: plug-ins loaded in an earlier one are gone.
  std::uint64_t Incarnation() const { return incarnation_; }
  // How long the last start took, from creating the process to its first answer (ms).
  double LastStartMs() const { return lastStartMs_; }
  // True when the last start failed and none ever succeeded this run.
  bool Missing() const { return missing_; }
  // The size of the block shared with the helper (0: none yet).
  std::uint64_t SharedSize() const;
  // Ends the helper (if one runs); the next call starts a new one.
  void End();

 private:
  friend class HostedSpiModule;
  struct Section;
  explicit TSPIHost(Kind kind) : kind_(kind) {}

  // Starts a helper when none runs; fails with SpiCallFailed when none can be started.
  void Run();
  void Start();
  // The data at offset 0 of the shared block (copied only when it is not there yet).
  void PutData(const SpiData& data);
  // The shared block at least this large and not much larger, mapped by the helper; false
  // when no such block can be made or mapped (the old one stays in use).
  bool Reserve(std::uint64_t size);
  bool MapInHelper(const Section& s);
  // Sends a request and reads answers until the final one, which must be of the type
  // expected; progress reports go to the callback, whose answer is sent back when awaited.
  // Any failure of the helper (it faulted, died, stopped answering, or sent what cannot be
  // read) ends it and fails with SpiFault. A cancellable request (a picture being read) is
  // ended by the user's cancel with EAbort.
  spihost::Message Ask(const spihost::Message& request, spihost::Msg expected,
                       SpiProgressCallback progress = nullptr, LONG_PTR userValue = 0, bool cancellable = false);
  void Send(const spihost::Message& m);
  spihost::Message Receive();
  // Waits for an overlapped pipe operation: false when it failed. Fails with SpiFault (Hung)
  // when the silence or the call limit passes, with EAbort when the user cancels.
  bool Await(OVERLAPPED& ov, DWORD& transferred);
  // Paints the thread's windows and passes the cancel window's input; true when the user
  // cancelled the call.
  bool WaitingCancelled();
  [[noreturn]] void Fail(SpiFault::Kind kind, unsigned long code);

  const Kind kind_;
  std::recursive_mutex mutex_;
  bool busy_ = false;  // a request is under way (a listener may not start another)
  bool cancellable_ = false;  // the user may cancel the request under way
  bool starting_ = false;     // the helper's first answer is awaited
  win::Process process_;
  win::Pipe pipe_;
  win::Event event_;
  win::Job job_;
  DWORD processId_ = 0;
  std::uint64_t incarnation_ = 0;
  double lastStartMs_ = 0;
  bool missing_ = false;
  ULONGLONG callStart_ = 0, lastSign_ = 0;  // when the request was sent, when the helper was last heard
  std::shared_ptr<Section> section_;     // the shared block
  const Section* mapped_ = nullptr;      // the block the helper has mapped
  // What PutData placed in the block last.
  struct {
    const Section* In = nullptr;
    const std::uint8_t* Bytes = nullptr;
    std::size_t Size = 0;
    std::uint64_t Serial = 0;
  } put_;
  std::vector<std::uint8_t> inbox_;  // bytes read from the pipe, not yet taken as a message
};
