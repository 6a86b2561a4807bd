// Sample-rate expansion by repetition of decoded pages (7 -> 8, 7 -> 11 and
// 8 -> 11 kHz, with the forward smoothing step), and the code count of a page.
//
// Expansions take the decoded samples of one page, x[0] ... x[count - 1], in
// fixed groups; wherever a group reaches past the decoded count the input reads
// as 0. They write whole groups into the caller's array and return how many
// samples they wrote; nothing allocates. Plain functions, no state: any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace calendo {

// Groups of 7 inputs that cover an LP page (293 x 7 = 2051 >= 2046 codes).
inline constexpr std::size_t kGroupsOf7 = 293;
// Groups of 8 inputs for 8 kHz pages: 256 at 2 bits per code, 128 otherwise.
inline constexpr std::size_t kGroupsOf8At2Bits = 256;
inline constexpr std::size_t kGroupsOf8Otherwise = 128;

// Samples a page gives after each expansion (the 7 -> 8 and 7 -> 11 counts cut
// the last group short).
inline constexpr std::size_t kSamples7to8 = 2338;
inline constexpr std::size_t kSamples7to11 = 3215;

// Output array sizes that hold every whole group the expansions write.
inline constexpr std::size_t kRepeat7to8Capacity = kGroupsOf7 * 8;    // 2344
inline constexpr std::size_t kRepeat7to11Capacity = kGroupsOf7 * 11;  // 3223

// x0 x0 x1 x2 x3 x4 x5 x6 for each of 293 groups of 7; returns 2344.
// REQUIRES: out.size() >= kRepeat7to8Capacity.
std::size_t repeat_7_to_8(std::span<const int16_t> x, std::span<int16_t> out);

// x0 x0 x1 x2 x2 x3 x4 x4 x5 x6 x6 for each of 293 groups of 7; returns 3223.
// REQUIRES: out.size() >= kRepeat7to11Capacity.
std::size_t repeat_7_to_11(std::span<const int16_t> x, std::span<int16_t> out);

// x0 x0 x1 x2 x3 x3 x4 x5 x6 x6 x7 for each of `groups` groups of 8; returns
// groups x 11. REQUIRES: out.size() >= groups * 11.
std::size_t repeat_8_to_11(std::span<const int16_t> x, std::size_t groups, std::span<int16_t> out);

// Forward smoothing in place: for i = 0 ... n - 1, y[i] = y[i] / 2 + y[i + 1] / 2,
// each half truncated toward zero, y[i + 1] still the unsmoothed value (the last
// step reads y[n], which is left as it is). REQUIRES: y.size() > n.
void smooth_forward(std::span<int16_t> y, std::size_t n);

// The 7 -> 8 expansion as the 8 kHz output of 7 kHz pages: repeat, then smooth
// the first 2338 samples; returns 2338. REQUIRES: out.size() >= kRepeat7to8Capacity.
std::size_t expand_7_to_8(std::span<const int16_t> x, std::span<int16_t> out);

// The 7 -> 11 expansion: repeat, then smooth the first 3215 samples; returns
// 3215. REQUIRES: out.size() >= kRepeat7to11Capacity.
std::size_t expand_7_to_11(std::span<const int16_t> x, std::span<int16_t> out);

// Index limit of the head repetition below: heads of groups at or past it are
// written once.
inline constexpr std::size_t kHeadRepeatLimit = 2043;

// Every decoded sample in order, the head of each group of 7 (index k with
// k mod 7 = 0 and k < 2043) written twice: the whole-file conversion of 7 kHz
// pages, 2338 samples from 2046 codes. Reads nothing past x. Returns the count
// written. REQUIRES: out.size() >= repeat_heads_7_count(x.size()).
std::size_t repeat_heads_7(std::span<const int16_t> x, std::span<int16_t> out);
std::size_t repeat_heads_7_count(std::size_t count);

// Codes a page's 512-byte code area holds at a mode's width: 2 bits 2046
// (2048 at rate code 8), 3 bits 1360 (170 groups of 3 bytes), 4 bits 1024.
constexpr std::size_t page_code_count(int code_bits, int rate_code) {
  switch (code_bits) {
    case 2:
      return rate_code == 8 ? 2048 : 2046;
    case 3:
      return 1360;
    default:
      return 1024;
  }
}

}  // namespace calendo
