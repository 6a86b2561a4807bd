#include "playback/volume_gain.h"

#include <algorithm>
#include <cmath>

#include "calendo/loudness.h"

namespace calendo {

bool IsVolumeStep(int32_t db) {
  return std::find(kVolumeStepsDb.begin(), kVolumeStepsDb.end(), db) != kVolumeStepsDb.end();
}

void ApplyVolumeGain(std::span<int16_t> samples, int32_t db) {
  if (db == 0) return;
  ApplyPlaybackGain(samples, std::pow(10.0, db / 20.0));
}

void ApplyPlaybackGain(std::span<int16_t> samples, double factor) {
  if (factor == 1.0) return;
  ApplyGain(samples, factor);  // as calendo-convert --normalize rounds and holds
}

}  // namespace calendo
