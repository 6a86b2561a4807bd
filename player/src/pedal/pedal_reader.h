// Reads a foot pedal through hidapi on a thread of its own. The device is
// opened when present at start and whenever it appears later (a look every
// `rescan`); a device unplugged or failing is closed quietly and looked for
// again. Reads wait at most a quarter of a second, so that the thread stops
// soon after the reader is destroyed; nothing spins.
//
// `sink` is called on the reader's thread with the pedals held after each
// report (pedal_report.h), and with 0 when an open device goes away; the
// caller hands that to its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "pedal/pedal_report.h"

namespace calendo {

class PedalReader {
 public:
  using Sink = std::function<void(uint8_t held)>;

  PedalReader(PedalIds ids, Sink sink, std::chrono::milliseconds rescan = std::chrono::seconds(2));
  ~PedalReader();
  PedalReader(const PedalReader&) = delete;
  PedalReader& operator=(const PedalReader&) = delete;

  // Whether a device is open now.
  bool Connected() const { return connected_.load(); }

 private:
  void Run();
  // Waits `period` or until the reader stops; false once it stops.
  bool Sleep(std::chrono::milliseconds period);

  const PedalIds ids_;
  const Sink sink_;
  const std::chrono::milliseconds rescan_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace calendo
