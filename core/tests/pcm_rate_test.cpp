#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

namespace calendo {
namespace {

// Samples 1, 2, 3, ... so that every output names the input it came from.
std::vector<int16_t> ramp(std::size_t count) {
  std::vector<int16_t> x(count);
  std::iota(x.begin(), x.end(), int16_t{1});
  return x;
}

TEST(PcmRate_Repeat, WritesEachGroupPattern) {
  const std::vector<int16_t> x = ramp(16);
  std::vector<int16_t> out(kRepeat7to11Capacity, -1);

  ASSERT_EQ(repeat_7_to_8(x, out), 2344u);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 16),
            (std::vector<int16_t>{1, 1, 2, 3, 4, 5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14}));

  ASSERT_EQ(repeat_7_to_11(x, out), 3223u);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 11),
            (std::vector<int16_t>{1, 1, 2, 3, 3, 4, 5, 5, 6, 7, 7}));

  ASSERT_EQ(repeat_8_to_11(x, kGroupsOf8Otherwise, out), 1408u);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 11),
            (std::vector<int16_t>{1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8}));
}

TEST(PcmRate_Repeat, ReadsZeroPastTheDecodedCount) {
  // An LP page of 2046 codes: the last group of 7 has two real inputs.
  const std::vector<int16_t> x(2046, 500);
  std::vector<int16_t> out(kRepeat7to11Capacity, -1);
  repeat_7_to_11(x, out);
  EXPECT_EQ(std::vector<int16_t>(out.begin() + 3212, out.begin() + 3223),
            (std::vector<int16_t>{500, 500, 500, 0, 0, 0, 0, 0, 0, 0, 0}));

  // A vqm LP page of 2040 codes over 256 groups of 8: the last group is all zeros.
  const std::vector<int16_t> y(2040, 7);
  std::vector<int16_t> out8(2816, -1);
  ASSERT_EQ(repeat_8_to_11(y, kGroupsOf8At2Bits, out8), 2816u);
  EXPECT_EQ(out8[2804], 7);
  for (std::size_t i = 2805; i < 2816; ++i) EXPECT_EQ(out8[i], 0) << i;
}

TEST(PcmRate_Expand, ConstantInputLosesOnlyTheRoundingOfTheHalves) {
  std::vector<int16_t> out(kRepeat7to11Capacity);

  const std::vector<int16_t> c(2046, 3);
  ASSERT_EQ(expand_7_to_11(c, out), kSamples7to11);
  for (std::size_t i = 0; i + 1 < kSamples7to11; ++i) ASSERT_EQ(out[i], 2) << i;
  // The last sample is smoothed with the zero read past the decoded codes.
  EXPECT_EQ(out[kSamples7to11 - 1], 1);

  const std::vector<int16_t> n(2046, -3);
  ASSERT_EQ(expand_7_to_8(n, out), kSamples7to8);
  for (std::size_t i = 0; i < kSamples7to8; ++i) ASSERT_EQ(out[i], -2) << i;
}

TEST(PcmRate_Smooth, UsesTheUnsmoothedNextSample) {
  std::vector<int16_t> y{10, 20, -7, 100, 55};
  smooth_forward(y, 4);
  // 5 + 10, 10 + -3, -3 + 50, 50 + 27; the sample at n stays.
  EXPECT_EQ(y, (std::vector<int16_t>{15, 7, 47, 77, 55}));
}

TEST(PcmRate_RepeatHeads, DoublesGroupHeadsBelowTheLimit) {
  const std::vector<int16_t> x = ramp(2046);
  std::vector<int16_t> out(repeat_heads_7_count(x.size()), -1);
  ASSERT_EQ(out.size(), kSamples7to8);
  ASSERT_EQ(repeat_heads_7(x, out), kSamples7to8);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 10),
            (std::vector<int16_t>{1, 1, 2, 3, 4, 5, 6, 7, 8, 8}));
  // Code 2044 heads a group but lies past the limit: written once.
  EXPECT_EQ(std::vector<int16_t>(out.end() - 3, out.end()),
            (std::vector<int16_t>{2044, 2045, 2046}));
  EXPECT_EQ(repeat_heads_7_count(0), 0u);
  EXPECT_EQ(repeat_heads_7_count(1), 2u);
}

TEST(PcmRate_Pcm, EightBitFormTruncatesTowardZero) {
  EXPECT_EQ(to_unsigned_8(-1), 128);
  EXPECT_EQ(to_unsigned_8(-256), 127);
  EXPECT_EQ(to_unsigned_8(-257), 127);
  EXPECT_EQ(to_unsigned_8(255), 128);
  EXPECT_EQ(to_unsigned_8(32767), 255);
  EXPECT_EQ(to_unsigned_8(-32768), 0);

  const std::vector<int16_t> s{-2, 0x1234};
  uint8_t bytes[4] = {};
  EXPECT_EQ(pcm_bytes(s, 2, bytes), 4u);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0xFE, 0xFF, 0x34, 0x12}));
  EXPECT_EQ(pcm_bytes(s, 1, bytes), 2u);
  EXPECT_EQ(bytes[0], 128);
  EXPECT_EQ(bytes[1], 0x12 + 128);
}

TEST(PcmRate_WavHeader, LaysOutTheFortyFourBytes) {
  const auto h = wav_header(11025, 16, 27200);
  const uint8_t expected[44] = {'R',  'I',  'F', 'F', 0x64, 0x6A, 0,   0,  // 27236
                                'W',  'A',  'V', 'E', 'f',  'm',  't', ' ', 16,   0,    0, 0,
                                1,    0,    1,   0,   0x11, 0x2B, 0,   0,  // 11025
                                0x22, 0x56, 0,   0,                        // 22050
                                2,    0,    16,  0,   'd',  'a',  't', 'a', 0x40, 0x6A, 0, 0};
  EXPECT_EQ(std::memcmp(h.data(), expected, 44), 0);

  const auto h8 = wav_header(8000, 8, 0xFFFFFFF0u);
  EXPECT_EQ(h8[32], 1);                     // block align
  EXPECT_EQ(h8[28] | (h8[29] << 8), 8000);  // byte rate
  EXPECT_EQ(h8[4], 0x14);                   // RIFF length wraps with the field
  EXPECT_EQ(h8[7], 0x00);
}

}  // namespace
}  // namespace calendo
