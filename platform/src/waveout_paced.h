// A device without sound hardware: a thread that takes the written bytes at
// the pace of real time (or `speed` times faster; 0 = as fast as it can) and
// hands them to a sink. The null and capture devices are paced devices.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "waveout_device.h"

namespace platform::waveout {

// Receives the played bytes on the pacing thread.
class PacedSink {
 public:
  virtual ~PacedSink() = default;
  // nullptr data: the sink does not want the bytes (see wants_bytes).
  virtual void consume(const std::uint8_t* data, std::size_t bytes) = 0;
  virtual bool wants_bytes() const = 0;
  // After the last consume; false with `error` when the sink failed.
  virtual calendo::Status finish() = 0;
};

class PacedDevice final : public Device {
 public:
  PacedDevice(const WaveFormat& format, BufferQueue& queue, unsigned speed,
              std::unique_ptr<PacedSink> sink);
  ~PacedDevice() override;

  void wake() override;
  calendo::Status stop() override;

 private:
  void run();
  // Sleeps until `deadline` or until stopped; false when stopped.
  bool sleep_until(std::chrono::steady_clock::time_point deadline);

  BufferQueue& queue_;
  const unsigned speed_;
  const std::uint64_t bytes_per_second_;
  std::size_t chunk_bytes_;
  std::unique_ptr<PacedSink> sink_;
  std::vector<std::uint8_t> chunk_;

  std::mutex mutex_;
  std::condition_variable wakeup_;
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace platform::waveout
