// A small pool of worker threads for work that splits into independent tasks.
//
// run() hands tasks 0 ... count - 1 to the workers and the calling thread,
// each task to exactly one of them, and returns when every task is done. Idle
// workers sleep on a condition variable (no spinning); the destructor stops
// and joins them. run() may be called from any thread; calls from several
// threads at once take turns.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace calendo {

class WorkerPool {
 public:
  // `threads` counts the calling thread: a pool of 1 runs every task on the
  // caller. 0 takes one per processor.
  explicit WorkerPool(unsigned threads = 0);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The threads a run uses, the caller's included.
  unsigned threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

  void run(std::size_t count, const std::function<void(std::size_t)>& task);

 private:
  void work(std::stop_token stop);
  // Takes and runs tasks of the current run until none is left.
  void drain();

  std::mutex turn_;  // one run at a time
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable done_;
  const std::function<void(std::size_t)>* task_ = nullptr;
  std::size_t count_ = 0;
  std::size_t next_ = 0;
  std::size_t unfinished_ = 0;  // tasks handed out or waiting
  uint64_t generation_ = 0;
  std::vector<std::jthread> workers_;
};

}  // namespace calendo
