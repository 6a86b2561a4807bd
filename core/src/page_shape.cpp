#include "calendo/page_shape.h"

#include <algorithm>

namespace calendo {

std::span<const int16_t> shape_page(PageShape shape, std::size_t count, PageWork& work) {
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
      return out.first(expand_7_to_8(x, out));
    case Shape::Expand7to11:
      return out.first(expand_7_to_11(x, out));
    case Shape::Repeat7to11:
      repeat_7_to_11(x, out);
      return out.first(kSamples7to11);
    case Shape::Expand8to11:
      return out.first(repeat_8_to_11(x, shape.n, out));
    case Shape::RepeatHeads7:
      return out.first(repeat_heads_7(x, out));
  }
  return x;
}

std::span<const int16_t> decode_page(Adpcm& codec, std::span<const uint8_t> codes, int code_bits,
                                     PageShape shape, PageWork& work) {
  codec.decode(codes.data(), codes.size(), code_bits, work.decoded.data());
  return shape_page(shape, codes.size(), work);
}

}  // namespace calendo
