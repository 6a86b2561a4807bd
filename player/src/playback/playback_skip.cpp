#include "playback/playback_skip.h"

#include <cmath>
#include <span>

namespace calendo {

PlaybackSkip::PlaybackSkip(std::shared_ptr<const WaveformPeaks> peaks,
                           std::vector<SampleStretch> pauses, double tempo)
    : peaks_(std::move(peaks)), pauses_(std::move(pauses)) {
  const double rate = peaks_ ? static_cast<double>(peaks_->sample_rate) : 0.0;
  cut_.keep = static_cast<uint64_t>(std::lround(kKeptSeconds * rate * tempo));
  cut_.fade = static_cast<uint32_t>(std::lround(kFadeSeconds * rate * tempo));
}

int32_t PlaybackSkip::Apply(int32_t page, int16_t* samples, int32_t count) const {
  if (!peaks_ || samples == nullptr || count <= 0 || page < 0) return count;
  const auto index = static_cast<std::size_t>(page);
  if (index >= peaks_->page_starts.size()) return count;
  const std::size_t kept = skip_pauses(std::span<int16_t>(samples, static_cast<std::size_t>(count)),
                                       peaks_->page_starts[index], pauses_, cut_);
  if (kept > 0) return static_cast<int32_t>(kept);
  samples[0] = 0;
  return 1;
}

}  // namespace calendo
