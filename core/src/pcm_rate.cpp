#include "calendo/pcm_rate.h"

#include <algorithm>
#include <cstring>

namespace calendo {
namespace {

// Input k of a page, 0 past the decoded count.
inline int16_t at(std::span<const int16_t> x, std::size_t k) {
  return k < x.size() ? x[k] : 0;
}

// Writes each group's pattern of input offsets; `Pattern` lists the offset of
// every output sample within the group.
template <std::size_t GroupIn, std::size_t GroupOut>
std::size_t repeat_groups(std::span<const int16_t> x, std::size_t groups,
                          const std::array<uint8_t, GroupOut>& pattern, std::span<int16_t> out) {
  int16_t* y = out.data();
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t base = g * GroupIn;
    if (base + GroupIn <= x.size()) {
      for (uint8_t offset : pattern) *y++ = x[base + offset];
    } else {
      for (uint8_t offset : pattern) *y++ = at(x, base + offset);
    }
  }
  return groups * GroupOut;
}

constexpr std::array<uint8_t, 8> kPattern7to8{0, 0, 1, 2, 3, 4, 5, 6};
constexpr std::array<uint8_t, 11> kPattern7to11{0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6};
constexpr std::array<uint8_t, 11> kPattern8to11{0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7};

}  // namespace

std::size_t repeat_7_to_8(std::span<const int16_t> x, std::span<int16_t> out) {
  return repeat_groups<7>(x, kGroupsOf7, kPattern7to8, out);
}

std::size_t repeat_7_to_11(std::span<const int16_t> x, std::span<int16_t> out) {
  return repeat_groups<7>(x, kGroupsOf7, kPattern7to11, out);
}

std::size_t repeat_8_to_11(std::span<const int16_t> x, std::size_t groups, std::span<int16_t> out) {
  return repeat_groups<8>(x, groups, kPattern8to11, out);
}

void smooth_forward(std::span<int16_t> y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    y[i] = static_cast<int16_t>(y[i] / 2 + y[i + 1] / 2);
  }
}

std::size_t expand_7_to_8(std::span<const int16_t> x, std::span<int16_t> out) {
  repeat_7_to_8(x, out);
  smooth_forward(out, kSamples7to8);
  return kSamples7to8;
}

std::size_t expand_7_to_11(std::span<const int16_t> x, std::span<int16_t> out) {
  repeat_7_to_11(x, out);
  smooth_forward(out, kSamples7to11);
  return kSamples7to11;
}

std::size_t repeat_heads_7_count(std::size_t count) {
  const std::size_t heads = std::min(count, kHeadRepeatLimit);
  return count + (heads + 6) / 7;
}

std::size_t repeat_heads_7(std::span<const int16_t> x, std::span<int16_t> out) {
  int16_t* y = out.data();
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (k % 7 == 0 && k < kHeadRepeatLimit) *y++ = x[k];
    *y++ = x[k];
  }
  return static_cast<std::size_t>(y - out.data());
}

}  // namespace calendo
