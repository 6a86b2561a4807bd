// The 92-byte header a vqr file of the standard layout starts with, as the
// project writes it: the encoder for a file made from a WAV file, the rescue
// for a recording whose header was lost or never completed. Pure functions:
// any thread.
#pragma once

#include <array>
#include <cstdint>

#include "calendo/vqr_format.h"

namespace calendo {

struct VqrHeaderValues {
  uint32_t size = 0;       // of the whole file, header included
  uint16_t seconds = 0;    // 56: length in the file's own rate
  uint8_t file_mode = 0;   // 60: 0 = SP, 1 = LP
  uint8_t sp_bits = 3;     // 62
  uint16_t sp_length = 0;  // 71: length at 11025 Hz
};

// SP descriptor 11 kHz 3-bit (or sp_bits) over 510 bytes, LP 7 kHz 2-bit over
// 511 bytes and 4 bits; the page count, in the low three bytes of the SP page
// field, and the data length follow from the size.
std::array<uint8_t, kVqrHeaderSize> vqr_header_bytes(const VqrHeaderValues& values);

}  // namespace calendo
