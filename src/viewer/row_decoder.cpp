#include "viewer/row_decoder.h"

#include <utility>

TRowDecoder::TRowDecoder(Decode decode) {
  worker_ = std::thread([this, decode = std::move(decode)] { Run(decode); });
}

TRowDecoder::~TRowDecoder() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

void TRowDecoder::ReportTo(HWND window, UINT message, WPARAM tag) {
  message_ = message;
  tag_ = tag;
  window_ = window;
  // The worker saw no window when it last reported: it reports nothing until it has one.
  if (done_ > 0 || finished_) Report();
}

bool TRowDecoder::RowsDone(int count) noexcept {
  done_ = count;
  if (stop_) return false;
  const ULONGLONG now = GetTickCount64();
  if (count < pixels_.Height() && reportedAt_ && now - reportedAt_ < kReportEvery) return true;
  reportedAt_ = now;
  Report();
  return true;
}

void TRowDecoder::Run(const Decode& decode) noexcept {
  try {
    decode(*this);
  } catch (...) {
    failure_ = std::current_exception();
  }
  finished_ = true;
  Report();
}

void TRowDecoder::Report() noexcept {
  const HWND window = window_;
  if (!window || reported_.exchange(true)) return;
  // A failed post (a full queue) leaves the way open for the next report.
  if (!PostMessageW(window, message_, tag_, 0)) reported_ = false;
}
