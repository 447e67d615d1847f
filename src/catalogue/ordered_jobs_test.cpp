// Jobs on worker threads taken in order: results and failures arrive at their own position,
// the workers keep within reach of the consumer, and stopping starts nothing more.
#include "catalogue/ordered_jobs.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

TEST(OrderedJobs, ResultsAndFailuresAreTakenInOrder) {
  std::vector<bool> onWorker{true, false, true, true, false, true};
  std::atomic<int> wakes{0};
  TOrderedJobs<std::string> jobs(
      onWorker, 2,
      [](std::size_t i, const std::atomic<bool>&) -> std::string {
        if (i == 3) throw std::runtime_error("damaged");
        return "picture " + std::to_string(i);
      },
      [&] { ++wakes; });
  for (std::size_t i = 0; i < onWorker.size(); ++i) {
    if (!onWorker[i]) {
      EXPECT_TRUE(jobs.Ready(i));  // the consumer's own
      jobs.Passed(i);
      continue;
    }
    while (!jobs.Ready(i)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (i == 3) {
      EXPECT_THROW(jobs.Take(i), std::runtime_error);
    } else {
      EXPECT_EQ(jobs.Take(i), "picture " + std::to_string(i));
    }
  }
  EXPECT_EQ(wakes.load(), 4);
}

TEST(OrderedJobs, WorkersStayWithinReachAndStopStartsNothingMore) {
  std::atomic<int> started{0};
  std::vector<bool> onWorker(100, true);
  {
    TOrderedJobs<int> jobs(
        onWorker, 2,
        [&](std::size_t i, const std::atomic<bool>&) {
          ++started;
          return static_cast<int>(i);
        },
        [] {}, 4);
    while (!jobs.Ready(3)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // time to run too far, if they would
    EXPECT_EQ(started.load(), 4);  // nothing taken yet: only four ahead
    EXPECT_EQ(jobs.Take(0), 0);
    while (!jobs.Ready(4)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    jobs.Stop();
  }
  EXPECT_LE(started.load(), 6);

  // A running job sees the stop and gives up.
  std::atomic<bool> running{false}, sawStop{false};
  {
    TOrderedJobs<int> jobs(
        std::vector<bool>{true}, 1,
        [&](std::size_t, const std::atomic<bool>& stop) {
          running = true;
          while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          sawStop = true;
          return 0;
        },
        [] {});
    while (!running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(sawStop);
}
