// A small writer of recorder files for tests: vqr files (92-byte header, 528-byte
// pages) and vqm files (magic, mode byte, chunk directory, audio with gaps).
//
// Every field has the value a recorder writes by default; tests change the fields
// they care about, or edit the returned bytes, to craft damaged files. All
// functions throw std::invalid_argument or std::runtime_error on misuse or I/O
// failure (this is test code). Nothing here is thread-safe beyond what
// independent objects give.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "calendo/vqm_format.h"
#include "calendo/vqr_format.h"
#include "testing/temp_dir.h"  // the folder most tests write their files in

namespace testkit {

using Bytes = std::vector<uint8_t>;

// Packs the low `bits` bits of each code into `area`, least significant bit
// first, starting at bit 0 of area[0]. Bits outside the codes are left as they are.
void pack_codes(std::span<const uint8_t> codes, int bits, std::span<uint8_t> area);
// The same into a fresh zero-filled area just long enough for the codes.
Bytes pack_codes(std::span<const uint8_t> codes, int bits);

void write_file(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// ---- vqr container ----------------------------------------------------------

inline constexpr size_t kVqrHeaderSize = calendo::kVqrHeaderSize;
inline constexpr size_t kVqrPageSize = calendo::kVqrPageSize;

// Rate code, code bits, code bytes per page, extra bits (bytes 61-65 / 66-70).
struct ModeDescriptor {
  uint8_t rate_code;
  uint8_t code_bits;
  uint16_t code_bytes;
  uint8_t extra_bits;
};

inline constexpr ModeDescriptor kVqrSp{11, 3, 510, 0};
inline constexpr ModeDescriptor kVqrLp{7, 2, 511, 4};

// The header; fields left empty are computed from the file when it is built.
struct VqrHeader {
  std::string magic = "OIFF";           // 0, four bytes
  std::optional<uint32_t> riff_size;    // 4, default file size - 8
  std::string wave = "WAVE";            // 8
  std::string fmt = "fmt ";             // 12
  uint32_t fmt_length = 64;             // 16; bytes 20-55 are 0xFF
  std::optional<uint16_t> seconds;      // 56, default recording length in seconds
  uint16_t page_size = kVqrPageSize;    // 58
  uint8_t file_mode = 0;                // 60
  ModeDescriptor sp = kVqrSp;           // 61
  ModeDescriptor lp = kVqrLp;           // 66
  std::optional<uint16_t> sp_length;    // 71, default recording length in seconds
  uint16_t lp_length = 0;               // 73
  std::optional<uint32_t> sp_pages;     // 75, default number of whole pages
  uint32_t lp_pages = 0;                // 79; byte 83 is 0xFF
  std::string data = "data";            // 84
  std::optional<uint32_t> data_length;  // 88, default file size - 92
};

// One 528-byte page: code area 0-511, mode flag at 512, trailer 513-527 (0xFF).
struct VqrPage {
  std::array<uint8_t, kVqrPageSize> bytes{};
  uint8_t& flag() { return bytes[calendo::kVqrFlagOffset]; }
  std::span<uint8_t> code_area() { return std::span(bytes).first(calendo::kCodeAreaBytes); }
};

// An SP page (flag 0): up to 1360 3-bit codes in bytes 0-509, bytes 510-511 0xFF.
VqrPage vqr_sp_page(std::span<const uint8_t> codes = {});
// An LP page (flag 1): up to 2046 2-bit codes in bytes 0-510 and the low nibble of 511.
VqrPage vqr_lp_page(std::span<const uint8_t> codes = {});

struct VqrFile {
  VqrHeader header;
  std::vector<VqrPage> pages;
  Bytes trailing;  // raw bytes after the last page (a partial page)

  Bytes bytes() const;
  Bytes write(const std::filesystem::path& path) const;  // writes and returns the bytes
};

// ---- vqm container ----------------------------------------------------------

inline constexpr size_t kVqmPageSize = calendo::kVqmPageSize;
inline constexpr size_t kVqmDirectoryOffset = calendo::kVqmDirectoryOffset;

// A gap in the audio: `audio_before` audio bytes come between the end of the
// previous gap (or the audio base) and this gap. A gap without a length has
// only its opening type-4 entry and no bytes of its own (an unclosed gap).
struct VqmGap {
  uint32_t audio_before;
  std::optional<uint32_t> length;
};

struct VqmEntry {
  uint8_t type;
  uint32_t length;  // written big-endian
};

// Layout: bytes 0-79 (magic at 0, mode at 61), the directory at 80, then the
// extra chunks, then the audio with the gaps' bytes (filled with gap_fill)
// in their places. The built directory is: type 1 of length 80 (the head),
// type 2 of the directory's own length (so byte 92 holds the directory length),
// one type-1 entry per extra chunk, then a type-4 entry per gap and a type-3
// entry per closed gap.
struct VqmFile {
  std::string magic = "VQ_VOICE";
  uint8_t mode = 5;  // 5 = SP throughout, anything else = LP
  std::vector<uint32_t> extra_chunks;
  Bytes audio;
  std::vector<VqmGap> gaps;
  uint8_t gap_fill = 0xEE;
  uint8_t chunk_fill = 0xCC;
  // Raw overrides for damaged directories: replace the built entries (the body
  // stays where the built directory would put it, or follows a longer override),
  // then overwrite the four bytes at 92.
  std::optional<std::vector<VqmEntry>> directory_override;
  std::optional<uint32_t> directory_length_override;

  std::vector<VqmEntry> directory() const;  // the built directory
  uint32_t audio_base() const;              // offset of the first audio byte
  Bytes bytes() const;
  Bytes write(const std::filesystem::path& path) const;
};

}  // namespace testkit
