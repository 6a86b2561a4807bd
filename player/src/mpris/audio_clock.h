// The time of a recording as its sound holds it: samples ÷ sample rate of the
// WAV file the player's conversion writes of it, page by page. The window's
// label counts a nominal time per page (123 ms for an SP page), which drifts
// from this by several seconds an hour; what the desktop is told of lengths
// and positions is this time, so that it agrees with the exported file and
// with what other programs show of it.
// Plain values: any thread.
#pragma once

#include <cstdint>
#include <span>

#include "kestrune.h"

namespace calendo {

class AudioClock {
 public:
  // The clock of a recording with record `splp` and `table` (one entry per
  // page, 0 SP, 1 LP; other values count as no sound).
  AudioClock(const SplpInfo& splp, std::span<const uint8_t> table);

  // Microseconds from the start to the start of `page` (clamped to the pages).
  int64_t PageStartUs(int32_t page) const;
  // The whole recording.
  int64_t LengthUs() const { return PageStartUs(pages()); }
  // The page whose start lies nearest to `us` (the earlier one on a tie).
  int32_t NearestPage(int64_t us) const;

  uint32_t sample_rate() const { return rate_; }
  int32_t pages() const { return static_cast<int32_t>(table_.size()); }

 private:
  int64_t SamplesBefore(int32_t page) const;
  int64_t ToUs(int64_t samples) const;

  std::span<const uint8_t> table_;
  uint32_t rate_ = 0;
  int64_t page_samples_[2] = {0, 0};  // SP, LP
};

}  // namespace calendo
