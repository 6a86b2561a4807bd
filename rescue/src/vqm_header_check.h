// Whether a vqm header stands at an offset of an image: "VQ_VOICE" and a
// chunk directory the core can walk, which gives where the audio starts.
#pragma once

#include <cstdint>
#include <optional>

#include "calendo/byte_source.h"

namespace calendo::rescue {

struct VqmHeaderFacts {
  uint64_t audio_base = 0;  // bytes before the audio, from the header on
  uint64_t gap_total = 0;
};

std::optional<VqmHeaderFacts> check_vqm_header(const ByteSource& image, uint64_t at, uint64_t room);

}  // namespace calendo::rescue
