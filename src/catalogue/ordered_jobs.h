// Jobs run on worker threads ahead of one consumer that takes their results in list order.
// Folder loading decodes pictures on every core while the user-interface thread reports
// progress file by file, in order, and can stop at once; jobs that must stay on the
// consumer's thread (plug-in pictures) are left to it.
#pragma once
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

template <class Result>
class TOrderedJobs {
 public:
  // work(i, stop) runs on a worker for every i with onWorker[i]; it should give up early when
  // stop becomes true. wake is called on the worker after each result is stored.
  using Work = std::function<Result(std::size_t index, const std::atomic<bool>& stop)>;

  TOrderedJobs(std::vector<bool> onWorker, int threads, Work work, std::function<void()> wake,
               std::size_t ahead = 32)
      : onWorker_(std::move(onWorker)), work_(std::move(work)), wake_(std::move(wake)), ahead_(ahead),
        results_(onWorker_.size()), errors_(onWorker_.size()), done_(onWorker_.size(), false) {
    if (std::find(onWorker_.begin(), onWorker_.end(), true) == onWorker_.end()) return;
    for (int t = 0; t < std::max(threads, 1); ++t) threads_.emplace_back([this] { Run(); });
  }
  ~TOrderedJobs() {
    Stop();
    for (std::thread& t : threads_) t.join();
  }
  TOrderedJobs(const TOrderedJobs&) = delete;
  TOrderedJobs& operator=(const TOrderedJobs&) = delete;

  // The worker threads for this machine: one per core.
  static int DefaultThreads() { return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)); }

  // True when job i's result can be taken (a job left to the consumer is always ready).
  bool Ready(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !onWorker_[i] || done_[i];
  }
  // Job i's result (Ready must be true); its failure is thrown here. The workers may then go
  // on past i.
  Result Take(std::size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    Pass(i);
    if (errors_[i]) std::rethrow_exception(std::exchange(errors_[i], nullptr));
    Result r = std::move(*results_[i]);
    results_[i].reset();
    return r;
  }
  // The consumer is done with position i without taking a result.
  void Passed(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    Pass(i);
  }
  // No job starts any more; running ones are told to stop.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      stop_ = true;
    }
    changed_.notify_all();
  }

 private:
  void Pass(std::size_t i) {
    if (i + 1 > taken_) {
      taken_ = i + 1;
      changed_.notify_all();
    }
  }
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      while (next_ < onWorker_.size() && !onWorker_[next_]) ++next_;
      if (stopping_ || next_ >= onWorker_.size()) return;
      if (next_ >= taken_ + ahead_) {
        changed_.wait(lock);
        continue;
      }
      const std::size_t i = next_++;
      lock.unlock();
      std::optional<Result> result;
      std::exception_ptr error;
      try {
        result.emplace(work_(i, stop_));
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      results_[i] = std::move(result);
      errors_[i] = error;
      done_[i] = true;
      lock.unlock();
      wake_();
      lock.lock();
    }
  }

  const std::vector<bool> onWorker_;
  const Work work_;
  const std::function<void()> wake_;
  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<Result>> results_;
  std::vector<std::exception_ptr> errors_;
  std::vector<bool> done_;
  std::size_t next_ = 0, taken_ = 0;
  bool stopping_ = false;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};
