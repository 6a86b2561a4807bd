// Whether a vqr header stands at an offset of an image, and what it tells:
// the file mode (which page modes follow) and, once the recorder finished
// the file, its length. The header's own fields are read by the core; a
// header whose counts are 0 (never finished) or do not agree is still a
// header, with no length.
#pragma once

#include <cstdint>
#include <optional>

#include "calendo/byte_source.h"
#include "vqr_page_check.h"

namespace calendo::rescue {

struct VqrHeaderFacts {
  bool readable = false;  // the core accepts its fields as they are
  ModeRule modes = ModeRule::Either;
  std::optional<uint64_t> file_size;  // header and pages, when the counts say it
};

// Nothing when no "OIFF....WAVE" opens the bytes at `at`.
std::optional<VqrHeaderFacts> check_vqr_header(const ByteSource& image, uint64_t at);

}  // namespace calendo::rescue
