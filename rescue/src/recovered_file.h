// The bytes of a recovered vqr recording: its header and its pages as the
// chain of fragments holds them. Where nothing was damaged and the header's
// counts agree, the file is the original byte for byte. Otherwise every page
// whose marks are wrong or whose bytes were zeroed or unreadable becomes a
// page of silence of the same mode (so the times after it stay right), a
// page cut off at the end is dropped, and the header is made to count what
// is there: its own bytes with the counts set, or a new one when it is lost
// or unreadable.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "calendo/byte_source.h"
#include "recording_chain.h"

namespace calendo::rescue {

struct RecoveredVqr {
  std::vector<uint8_t> bytes;
  uint32_t pages = 0;
  uint32_t pages_lost = 0;  // replaced by silence
  uint32_t sp_pages = 0;
  uint64_t duration_ms = 0;
  bool exact = false;           // the chain's bytes unchanged
  bool header_rebuilt = false;  // lost, unreadable or never completed
};

// `first_page` is the chain's first page: 0 when the chain starts with its
// header, else the page number its first piece was given.
RecoveredVqr recover_vqr(const ByteSource& image, const Chain& chain, bool has_header,
                         uint64_t first_page);

}  // namespace calendo::rescue
