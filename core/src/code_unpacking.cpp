#include "calendo/code_unpacking.h"

namespace calendo {

void unpack_codes(const uint8_t* packed, std::size_t count, int code_bits, uint8_t* codes) {
  const auto mask = static_cast<uint32_t>((1u << code_bits) - 1);
  // A byte is taken only when the next code needs its bits, so no byte past
  // the last code is read.
  uint32_t bits = 0;
  int held = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (held < code_bits) {
      bits |= static_cast<uint32_t>(*packed++) << held;
      held += 8;
    }
    codes[i] = static_cast<uint8_t>(bits & mask);
    bits >>= code_bits;
    held -= code_bits;
  }
}

}  // namespace calendo
