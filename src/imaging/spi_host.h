// The helper programs that run plug-ins outside Quiran's own process: QuiranSpiHost.exe for
// 32-bit plug-ins and, beside a 64-bit Quiran, QuiranSpiHost64.exe for 64-bit ones. A plug-in
// that faults, corrupts memory or never returns can then take down only its helper: Quiran
// ends that helper, tells the caller which plug-in was running, and starts a new helper at
// the next call. A 64-bit Quiran also uses 32-bit plug-ins this way.
//
// Requests go through a pipe (spihost/protocol.h), one at a time, each awaited; the file's
// bytes and the picture go through one block of memory that Quiran owns and the helper maps.
// Nothing the helper sends is trusted. Everything here runs on the thread that calls the
// plug-ins; calls from other threads wait their turn.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/spi_module.h"
#include "spihost/protocol.h"
#include "win/handle.h"

// A plug-in library loaded in the helper of its kind; null when it cannot be loaded there
// (or the helper cannot be started).
std::unique_ptr<SpiModule> OpenHostedSpiModule(const std::string& fileName);

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
  // The helper program of a kind: beside the running program.
  static std::string ProgramPath(Kind kind);

  // How long a helper may stay silent (no answer, no progress) before it counts as hung.
  static constexpr DWORD kDefaultSilence = 20000;
  static void SetSilenceLimit(DWORD ms);
  static DWORD SilenceLimit();

  ~TSPIHost();
  TSPIHost(const TSPIHost&) = delete;
  TSPIHost& operator=(const TSPIHost&) = delete;

  // The running helper's process id, 0 when none runs.
  DWORD ProcessId() const { return processId_; }
  // Changes with every start of a helper: plug-ins loaded in an earlier one are gone.
  std::uint64_t Incarnation() const { return incarnation_; }
  // How long the last start took, from creating the process to its first answer (ms).
  double LastStartMs() const { return lastStartMs_; }
  // Ends the helper (if one runs); the next call starts a new one.
  void End();

 private:
  friend class HostedSpiModule;
  struct Section;
  explicit TSPIHost(Kind kind) : kind_(kind) {}

  // Starts a helper when none runs; fails with SpiFault when none can be started.
  void Run();
  // The data at offset 0 of the shared block (copied only when it is not there yet).
  void PutData(const SpiData& data);
  // The shared block at least this large, and mapped by the helper.
  void Reserve(std::uint64_t size);
  // Sends a request and reads answers until the final one, which must be of the type
  // expected; progress reports go to the callback, whose answer is sent back when awaited.
  // Any failure of the helper (it faulted, died, stopped answering, or sent what cannot be
  // read) ends it and fails with SpiFault.
  spihost::Message Ask(const spihost::Message& request, spihost::Msg expected,
                       SpiProgressCallback progress = nullptr, LONG_PTR userValue = 0);
  void Send(const spihost::Message& m);
  spihost::Message Receive();
  // Waits for an overlapped pipe operation; false when the silence limit passed.
  bool Await(OVERLAPPED& ov, DWORD& transferred);
  [[noreturn]] void Fail(SpiFault::Kind kind, unsigned long code);

  const Kind kind_;
  std::recursive_mutex mutex_;
  bool busy_ = false;  // a request is under way (a listener may not start another)
  win::File process_, pipe_, event_;
  win::File job_;
  DWORD processId_ = 0;
  std::uint64_t incarnation_ = 0;
  double lastStartMs_ = 0;
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
