#include "playback/pause_skipper.h"

#include <algorithm>

namespace calendo {
namespace {

// The part of a pause that is cut, [begin, end), and the fade length at its
// sides; empty for a pause no longer than the part kept.
struct Cut {
  uint64_t begin = 0;
  uint64_t end = 0;
  uint64_t fade = 0;
};

Cut CutOf(const SampleStretch& pause, const PauseCut& cut) {
  if (pause.end <= pause.begin || pause.end - pause.begin <= cut.keep) return {};
  const uint64_t head = cut.keep / 2;
  const uint64_t tail = cut.keep - head;
  return {pause.begin + head, pause.end - tail, std::min<uint64_t>(cut.fade, head)};
}

}  // namespace

std::size_t skip_pauses(std::span<int16_t> samples, uint64_t first,
                        std::span<const SampleStretch> pauses, const PauseCut& cut) {
  // The first pause that may reach this piece.
  auto pause =
      std::lower_bound(pauses.begin(), pauses.end(), first,
                       [](const SampleStretch& stretch, uint64_t at) { return stretch.end <= at; });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const uint64_t at = first + i;
    while (pause != pauses.end() && pause->end <= at) ++pause;
    const Cut c = pause != pauses.end() ? CutOf(*pause, cut) : Cut{};
    if (c.begin == c.end) {
      samples[kept++] = samples[i];
      continue;
    }
    if (at >= c.begin && at < c.end) continue;
    // Gains step down towards the cut and up away from it; the sample next
    // to the cut is the quietest but not silent.
    double gain = 1.0;
    if (at < c.begin && c.begin - at <= c.fade) {
      gain = static_cast<double>(c.begin - at) / static_cast<double>(c.fade + 1);
    } else if (at >= c.end && at - c.end < c.fade) {
      gain = static_cast<double>(at - c.end + 1) / static_cast<double>(c.fade + 1);
    }
    samples[kept++] = static_cast<int16_t>(static_cast<double>(samples[i]) * gain);
  }
  return kept;
}

uint64_t samples_skipped(std::span<const SampleStretch> pauses, const PauseCut& cut) {
  uint64_t skipped = 0;
  for (const SampleStretch& pause : pauses) {
    const Cut c = CutOf(pause, cut);
    skipped += c.end - c.begin;
  }
  return skipped;
}

}  // namespace calendo
