// Fuzz target: the header block that starts every stream of the wave output
// engine, as the caller's side checks it and the worker reads its format.
#include <cstddef>
#include <cstdint>

#include "wav_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto header = sondrel::parse_header_block(data, size);
  if (header) {
    // What the engine relies on when it cuts the PCM bytes out of the block.
    if (header->format_length > sondrel::kFormatBlockMaximum) __builtin_trap();
    if (header->pcm_offset != 28 + header->format_length || header->pcm_offset > size) {
      __builtin_trap();
    }
  }
  return 0;
}
