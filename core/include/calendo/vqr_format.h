// The vqr container: a 92-byte header, then 528-byte pages, each a 512-byte
// code area, the page's mode flag (bit 0: 0 = SP, 1 = LP) and a trailer. A
// mode descriptor (rate code, code bits, code bytes, extra bits) says how many
// codes a page of that mode packs, least significant bit first. Constants and
// pure functions only: any thread.
#pragma once

#include <cstdint>

namespace calendo {

inline constexpr uint32_t kVqrHeaderSize = 92;
inline constexpr uint32_t kVqrPageSize = 528;
inline constexpr uint32_t kVqrFlagOffset = 512;  // within a page
inline constexpr uint32_t kCodeAreaBytes = 512;
inline constexpr uint32_t kMaxStreamBits = 8 * kCodeAreaBytes;
inline constexpr int kMaxPageCodes = 2048;  // codes a page can give at most

// Header fields (offsets from the start of the file).
inline constexpr uint32_t kVqrMagicOffset = 0;         // "OIFF"
inline constexpr uint32_t kVqrFormOffset = 8;          // "WAVE"
inline constexpr uint32_t kVqrFormatBlockOffset = 12;  // "fmt "
inline constexpr uint32_t kVqrPageSizeOffset = 58;     // 16-bit page size
inline constexpr uint32_t kVqrFileModeOffset = 60;     // 0 = SP, 1 = LP, 2 = both
inline constexpr uint32_t kVqrSpModeOffset = 61;      // SP descriptor: rate, bits, bytes (2), extra
inline constexpr uint32_t kVqrLpModeOffset = 66;      // LP descriptor, same layout
inline constexpr uint32_t kVqrSpLengthOffset = 71;    // 16-bit recorded seconds, SP
inline constexpr uint32_t kVqrLpLengthOffset = 73;    // 16-bit recorded seconds, LP
inline constexpr uint32_t kVqrSpPagesOffset = 75;     // 32-bit page field, SP
inline constexpr uint32_t kVqrLpPagesOffset = 79;     // 32-bit page field, LP
inline constexpr uint32_t kVqrDataBlockOffset = 84;   // "data"
inline constexpr uint32_t kVqrDataLengthOffset = 88;  // 32-bit bytes of pages

// Within a mode descriptor.
inline constexpr uint32_t kDescriptorRate = 0;   // rate code, 1 byte
inline constexpr uint32_t kDescriptorBits = 1;   // code bits, 1 byte
inline constexpr uint32_t kDescriptorBytes = 2;  // code bytes, 16 bits
inline constexpr uint32_t kDescriptorExtra = 4;  // extra bits, 1 byte

// The file modes of the header at 60.
inline constexpr uint8_t kFileModeSp = 0;
inline constexpr uint8_t kFileModeLp = 1;
inline constexpr uint8_t kFileModeBoth = 2;

// File offset of page `page` (which may lie past the end of the file).
constexpr uint64_t vqr_page_offset(uint64_t page) {
  return kVqrHeaderSize + kVqrPageSize * page;
}

constexpr bool is_rate_code(int value) {
  return value == 7 || value == 8 || value == 11;
}
constexpr bool is_code_bits(int value) {
  return value >= 2 && value <= 4;
}

// Codes in a stream of 8 * code_bytes + extra_bits bits.
constexpr int32_t code_count(int32_t code_bits, int32_t code_bytes, int32_t extra_bits) {
  return (8 * code_bytes + extra_bits) / code_bits;
}

// True for 2, 3 or 4 code bits, 0 to 8 extra bits, at most 512 bytes counting
// the byte of the extra bits, and at most 2048 codes: a page of it fits a
// 528-byte page buffer and a 2048-code buffer.
constexpr bool descriptor_fits_page(int32_t code_bits, int32_t code_bytes, int32_t extra_bits) {
  if (!is_code_bits(code_bits)) return false;
  if (extra_bits < 0 || extra_bits > 8 || code_bytes < 0) return false;
  if (code_bytes + (extra_bits > 0 ? 1 : 0) > static_cast<int32_t>(kCodeAreaBytes)) return false;
  return code_count(code_bits, code_bytes, extra_bits) <= kMaxPageCodes;
}

}  // namespace calendo
