// The pauses one playback skips (pause_skipper.h), fixed when it starts:
// the overview's pauses, where its pages start in the recording, and a cut
// sized for the tempo heard, so that each pause sounds 0.25 s long with
// 10 ms fades whatever the speed or mode.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"
#include "playback/pause_skipper.h"

namespace calendo {

class PlaybackSkip {
 public:
  static constexpr double kKeptSeconds = 0.25;
  static constexpr double kFadeSeconds = 0.01;

  // `tempo` is how many seconds of the recording one second of play covers
  // (the speed in play, 2 in cue and review).
  PlaybackSkip(std::shared_ptr<const WaveformPeaks> peaks, std::vector<SampleStretch> pauses,
               double tempo);

  // Skips within page `page`'s `count` decoded samples, in place; returns
  // how many are left. A page cut whole keeps one silent sample: the output
  // counts blocks, and each page stays one block that plays.
  int32_t Apply(int32_t page, int16_t* samples, int32_t count) const;

  const PauseCut& cut() const { return cut_; }

 private:
  std::shared_ptr<const WaveformPeaks> peaks_;
  std::vector<SampleStretch> pauses_;
  PauseCut cut_;
};

}  // namespace calendo
