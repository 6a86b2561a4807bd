// One pass over a whole image that notes where recordings may lie: the flag
// of every vqr page (at any alignment), and every sector that opens a vqr or
// vqm header. Sectors the source cannot give are noted too and read as zeros.
// The pass reads large blocks in order, so it runs at the speed of the
// medium; the later steps read only the clusters it points at.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "calendo/byte_source.h"

namespace calendo::rescue {

inline constexpr uint64_t kSectorSize = 512;

struct ScanIndex {
  // Page flags as (image offset << 1 | mode), ascending.
  std::vector<uint64_t> flags;
  std::vector<uint64_t> vqr_headers;  // sector offsets, ascending
  std::vector<uint64_t> vqm_headers;
  std::vector<uint64_t> unreadable;  // sector offsets
  uint64_t scanned = 0;              // bytes looked at
  bool stopped = false;              // the pass was stopped before the end

  static uint64_t flag_at(uint64_t entry) { return entry >> 1; }
  static int flag_mode(uint64_t entry) { return static_cast<int>(entry & 1); }
  // Whether a page flag stands at `offset` (with its mode), by binary search.
  bool has_flag(uint64_t offset) const;
  int mode_of_flag(uint64_t offset) const;  // REQUIRES: has_flag(offset)
  bool has_header(uint64_t offset) const;
  bool is_unreadable(uint64_t sector) const;
};

// Called after each block with the bytes looked at so far.
using ScanProgress = std::function<void(uint64_t scanned)>;

// Scans `image` from the start; stops early (stopped = true) when `stop` is set.
ScanIndex scan_image(const ByteSource& image, const ScanProgress& progress,
                     const std::atomic<bool>& stop);

}  // namespace calendo::rescue
