// How one page's decoded samples become output samples, and which shape each
// way of decoding gives a page: the one place that knows a page's output
// count and rate.
//
// Decoding a page is: unpack its codes, decode them with a codec instance,
// then shape them (repeat, smooth, cut or pad) with pcm_rate.h's expansions.
// The shapes differ by use:
//  - conversion (to a WAV file page by page, and every player of a whole
//    recording): a recording of one mode keeps that mode's rate (11025 Hz for
//    rate code 11, else 8000 Hz: 7 kHz expanded to 8 kHz, 8 kHz pages cut or
//    padded to 1024 or 2048 samples); one with both modes goes to 11025 Hz;
//  - whole-file decoding by file mode: 7 kHz pages repeat the head of every
//    group of 7 instead, 8 and 11 kHz pages stay as decoded;
//  - real-time playback: 7 kHz pages expanded to 11025 Hz, smoothed; the
//    recorder library's own real-time decoding expands 8 kHz pages as well.
// Plain functions and values: any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "calendo/adpcm.h"
#include "calendo/pcm_rate.h"
#include "calendo/vqr_format.h"

namespace calendo {

inline constexpr uint32_t kRate11k = 11025;
inline constexpr uint32_t kRate8k = 8000;

// Codes one decode call takes at most (a page gives at most 2048).
inline constexpr std::size_t kMaxDecodeCodes = 2500;

enum class Shape {
  AsDecoded,     // the decoded samples
  Fixed,         // exactly n samples: the decoded ones, cut or followed by zeros
  Expand7to8,    // smoothed, 2338
  Expand7to11,   // smoothed, 3215
  Repeat7to11,   // unsmoothed, 3215
  Expand8to11,   // n groups of 8, unsmoothed
  RepeatHeads7,  // heads of groups of 7 twice, below code 2043
};

struct PageShape {
  Shape shape = Shape::AsDecoded;
  std::size_t n = 0;  // Fixed: samples; Expand8to11: groups

  bool operator==(const PageShape&) const = default;
};

// 8 kHz pages: 256 groups of 8 at 2 bits per code, 128 otherwise.
constexpr std::size_t groups_of_8(int code_bits) {
  return code_bits == 2 ? kGroupsOf8At2Bits : kGroupsOf8Otherwise;
}

// Samples a page of `codes` decoded samples gives in `shape`.
constexpr std::size_t shaped_count(PageShape shape, std::size_t codes) {
  switch (shape.shape) {
    case Shape::AsDecoded:
      return codes;
    case Shape::Fixed:
      return shape.n;
    case Shape::Expand7to8:
      return kSamples7to8;
    case Shape::Expand7to11:
    case Shape::Repeat7to11:
      return kSamples7to11;
    case Shape::Expand8to11:
      return shape.n * 11;
    case Shape::RepeatHeads7:
      return repeat_heads_7_count(codes);
  }
  return codes;
}

// Conversion: `to_11k` when the recording holds pages of both modes.
constexpr PageShape conversion_shape(int rate_code, int code_bits, bool to_11k) {
  switch (rate_code) {
    case 7:
      return {to_11k ? Shape::Expand7to11 : Shape::Expand7to8};
    case 8:
      // Kept at 8 kHz: the whole groups of 8, cut or padded to them.
      if (!to_11k) return {Shape::Fixed, groups_of_8(code_bits) * 8};
      return {Shape::Expand8to11, groups_of_8(code_bits)};
    default:
      return {Shape::AsDecoded};
  }
}

// The output rate of a conversion: 11025 Hz for both modes, else by the rate
// code of the one mode the recording holds.
constexpr uint32_t conversion_rate(int only_rate_code, bool both_modes) {
  return both_modes || only_rate_code == 11 ? kRate11k : kRate8k;
}

// Whole-file decoding: `mixed` when the file mode says pages of both modes.
constexpr PageShape whole_file_shape(int rate_code, int code_bits, bool mixed) {
  if (mixed) return conversion_shape(rate_code, code_bits, true);
  return {rate_code == 7 ? Shape::RepeatHeads7 : Shape::AsDecoded};
}

// Real-time playback at 11025 Hz, smoothed 7 kHz pages.
constexpr PageShape playback_shape(int rate_code) {
  return {rate_code == 7 ? Shape::Expand7to11 : Shape::AsDecoded};
}

// The recorder library's own real-time decoding: 7 and 8 kHz pages both reach
// 11025 Hz, unsmoothed.
constexpr PageShape realtime_shape(int rate_code, int code_bits) {
  switch (rate_code) {
    case 7:
      return {Shape::Repeat7to11};
    case 8:
      return {Shape::Expand8to11, groups_of_8(code_bits)};
    default:
      return {Shape::AsDecoded};
  }
}

// The standard page layouts, whose code counts a header counts with before
// any page is read: SP 1360 3-bit codes, LP 2046 2-bit codes.
inline constexpr std::size_t kStandardSpCodes = 1360;
inline constexpr std::size_t kStandardLpCodes = 2046;

// Samples a conversion announces for one page of a standard layout.
constexpr std::size_t announced_page_samples(bool lp, int rate_code, bool to_11k) {
  return shaped_count(conversion_shape(rate_code, lp ? 2 : 3, to_11k),
                      lp ? kStandardLpCodes : kStandardSpCodes);
}

// Room for the output of any shape of up to kMaxDecodeCodes codes.
inline constexpr std::size_t kMaxShapedSamples = 3502;
static_assert(kRepeat7to11Capacity <= kMaxShapedSamples);
static_assert(kGroupsOf8At2Bits * 11 <= kMaxShapedSamples);

// Work arrays of one page (on the caller's stack or in its object).
struct PageWork {
  std::array<int16_t, kMaxDecodeCodes> decoded;
  std::array<int16_t, kMaxShapedSamples> out;
};

// Shapes work.decoded[0 .. count) and returns the output (inside `work`).
// REQUIRES: count <= kMaxDecodeCodes; a Fixed n and Expand8to11 groups that
// fit the work arrays.
std::span<const int16_t> shape_page(PageShape shape, std::size_t count, PageWork& work);

// Decodes `codes` (at most kMaxDecodeCodes) with `codec`, then shapes them.
std::span<const int16_t> decode_page(Adpcm& codec, std::span<const uint8_t> codes, int code_bits,
                                     PageShape shape, PageWork& work);

}  // namespace calendo
