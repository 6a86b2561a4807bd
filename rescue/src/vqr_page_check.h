// The marks every vqr page carries at fixed places, whatever its audio: the
// mode flag at 512 (0 SP, 1 LP), 15 trailer bytes 0xFF at 513-527, and in an
// SP page 0xFF at 510-511. Nothing else in a page tells it from other data,
// and no page carries a number: a run of pages is told by its marks standing
// at 528-byte steps, and a fragment's continuation by its marks standing at
// the offsets the page grid predicts. Pure functions: any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "calendo/vqr_format.h"

namespace calendo::rescue {

inline constexpr uint32_t kTrailerBytes = kVqrPageSize - kVqrFlagOffset - 1;  // 15
inline constexpr uint32_t kSpFillOffset = 510;  // SP pages: 0xFF at 510-511

// Which page modes a recording may go on in.
enum class ModeRule { Sp, Lp, Either };

constexpr bool mode_allowed(ModeRule rule, int mode) {
  return rule == ModeRule::Either || (rule == ModeRule::Sp ? mode == 0 : mode == 1);
}

// The mode of a whole page, or nothing when its marks are wrong.
std::optional<int> vqr_page_check(std::span<const uint8_t, kVqrPageSize> page);

// Whether `bytes` hold a zeroed stretch (64 zero bytes in a row), which no
// page's audio holds: a sector a card lost, read as zeros.
bool has_zero_run(std::span<const uint8_t> bytes);

// The marks of a recording's pages inside a window of its bytes.
struct MarkCheck {
  uint32_t pages = 0;     // pages with a mark byte inside the window
  uint32_t good = 0;      // of those, the ones whose marks inside are right
  bool bad_seen = false;  // a page's marks were wrong
  uint32_t good_after_bad = 0;
  // File offset just past the last page whose marks are all inside the
  // window and right, before the first wrong one (0: none).
  uint64_t whole_end = 0;

  bool all_good() const { return pages > 0 && good == pages; }
};

// `bytes` are the file's bytes from file offset `file_at` on (pages at
// 92 + 528 k). Every mark byte inside the window is checked; a page whose flag
// lies outside it is checked on its trailer alone.
MarkCheck check_marks(std::span<const uint8_t> bytes, uint64_t file_at, ModeRule rule);

}  // namespace calendo::rescue
