#include "vqr_page_check.h"

#include <algorithm>

namespace calendo::rescue {

std::optional<int> vqr_page_check(std::span<const uint8_t, kVqrPageSize> page) {
  const MarkCheck check = check_marks(page, kVqrHeaderSize, ModeRule::Either);
  if (!check.all_good()) return std::nullopt;
  return page[kVqrFlagOffset] & 1;
}

bool has_zero_run(std::span<const uint8_t> bytes) {
  constexpr std::size_t kZeroRun = 64;
  std::size_t run = 0;
  for (const uint8_t b : bytes) {
    run = b == 0 ? run + 1 : 0;
    if (run >= kZeroRun) return true;
  }
  return false;
}

MarkCheck check_marks(std::span<const uint8_t> bytes, uint64_t file_at, ModeRule rule) {
  MarkCheck check;
  const uint64_t end = file_at + bytes.size();
  // The first page whose marks [p + 510, p + 528) reach into the window.
  uint64_t page = 0;
  if (file_at > kVqrHeaderSize + kVqrPageSize)
    page = (file_at - kVqrHeaderSize - kVqrPageSize) / kVqrPageSize;
  for (;; ++page) {
    const uint64_t start = vqr_page_offset(page);
    const uint64_t marks = start + kSpFillOffset;
    if (marks >= end) break;
    if (start + kVqrPageSize <= file_at) continue;
    const auto inside = [&](uint64_t at) { return at >= file_at && at < end; };
    const auto byte = [&](uint64_t at) { return bytes[at - file_at]; };

    bool good = true;
    const uint64_t flag_at = start + kVqrFlagOffset;
    if (inside(flag_at)) {
      const uint8_t flag = byte(flag_at);
      good = flag <= 1 && mode_allowed(rule, flag);
      if (good && flag == 0) {
        for (uint64_t at = marks; at < flag_at; ++at)
          if (inside(at) && byte(at) != 0xFF) good = false;
      }
    }
    const uint64_t trailer_end = std::min(start + kVqrPageSize, end);
    for (uint64_t at = std::max(flag_at + 1, file_at); good && at < trailer_end; ++at)
      if (byte(at) != 0xFF) good = false;
    if (!inside(flag_at) && trailer_end <= std::max(flag_at + 1, file_at)) {
      // Only the SP fill bytes lie inside, and without the flag they say nothing.
      continue;
    }

    ++check.pages;
    if (good) {
      ++check.good;
      if (check.bad_seen) {
        ++check.good_after_bad;
      } else if (start + kVqrPageSize <= end && marks >= file_at) {
        check.whole_end = start + kVqrPageSize;
      }
    } else {
      check.bad_seen = true;
    }
  }
  return check;
}

}  // namespace calendo::rescue
