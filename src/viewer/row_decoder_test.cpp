#include "viewer/row_decoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Waits for the condition, at most five seconds.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 5000 && !done(); ++i) Sleep(1);
  return done();
}

}  // namespace

// Viewers decoding at once each get a worker: decoders that each wait until all have started
// finish instead of waiting on one another, and the same holds the next time round, when the
// workers of the first round are there to be taken again.
TEST(RowDecoder, DecodersAtOnceEachGetAWorker) {
  for (int round = 0; round < 2; ++round) {
    constexpr int kCount = 4;
    std::atomic<int> started{0};
    std::vector<std::unique_ptr<TRowDecoder>> decoders;
    for (int i = 0; i < kCount; ++i)
      decoders.push_back(std::make_unique<TRowDecoder>([&started](TRowsTarget& target) {
        ++started;
        for (int wait = 0; started < kCount && wait < 5000; ++wait) Sleep(1);
        if (started < kCount) throw std::runtime_error("the others never started");
        target.Pixels().Allocate(2, 1);
        target.RowsDone(1);
      }));
    for (auto& d : decoders) {
      ASSERT_TRUE(WaitFor([&] { return d->Finished(); })) << "round " << round;
      EXPECT_FALSE(d->Failure()) << "round " << round;
      EXPECT_EQ(d->Done(), 1);
    }
  }
}

// What the decoding holds (its file) is let go once its worker is done with it, while the
// decoder itself and its rows are still kept; destroying a decoder whose worker is still busy
// waits for it, so the worker never writes to a decoder that is gone.
TEST(RowDecoder, TheWorkerLetsGoOfItsFileAndNeverOutlivesItsDecoder) {
  auto file = std::make_shared<int>(0);
  TRowDecoder done([file](TRowsTarget& target) {
    target.Pixels().Allocate(3, 2);
    target.RowsDone(2);
  });
  ASSERT_TRUE(WaitFor([&] { return done.Finished() && file.use_count() == 1; }));
  EXPECT_EQ(done.Rows().Height(), 2);

  std::atomic<bool> ended{false};
  auto busy = std::make_unique<TRowDecoder>([&ended](TRowsTarget& target) {
    target.Pixels().Allocate(1, 1000);
    for (int y = 0; y < 1000 && target.RowsDone(y + 1); ++y) Sleep(1);
    Sleep(20);  // past the last look at the decoder
    ended = true;
  });
  ASSERT_TRUE(WaitFor([&] { return busy->Done() > 5; }));
  busy.reset();
  EXPECT_TRUE(ended);
}
