#include "calendo/speech_stretches.h"

#include <algorithm>
#include <cmath>

namespace calendo {
namespace {

// The share of blocks below the loud ones, whose level shows whether the
// recording has pauses at all.
constexpr double kLoudPercentile = 0.9;

// Samples the blocks cover: the recording's length, once known.
uint64_t covered_samples(const WaveformPeaks& peaks) {
  if (peaks.total_samples > 0) return peaks.total_samples;
  return peaks.rms.size() * uint64_t{peaks.samples_per_peak};
}

}  // namespace

float quiet_level(const WaveformPeaks& peaks, const SilenceSettings& settings) {
  if (peaks.rms.empty()) return settings.quietest_level;
  std::vector<float> levels = peaks.rms;
  const double share = std::clamp(settings.floor_percentile, 0.0, 1.0);
  const auto at = static_cast<std::size_t>(share * static_cast<double>(levels.size() - 1));
  std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(at), levels.end());
  const double floor = levels[at];
  const double level = floor * std::pow(10.0, settings.margin_db / 20.0);
  // Where even the loud blocks stay within the margin, the recording has one
  // level throughout (talk without a pause, or hiss alone): only what is
  // quiet by any measure is a pause.
  const auto loud =
      static_cast<std::size_t>(kLoudPercentile * static_cast<double>(levels.size() - 1));
  std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(loud),
                   levels.end());
  if (levels[loud] < level) return settings.quietest_level;
  return std::max(static_cast<float>(level), settings.quietest_level);
}

std::vector<SampleStretch> find_pauses(const WaveformPeaks& peaks,
                                       const SilenceSettings& settings) {
  std::vector<SampleStretch> pauses;
  if (peaks.sample_rate == 0 || peaks.rms.empty()) return pauses;
  const float level = quiet_level(peaks, settings);
  const auto shortest =
      static_cast<uint64_t>(std::ceil(settings.min_pause_seconds * peaks.sample_rate));
  const uint64_t block = peaks.samples_per_peak;
  const uint64_t total = covered_samples(peaks);
  std::size_t i = 0;
  while (i < peaks.rms.size()) {
    if (peaks.rms[i] >= level) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < peaks.rms.size() && peaks.rms[j] < level) ++j;
    const SampleStretch pause{i * block, std::min<uint64_t>(j * block, total)};
    if (pause.end - pause.begin >= shortest) pauses.push_back(pause);
    i = j;
  }
  return pauses;
}

std::vector<SampleStretch> find_speech(const WaveformPeaks& peaks,
                                       const SilenceSettings& settings) {
  std::vector<SampleStretch> speech;
  const uint64_t total = covered_samples(peaks);
  uint64_t at = 0;
  for (const SampleStretch& pause : find_pauses(peaks, settings)) {
    if (pause.begin > at) speech.push_back({at, pause.begin});
    at = pause.end;
  }
  if (at < total) speech.push_back({at, total});
  return speech;
}

}  // namespace calendo
