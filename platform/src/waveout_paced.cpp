#include "waveout_paced.h"

#include <pthread.h>

#include <algorithm>

namespace platform::waveout {
namespace {

constexpr std::size_t kLargestChunk = 64 * 1024;

}  // namespace

PacedDevice::PacedDevice(const WaveFormat& format, BufferQueue& queue, unsigned speed,
                         std::unique_ptr<PacedSink> sink)
    : queue_(queue),
      speed_(speed),
      bytes_per_second_(std::uint64_t{format.samples_per_sec} * format.block_align),
      sink_(std::move(sink)) {
  // A chunk is about 20 ms of wall-clock time: short enough that pause and
  // reset take effect at once, long enough that the thread sleeps most of it.
  const std::size_t align = format.block_align;
  std::uint64_t chunk = speed_ == 0 ? kLargestChunk : bytes_per_second_ * speed_ / 50;
  chunk = std::clamp<std::uint64_t>(chunk, align, kLargestChunk);
  chunk_bytes_ = static_cast<std::size_t>(chunk) / align * align;
  if (sink_->wants_bytes()) chunk_.resize(chunk_bytes_);
  thread_ = std::thread([this] { run(); });
}

PacedDevice::~PacedDevice() {
  if (thread_.joinable()) {
    // A destructor has no one to report to.
    [[maybe_unused]] const calendo::Status stopped = stop();
  }
}

void PacedDevice::wake() {
  std::lock_guard lock(mutex_);
  woken_ = true;
  wakeup_.notify_one();
}

calendo::Status PacedDevice::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    wakeup_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
  return sink_->finish();
}

bool PacedDevice::sleep_until(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  wakeup_.wait_until(lock, deadline, [this] { return stopping_; });
  return !stopping_;
}

void PacedDevice::run() {
  ::pthread_setname_np(::pthread_self(), "wave-paced");
  using Clock = std::chrono::steady_clock;
  std::uint8_t* buffer = chunk_.empty() ? nullptr : chunk_.data();
  Clock::time_point start = Clock::now();
  std::uint64_t played = 0;  // bytes since `start`
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      woken_ = false;
    }
    const std::size_t n = queue_.pull(buffer, chunk_bytes_);
    if (n == 0) {
      // Starved or paused: sleep until something changes, then keep time
      // from that moment instead of catching up.
      std::unique_lock lock(mutex_);
      wakeup_.wait(lock, [this] { return woken_ || stopping_; });
      if (stopping_) return;
      start = Clock::now();
      played = 0;
      continue;
    }
    sink_->consume(buffer, n);
    if (speed_ == 0) continue;
    played += n;
    const std::chrono::duration<double> elapsed(static_cast<double>(played) /
                                                static_cast<double>(bytes_per_second_ * speed_));
    if (!sleep_until(start + std::chrono::duration_cast<Clock::duration>(elapsed))) return;
  }
}

}  // namespace platform::waveout
