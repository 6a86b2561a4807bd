// One description of a recorder file, whichever its container: the parameters
// of its two modes (0 = SP, 1 = LP), the header's length and page fields, its
// count of whole pages and, for a vqm file, where its audio starts and which
// gaps interrupt it. read_recording() checks the header and fills it; a
// refused file names the first field that fails. The description is a value
// the caller owns; reading keeps no state, so any thread may read any file.
#pragma once

#include <array>
#include <cstdint>

#include "calendo/recorder_file.h"
#include "calendo/result.h"
#include "calendo/vqm_format.h"
#include "calendo/vqr_format.h"

namespace calendo {

enum class Container { Vqr, Vqm };

struct ModeDescriptor {
  int rate_code = 0;  // nominal kHz: 7, 8 or 11
  int code_bits = 0;  // 2, 3 or 4
  uint16_t code_bytes = 0;
  uint16_t extra_bits = 0;

  int codes() const { return code_count(code_bits, code_bytes, extra_bits); }
  uint32_t page_ms() const { return static_cast<uint32_t>(codes() / rate_code); }
};

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
// directory; the modes are the fixed vqm ones (11 kHz 3-bit and 8 kHz 2-bit
// over 510 code bytes) and the page field of the file's mode is set.
Result<Recording> read_recording(const RecorderFile& file, Container container);

}  // namespace calendo
