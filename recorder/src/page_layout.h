// The page layouts a vqr file can be made in: how many code words of how many
// bits one 528-byte page holds, and the mode flag the page carries.
#pragma once

#include <cstdint>
#include <optional>

#include "calendo/vqr_format.h"

namespace kestrune::making {

using calendo::kMaxStreamBits;
inline constexpr uint32_t kPageSize = calendo::kVqrPageSize;
inline constexpr uint32_t kHeaderSize = calendo::kVqrHeaderSize;
inline constexpr uint32_t kFlagOffset = calendo::kVqrFlagOffset;

struct PageLayout {
  uint32_t codes;  // code words per page
  int bits;        // 2, 3 or 4
  uint8_t flag;    // page mode flag at 512: 0 = SP, 1 = LP

  uint32_t code_bits_per_page() const { return codes * static_cast<uint32_t>(bits); }
};

// SP: 510 code bytes of 3-bit codes; LP: 511 code bytes and 4 extra bits of 2-bit codes.
inline constexpr PageLayout kSpLayout{1360, 3, 0};
inline constexpr PageLayout kLpLayout{2046, 2, 1};

// The layout of `code_bytes` bytes and `extra_bits` bits of `bits`-bit codes,
// flagged LP when the codes are 2-bit. Nothing when the code bits are not 2, 3
// or 4, or the stream is longer than 4096 bits or too short for one code.
inline std::optional<PageLayout> custom_layout(uint16_t code_bytes, uint16_t extra_bits,
                                               uint16_t bits) {
  if (bits < 2 || bits > 4) return std::nullopt;
  const uint32_t stream = 8u * code_bytes + extra_bits;
  if (stream > kMaxStreamBits || stream < bits) return std::nullopt;
  return PageLayout{stream / bits, bits, static_cast<uint8_t>(bits == 2 ? 1 : 0)};
}

}  // namespace kestrune::making
