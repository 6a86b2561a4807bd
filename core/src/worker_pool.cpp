#include "calendo/worker_pool.h"

#include <algorithm>

namespace calendo {

WorkerPool::WorkerPool(unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  workers_.reserve(threads - 1);
  for (unsigned i = 1; i < threads; ++i)
    workers_.emplace_back([this](std::stop_token stop) { work(stop); });
}

WorkerPool::~WorkerPool() {
  for (std::jthread& worker : workers_) worker.request_stop();
  wake_.notify_all();
  workers_.clear();  // joins
}

void WorkerPool::drain() {
  std::unique_lock lock(mutex_);
  while (next_ < count_) {
    const std::size_t index = next_++;
    const auto* task = task_;
    lock.unlock();
    (*task)(index);
    lock.lock();
    if (--unfinished_ == 0) done_.notify_all();
  }
}

void WorkerPool::work(std::stop_token stop) {
  uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [&] { return generation_ != seen; })) return;
      seen = generation_;
    }
    drain();
  }
}

void WorkerPool::run(std::size_t count, const std::function<void(std::size_t)>& task) {
  if (count == 0) return;
  std::lock_guard turn(turn_);
  {
    std::lock_guard lock(mutex_);
    task_ = &task;
    count_ = count;
    next_ = 0;
    unfinished_ = count;
    ++generation_;
  }
  if (count > 1) wake_.notify_all();
  drain();
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return unfinished_ == 0; });
  task_ = nullptr;
  count_ = 0;
}

}  // namespace calendo
