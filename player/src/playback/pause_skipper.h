// Skipping silence: the middle of each long pause is cut out of the decoded
// samples before they are played, so that only `keep` samples of it remain
// (half from its start, half from its end, so that the speech on both sides
// keeps its own lead-in and tail). The sound fades out over `fade` samples
// just before the cut and back in over `fade` samples just after it, inside
// the pause, so the joint does not click and no word is touched.
//
// Every sample's fate depends only on its position in the recording, so the
// samples may come in pieces of any length and in any order (pages played
// backward too). Plain functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "calendo/speech_stretches.h"

namespace calendo {

struct PauseCut {
  uint64_t keep = 0;  // samples of each pause left in place
  uint32_t fade = 0;  // samples of each fade; at most half of `keep` is used
};

// Removes the cut parts of `pauses` (in order, not overlapping) from
// `samples`, whose first sample is sample `first` of the recording, and fades
// the samples next to each cut. The kept samples move to the front of
// `samples` in order; returns how many there are.
std::size_t skip_pauses(std::span<int16_t> samples, uint64_t first,
                        std::span<const SampleStretch> pauses, const PauseCut& cut);

// How many samples skip_pauses() takes out of a whole recording.
uint64_t samples_skipped(std::span<const SampleStretch> pauses, const PauseCut& cut);

}  // namespace calendo
