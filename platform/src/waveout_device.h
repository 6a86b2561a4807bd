// The contract between the wave-out family (waveout.cpp) and one kind of
// device (one file each: waveout_portaudio.cpp, waveout_null.cpp,
// waveout_capture.cpp).
//
// A device is made by its open function for a format the family has already
// checked (PCM, 1 or 2 channels, 8 or 16 bits, block align = channels * bytes
// per sample, a sample rate). From then until stop() returns, it plays by
// calling queue.pull() from its own thread or audio callback; it never touches
// headers otherwise. The family calls wake() (buffers written, or playing
// resumed) and stop() from the device's owner thread; after stop() returns no
// pull() runs any more. Pausing is the queue's business: pull() plays nothing
// while paused, so a device plays silence or waits.
#pragma once

#include "calendo/fault.h"

#include <memory>
#include <string>

#include "platform/waveout.h"
#include "waveout_queue.h"

namespace platform::waveout {

class Device {
 public:
  virtual ~Device() = default;
  virtual void wake() = 0;
  // Ends playing; false (with `error`) when the device could not finish
  // cleanly, e.g. a capture file that could not be completed.
  virtual calendo::Status stop() = 0;
};

// A device that failed to play or to finish what it played, in its own words.
inline calendo::Fault device_fault(std::string text) {
  return {calendo::Failure::CannotWrite, 0, std::move(text)};
}

struct OpenFailure {
  WaveResult result = WaveResult::error;
  std::string text;
};

// Each returns nullptr and fills `failure` when the device cannot be opened.
std::unique_ptr<Device> open_portaudio_device(const WaveFormat& format, BufferQueue& queue,
                                              OpenFailure& failure);
std::unique_ptr<Device> open_null_device(const WaveFormat& format, BufferQueue& queue,
                                         unsigned speed, OpenFailure& failure);
std::unique_ptr<Device> open_capture_device(const WaveFormat& format, BufferQueue& queue,
                                            unsigned speed, const std::string& path,
                                            OpenFailure& failure);

}  // namespace platform::waveout
