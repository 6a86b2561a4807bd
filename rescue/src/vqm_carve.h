// Where a vqm recording ends. Its pages carry no marks, so a recording is
// taken from its header on, contiguous, for the length its directory entry
// gives, or without one up to the first cluster that cannot be its own: a
// cluster a live file owns or a recovered recording holds, one that opens a
// header or holds vqr pages, one of a single repeated byte, or the end of the
// image. Zeros that fill the rest of the last cluster are no audio: the
// length is cut back to the page that holds the last other byte.
#pragma once

#include <cstdint>
#include <optional>

#include "calendo/byte_source.h"
#include "card_layout.h"
#include "page_scan.h"

namespace calendo::rescue {

struct VqmCarve {
  uint64_t size = 0;
  uint32_t pages = 0;
  uint32_t page_ms = 0;
  bool cut_short = false;  // a known length ran into another file or past the image
};

std::optional<VqmCarve> carve_vqm_at(const ByteSource& image, const CardLayout& layout,
                                     const ScanIndex& index, uint64_t at,
                                     std::optional<uint64_t> size);

}  // namespace calendo::rescue
