// How smoothly the audio runs on across a join of two fragments: the pages
// around the join are decoded by the core's decoder, and the roughness and
// the level just after the join are held against those just before it. A
// wrong continuation starts another stream in the middle of a code word
// sequence, which the codec turns into a burst or a jump of level; the right
// one decodes as the recording did. Lower is smoother; 0 is no change.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "vqr_page_check.h"

namespace calendo::rescue {

// Fills `out` with the bytes of the joined file from file offset `at`.
using FileBytes = std::function<void(uint64_t at, std::span<uint8_t> out)>;

// `join_at` is the file offset where the second fragment starts; `mode` the
// mode of the pages before it.
double join_roughness(const FileBytes& joined, uint64_t join_at, int mode);

}  // namespace calendo::rescue
