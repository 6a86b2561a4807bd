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

}  // namespace tesmor
