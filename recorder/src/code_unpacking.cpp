// pb_exdata: packed code words to one code per byte.
#include "kestrune.h"
#include "mode_descriptor.h"

extern "C" int32_t pb_exdata(int16_t code_bits, int16_t code_bytes, int16_t extra_bits,
                             const uint8_t* packed, uint8_t* codes) {
  using namespace kestrune;
  if (!descriptor_fits_page(code_bits, code_bytes, extra_bits)) return 0;
  if (packed == nullptr || codes == nullptr) return 0;
  const int32_t count = code_count(code_bits, code_bytes, extra_bits);
  const auto mask = static_cast<uint32_t>((1u << code_bits) - 1);
  // The stream runs least significant bit first; a byte is taken only when the
  // next code needs its bits, so no byte past the last code is read.
  uint32_t bits = 0;
  int held = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (held < code_bits) {
      bits |= static_cast<uint32_t>(*packed++) << held;
      held += 8;
    }
    codes[i] = static_cast<uint8_t>(bits & mask);
    bits >>= code_bits;
    held -= code_bits;
  }
  return count;
}
