// The null device: plays nothing, at the pace of real time.
#include "waveout_paced.h"

namespace platform::waveout {
namespace {

class NullSink final : public PacedSink {
 public:
  void consume(const std::uint8_t*, std::size_t) override {}
  bool wants_bytes() const override { return false; }
  calendo::Status finish() override { return {}; }
};

}  // namespace

std::unique_ptr<Device> open_null_device(const WaveFormat& format, BufferQueue& queue,
                                         unsigned speed, OpenFailure&) {
  return std::make_unique<PacedDevice>(format, queue, speed, std::make_unique<NullSink>());
}

}  // namespace platform::waveout
