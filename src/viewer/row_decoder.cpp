#include "viewer/row_decoder.h"

#include <utility>

#include "win/error.h"

namespace {

// The viewers' own thread pool, made on first use and kept while the program runs, with one
// thread always waiting. More come while several viewers decode at once. Without a pool of
// its own (none could be made) the process's default pool serves.
PTP_CALLBACK_ENVIRON DecoderPool() {
  static TP_CALLBACK_ENVIRON environment = [] {
    TP_CALLBACK_ENVIRON e;
    InitializeThreadpoolEnvironment(&e);
    if (PTP_POOL pool = CreateThreadpool(nullptr)) {
      if (SetThreadpoolThreadMinimum(pool, 1))
        SetThreadpoolCallbackPool(&e, pool);
      else
        CloseThreadpool(pool);
    }
    return e;
  }();
  return &environment;
}

}  // namespace

TRowDecoder::TRowDecoder(Decode decode)
    : decode_(std::move(decode)), ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!ended_ || !TrySubmitThreadpoolCallback(&TRowDecoder::Work, this, DecoderPool()))
    throw Exception("画像を読み込むスレッドを開始できません");
}

TRowDecoder::~TRowDecoder() {
  stop_ = true;
  WaitForSingleObject(ended_.Get(), INFINITE);
}

void CALLBACK TRowDecoder::Work(PTP_CALLBACK_INSTANCE instance, void* self) noexcept {
  auto* decoder = static_cast<TRowDecoder*>(self);
  // The pool sets the event once this function has returned: nothing of the decoder is
  // touched after it.
  SetEventWhenCallbackReturns(instance, decoder->ended_.Get());
  const Decode decode = std::move(decoder->decode_);  // what it holds (the file) goes with it
  decoder->Run(decode);
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
