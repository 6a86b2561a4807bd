// The header block that starts every stream: a WAV header, then PCM bytes.
//
//   0 "RIFF"   8 "WAVE"   12 "fmt "   16 L (format block length, at most 18)
//   20 format block (L bytes)   20+L "data"   24+L D (PCM bytes of the whole
//   stream)   28+L the first PCM bytes.
// No other chunk may stand between the format block and "data"; the block is
// at least 100 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/waveout.h"

namespace sondrel {

inline constexpr std::size_t kHeaderBlockMinimum = 100;
inline constexpr std::uint32_t kFormatBlockMaximum = 18;

struct HeaderBlock {
  std::uint32_t format_length = 0;  // L
  std::uint32_t stream_bytes = 0;   // D
  std::size_t pcm_offset = 0;       // 28 + L
  platform::WaveFormat format;      // the L bytes, zero-extended to 18
};

// The header of `block`, or nullopt when it is no header block.
std::optional<HeaderBlock> parse_header_block(const std::uint8_t* block, std::size_t length);

}  // namespace sondrel
