#include "page_decode.h"

#include <algorithm>

namespace tesmor {

std::span<const int16_t> decode_page(calendo::Adpcm& codec, std::span<const uint8_t> codes,
                                     int code_bits, PageShape shape, PageWork& work) {
  const std::size_t count = codes.size();
  codec.decode(codes.data(), count, code_bits, work.decoded.data());
  const std::span<const int16_t> x(work.decoded.data(), count);
  const std::span<int16_t> out(work.out);
  switch (shape.shape) {
    case Shape::AsDecoded:
      return x;
    case Shape::Fixed:
      if (shape.n > count)
        std::fill(work.decoded.begin() + count, work.decoded.begin() + shape.n, 0);
      return {work.decoded.data(), shape.n};
    case Shape::Expand7to8:
      return out.first(calendo::expand_7_to_8(x, out));
    case Shape::Expand7to11:
      return out.first(calendo::expand_7_to_11(x, out));
    case Shape::Expand8to11:
      return out.first(calendo::repeat_8_to_11(x, shape.n, out));
    case Shape::RepeatHeads7:
      return out.first(calendo::repeat_heads_7(x, out));
  }
  return x;
}

void unpack_codes(const uint8_t* packed, std::size_t count, int code_bits, uint8_t* codes) {
  const auto mask = static_cast<uint32_t>((1u << code_bits) - 1);
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

}  // namespace tesmor
