// One thread beside the caller that runs posted tasks in order: the cache file compresses the
// tiles of one row while the next row is decoded (and decodes the thumbnails of the next row
// while one is encoded), so reading or writing a big folder's cache keeps both cores busy.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
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

  // Queues a task; its future is ready when it has run and gives its failure, if any.
  std::future<void> Post(std::function<void()> task) {
    auto packaged = std::make_shared<std::packaged_task<void()>>(std::move(task));
    std::future<void> done = packaged->get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back([packaged] { (*packaged)(); });
    }
    wake_.notify_one();
    return done;
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
      task();  // a packaged task keeps its failure for its future
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool ending_ = false;
  std::thread thread_;  // last: started once the rest is ready
};
