// The line that ends a conversion of many files: what became of them, how
// much audio they held and how fast it went.
#pragma once

#include <cstddef>
#include <string>

namespace calendo::tool {

struct RunTally {
  size_t converted = 0;
  size_t failed = 0;
  size_t skipped = 0;  // no recorder file, or its output exists (--skip-existing)
  double audio_seconds = 0;
  size_t damaged = 0;  // files named as recordings that are none (not counted as failed)
};

// "12 converted, 1 failed, 3 skipped; 2.4 h of audio in 61 s (142× real
// time)". The audio in s, min or h by its size; no speed for no audio or
// no time. Damaged files, when there are any, follow the failed ones:
// "2 converted, 0 failed, 3 damaged, 1 skipped; ...".
std::string SummaryLine(const RunTally& tally, double wall_seconds);

// The play time of the audio file at `path` (any format written), or 0 when
// it cannot be read.
double AudioSeconds(const std::string& path);

}  // namespace calendo::tool
