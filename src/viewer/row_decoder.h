// A picture decoded on a worker thread into a buffer that a window paints meanwhile: the
// worker fills rows top first and reports how many are done; the window reads those rows
// while the worker writes the ones below.
//
// Reports are posted to the window as a message. At most one waits in the queue at a time,
// and between the first band of rows and the end at most one goes every kReportEvery, so the
// window repaints a few times a second and is never flooded. The decoder may start before its
// window exists; reports wait until it is given one. Its owner destroys it before the window
// goes: destroying it stops the worker and waits for it, so the worker never outlives it.
//
// The workers are threads kept for the viewers, one always waiting: under Wine a new thread
// took 3-7 ms to start while the window was being made, and the whole picture came that much
// later.
#pragma once
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "imaging/rows_target.h"
#include "win/handle.h"

class TRowDecoder final : public TRowsTarget {
 public:
  static constexpr ULONGLONG kReportEvery = 15;  // milliseconds

  // Runs decode(*this) on a worker; what it raises is kept as Failure().
  using Decode = std::function<void(TRowsTarget& target)>;
  explicit TRowDecoder(Decode decode);
  ~TRowDecoder() override;
  TRowDecoder(const TRowDecoder&) = delete;
  TRowDecoder& operator=(const TRowDecoder&) = delete;

  // From now on reports go to the window as `message` with wParam `tag`; one is posted at
  // once when rows were done before. The window must outlive the decoder.
  void ReportTo(HWND window, UINT message, WPARAM tag);
  // The window's side, on receiving a report: call first, so that the next one can be posted.
  void TakeReport() { reported_ = false; }
  // Read Finished() before Done(): once finished, the count is final.
  bool Finished() const { return finished_; }
  int Done() const { return done_; }
  // The rows; [0, Done()) may be read.
  const PixelBuffer& Rows() const { return pixels_; }
  // Once Finished(): the failure that ended the decoding early, if any, and the rows.
  std::exception_ptr Failure() const { return failure_; }
  PixelBuffer TakeRows() { return std::move(pixels_); }

  // The worker's side.
  PixelBuffer& Pixels() override { return pixels_; }
  bool RowsDone(int count) noexcept override;

 private:
  static void CALLBACK Work(PTP_CALLBACK_INSTANCE instance, void* self) noexcept;
  void Run(const Decode& decode) noexcept;
  void Report() noexcept;

  PixelBuffer pixels_;
  std::exception_ptr failure_;
  std::atomic<int> done_{0};
  std::atomic<bool> stop_{false}, finished_{false}, reported_{false};
  std::atomic<HWND> window_{nullptr};
  UINT message_ = 0;
  WPARAM tag_ = 0;
  ULONGLONG reportedAt_ = 0;  // the worker's own: when it last reported, 0 before the first
  Decode decode_;             // until the worker takes it
  win::Event ended_;          // set once the worker has left this object for good
};
