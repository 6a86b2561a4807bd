// The chunk directory of a vqm file: where the audio starts and which
// stretches of the file interrupt it.
#pragma once

#include <cstdint>
#include <vector>

#include "recorder_file.h"
#include "result.h"

namespace kestrune {

inline constexpr uint64_t kVqmPageSize = 510;
inline constexpr uint64_t kVqmModeOffset = 61;
inline constexpr uint8_t kVqmSpMode = 5;
inline constexpr size_t kVqmMaxGaps = 5000;

// A closed gap, in file bytes relative to the audio base: [start, end).
struct VqmGap {
  uint64_t start;
  uint64_t end;
};

struct VqmLayout {
  uint64_t audio_base = 0;
  std::vector<VqmGap> gaps;  // in file order, start <= end <= next start
  uint64_t gap_total = 0;    // sum of the gaps' lengths
};

// Walks the directory (only entries wholly inside the file). Refuses
// (WrongKind) a directory that opens more than 5000 gaps.
Result<VqmLayout> read_vqm_layout(const RecorderFile& file);

// Whole pages of audio: (size - audio base - gaps) / 510, or 0 if that is negative.
uint32_t vqm_page_count(const RecorderFile& file, const VqmLayout& layout);

}  // namespace kestrune
