// One thread beside the caller that runs posted tasks in order: the cache file compresses the
// tiles of one row while the next row is decoded (and decodes the thumbnails of the next row
// while one is encoded), so reading or writing a big folder's cache keeps both cores busy.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class THelperThread {
 public:
  THelperThread() : thread_([this] { Loop(); }) {}
  // Runs what was posted, then ends the thread: anything a task uses must outlive this object.
  ~THelperThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  THelperThread(const THelperThread&) = delete;
  THelperThread& operator=(const THelperThread&) = delete;

  // Queues a task. A task keeps its own results and failures where its poster finds them (the
  // cache's rows do), so it must not raise.
  void Post(std::function<void()> task) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool ending_ = false;
  std::thread thread_;  // last: started once the rest is ready
};
