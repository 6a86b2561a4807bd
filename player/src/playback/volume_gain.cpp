#include "playback/volume_gain.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace calendo {

bool IsVolumeStep(int32_t db) {
  return std::find(kVolumeStepsDb.begin(), kVolumeStepsDb.end(), db) != kVolumeStepsDb.end();
}

void ApplyVolumeGain(std::span<int16_t> samples, int32_t db) {
  if (db == 0) return;
  const double gain = std::pow(10.0, db / 20.0);
  constexpr double kLowest = std::numeric_limits<int16_t>::min();
  constexpr double kHighest = std::numeric_limits<int16_t>::max();
  for (int16_t& sample : samples) {
    const double scaled = std::round(sample * gain);
    sample = static_cast<int16_t>(std::clamp(scaled, kLowest, kHighest));
  }
}

}  // namespace calendo
