// The vqm container: the magic "VQ_VOICE", a chunk directory of 8-byte entries
// at 80 (its big-endian length at 92), then 510-byte pages of audio whose run
// the directory's gaps may interrupt. The mode byte at 61 gives every page's
// mode. Reading the directory gives the audio base and the gaps; page
// addressing turns a page number into the file stretches that hold it.
// Values and functions on the caller's objects: any thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/fault.h"

namespace calendo {

inline constexpr uint64_t kVqmPageSize = 510;
inline constexpr uint64_t kVqmDirectoryOffset = 80;
inline constexpr uint64_t kVqmEntrySize = 8;               // type, 3 bytes, big-endian length
inline constexpr uint64_t kVqmDirectoryLengthOffset = 92;  // big-endian byte count
inline constexpr uint64_t kVqmHeaderSize = kVqmDirectoryLengthOffset + 4;
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
Result<VqmLayout> read_vqm_layout(const ByteSource& file);

// Whole pages of audio: (size - audio base - gaps) / 510, or 0 if that is negative.
uint32_t vqm_page_count(const ByteSource& file, const VqmLayout& layout);

// The 510 audio bytes of page `page`, the gaps skipped; bytes past the end of
// the file, and every byte of a negative page number, read as 0xFF.
void read_vqm_page(const ByteSource& file, const VqmLayout& layout, int32_t page,
                   std::span<uint8_t, kVqmPageSize> out);

}  // namespace calendo
