// Blocks and message pumping for the wave output engine's measurements.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/memory.h"
#include "platform/messages.h"

namespace waveout_bench {

inline void put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A header block (mono PCM at `rate` Hz, 16 bits) announcing `stream_bytes`,
// followed by `pcm_bytes` zero bytes.
inline void* header_block(std::uint32_t stream_bytes, std::size_t pcm_bytes,
                          std::uint32_t rate = 11025) {
  auto* block = static_cast<std::uint8_t*>(platform::block_alloc(44 + pcm_bytes));
  std::memcpy(block, "RIFF", 4);
  put32(block + 4, stream_bytes + 36);
  std::memcpy(block + 8, "WAVEfmt ", 8);
  put32(block + 16, 16);
  block[20] = 1;
  block[22] = 1;
  put32(block + 24, rate);
  put32(block + 28, rate * 2);
  block[32] = 2;
  block[34] = 16;
  std::memcpy(block + 36, "data", 4);
  put32(block + 40, stream_bytes);
  return block;
}

inline void pump() {
  platform::Message message;
  while (platform::peek_message(message)) platform::dispatch_message(message);
}

}  // namespace waveout_bench
