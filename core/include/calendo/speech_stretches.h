// Where a recording speaks and where it pauses, judged against its own noise
// floor: recorders hiss, and how loud the hiss is differs from one recording
// (and recorder) to the next, so no fixed level tells a pause. The floor is a
// low percentile of the loudness of the overview's short blocks
// (waveform_peaks.h); a block is quiet when it stays within a margin above
// the floor, and a pause is a run of quiet blocks at least min_pause_seconds
// long. Everything else is speech. Plain functions: any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "calendo/waveform_peaks.h"

namespace calendo {

struct SilenceSettings {
  double min_pause_seconds = 0.7;
  double floor_percentile = 0.05;  // of the blocks' loudness
  double margin_db = 10.0;         // above the floor, still quiet
  float quietest_level = 16.0f;    // a quiet block's RMS may always reach this (about -66 dBFS)
};

// A stretch of samples [begin, end).
struct SampleStretch {
  uint64_t begin = 0;
  uint64_t end = 0;
  bool operator==(const SampleStretch&) const = default;
};

// The RMS below which a block of `peaks` counts as quiet.
float quiet_level(const WaveformPeaks& peaks, const SilenceSettings& settings = {});

// The speech stretches of `peaks`, in order: what lies between its pauses.
// A recording without pauses is one stretch; one all quiet has none.
std::vector<SampleStretch> find_speech(const WaveformPeaks& peaks,
                                       const SilenceSettings& settings = {});

// The pauses: the stretches between (and around) the speech.
std::vector<SampleStretch> find_pauses(const WaveformPeaks& peaks,
                                       const SilenceSettings& settings = {});

}  // namespace calendo
