// One page from codes to output samples: decode with the library's codec into a
// fixed work array, then bring the samples to the output rate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "calendo/adpcm.h"
#include "calendo/pcm_rate.h"
#include "calendo/vqr_format.h"

namespace tesmor {

inline constexpr std::size_t kMaxCodes = 2500;
inline constexpr std::size_t kMaxSamples = 3502;
static_assert(calendo::kRepeat7to11Capacity <= kMaxSamples);
static_assert(calendo::kGroupsOf8At2Bits * 11 <= kMaxSamples);

inline bool valid_out_bits(int out_bits) {
  return out_bits == 1 || out_bits == 2;
}

// How the decoded samples of a page become output samples.
enum class Shape {
  AsDecoded,     // the decoded samples
  Fixed,         // exactly n samples: the decoded ones, cut or followed by zeros
  Expand7to8,    // smoothed, 2338
  Expand7to11,   // smoothed, 3215
  Expand8to11,   // n groups of 8, unsmoothed
  RepeatHeads7,  // heads of groups of 7 twice, below code 2043
};

struct PageShape {
  Shape shape = Shape::AsDecoded;
  std::size_t n = 0;
};

// 8 kHz pages: 256 groups of 8 at 2 bits per code, 128 otherwise.
inline std::size_t groups_of_8(int code_bits) {
  return code_bits == 2 ? calendo::kGroupsOf8At2Bits : calendo::kGroupsOf8Otherwise;
}

// Work arrays of one page, on the caller's stack.
struct PageWork {
  std::array<int16_t, kMaxCodes> decoded;
  std::array<int16_t, kMaxSamples> out;
};

// Decodes `codes` (at most kMaxCodes) and shapes them; the result lives in `work`.
std::span<const int16_t> decode_page(calendo::Adpcm& codec, std::span<const uint8_t> codes,
                                     int code_bits, PageShape shape, PageWork& work);

}  // namespace tesmor
