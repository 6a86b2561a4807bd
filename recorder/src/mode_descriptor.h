// The limits a mode descriptor must meet so that one page of it fits the
// callers' buffers: the code area of a vqr page (512 bytes) and 2048 codes.
#pragma once

#include <cstdint>

namespace kestrune {

inline constexpr int kCodeAreaBytes = 512;
inline constexpr int kMaxCodes = 2048;

// Codes in a stream of 8 * code_bytes + extra_bits bits.
constexpr int32_t code_count(int32_t code_bits, int32_t code_bytes, int32_t extra_bits) {
  return (8 * code_bytes + extra_bits) / code_bits;
}

// True for 2, 3 or 4 code bits, 0 to 8 extra bits, at most 512 bytes counting
// the byte of the extra bits, and at most 2048 codes.
constexpr bool descriptor_fits_page(int32_t code_bits, int32_t code_bytes, int32_t extra_bits) {
  if (code_bits < 2 || code_bits > 4) return false;
  if (extra_bits < 0 || extra_bits > 8 || code_bytes < 0) return false;
  if (code_bytes + (extra_bits > 0 ? 1 : 0) > kCodeAreaBytes) return false;
  return code_count(code_bits, code_bytes, extra_bits) <= kMaxCodes;
}

}  // namespace kestrune
