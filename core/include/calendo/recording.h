// One description of a recorder file, whichever its container: the parameters
// of its two modes (kSp, kLp), the header's length and page fields, its count
// of whole pages and, for a vqm file, where its audio starts and which gaps
// interrupt it. read_recording() checks the header and fills it; a refused
// file names the first field that fails. The page readers below give a page's
// bytes and the mode of every page. Everything reads a ByteSource and keeps
// no state: any thread may read any source.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "calendo/byte_source.h"
#include "calendo/container.h"
#include "calendo/fault.h"
#include "calendo/vqm_format.h"
#include "calendo/vqr_format.h"

namespace calendo {

// Page modes, as the SP/LP table holds them.
inline constexpr int kSp = 0;
inline constexpr int kLp = 1;

struct ModeDescriptor {
  int rate_code = 0;  // nominal kHz: 7, 8 or 11
  int code_bits = 0;  // 2, 3 or 4
  uint16_t code_bytes = 0;
  uint16_t extra_bits = 0;

  int codes() const { return code_count(code_bits, code_bytes, extra_bits); }
  uint32_t page_ms() const { return static_cast<uint32_t>(codes() / rate_code); }
  bool operator==(const ModeDescriptor&) const = default;
};

// A vqm file's pages have fixed modes: 11 kHz 3-bit and 8 kHz 2-bit codes over
// 510 bytes.
inline constexpr ModeDescriptor kVqmSp{11, 3, 510, 0};
inline constexpr ModeDescriptor kVqmLp{8, 2, 510, 0};

struct Recording {
  Container container = Container::Vqr;
  std::array<ModeDescriptor, 2> modes;
  std::array<uint16_t, 2> length_field{};  // recorded lengths as the header states them
  std::array<uint32_t, 2> page_field{};    // page numbers as the header states them
  uint32_t page_count = 0;                 // whole pages in the file
  VqmLayout vqm;                           // vqm only: audio base and gaps
};

// vqr: checks the magic, form and block names, the file mode, both mode
// descriptors (each must fit a page) and a page size that is not 0; the page
// count is (size - 92) / page size. vqm: checks the magic and walks the
// directory; the modes are the fixed vqm ones and the page field of the
// file's mode is set.
Result<Recording> read_recording(const ByteSource& file, Container container);

// The bytes of page `page`: for vqr the 528 bytes at its offset, for vqm the
// 510 audio bytes (gaps skipped) at the front of `out`, the rest untouched.
// Bytes past the end of the file, and every byte of a negative page, read as
// 0xFF.
void read_page(const ByteSource& file, const Recording& recording, int64_t page,
               std::span<uint8_t, kVqrPageSize> out);

// The 528 bytes of vqr page `page`, as read_page() gives them.
void read_vqr_page(const ByteSource& file, int64_t page, std::span<uint8_t, kVqrPageSize> out);

// The mode of a vqr page from its bytes (bit 0 of the flag at 512).
inline int vqr_page_mode(std::span<const uint8_t, kVqrPageSize> page) {
  return page[kVqrFlagOffset] & 1;
}
// The mode of every page of a vqm file (its mode byte at 61).
int vqm_file_mode(const ByteSource& file);

// Fills `table` with the mode of pages 0 .. table.size() - 1: a vqr page's
// flag bit (a page past the end of the file reads as LP, its flag 0xFF), a
// vqm file's mode for every page.
void read_page_modes(const ByteSource& file, Container container, std::span<uint8_t> table);

}  // namespace calendo
