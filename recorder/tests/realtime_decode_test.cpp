#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "calendo/adpcm.h"
#include "kestrune.h"
#include "platform/memory.h"
#include "testing/recorder_writer.h"

namespace {

// The library's samples: the codec's shift-2 output, doubled.
std::vector<int16_t> reference_samples(const std::vector<uint8_t>& codes, int bits,
                                       calendo::Adpcm& ref) {
  std::vector<int16_t> out;
  for (uint8_t c : codes) {
    const int16_t s = ref.adpcm_decode_code(c, bits);
    out.push_back(static_cast<int16_t>(static_cast<uint16_t>(s) << 1));
  }
  return out;
}

std::vector<uint8_t> some_codes(size_t count, int bits, uint32_t seed = 7) {
  std::vector<uint8_t> codes(count);
  for (auto& c : codes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<uint8_t>((seed >> 16) & ((1u << bits) - 1));
  }
  return codes;
}

// Decodes through the library; the block is freed and its samples returned.
std::vector<int16_t> decode(int32_t rate_code, int32_t bits, std::vector<uint8_t> codes) {
  int16_t* block = nullptr;
  const int32_t n =
      pb_adpcm_dec(rate_code, bits, static_cast<int32_t>(codes.size()), codes.data(), &block, 0);
  EXPECT_GT(n, 0);
  if (n <= 0) return {};
  EXPECT_EQ(platform::block_size(block), static_cast<size_t>(n) * 2);
  std::vector<int16_t> samples(block, block + n);
  EXPECT_TRUE(platform::block_free(block));
  return samples;
}

void reset(int bits) {
  uint8_t first = 0;
  ASSERT_EQ(pb_adpcm_dec(0, bits, 0, &first, nullptr, 1), 0);
  ASSERT_EQ(first, 1);
}

uint32_t le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

TEST(SoundSet11k16bit, DescribesA100ByteStreamAt11025HzWhateverTheRate) {
  for (int32_t rate : {8, 11, 16, 22}) {
    void* block = nullptr;
    uint8_t header[100];
    std::memset(header, 0xAA, sizeof header);
    ASSERT_EQ(SoundSet11k16bit(&block, rate, header), 0);
    ASSERT_TRUE(platform::block_is_live(block));
    EXPECT_EQ(platform::block_size(block), 100u);
    const auto* b = static_cast<const uint8_t*>(block);
    EXPECT_EQ(std::memcmp(b, "RIFF", 4), 0);
    EXPECT_EQ(le32(b + 4), 528000036u);
    EXPECT_EQ(std::memcmp(b + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(le32(b + 16), 16u);
    EXPECT_EQ(b[20] | b[21] << 8, 1);  // PCM
    EXPECT_EQ(b[22] | b[23] << 8, 1);  // mono
    EXPECT_EQ(le32(b + 24), 11025u) << rate;
    EXPECT_EQ(le32(b + 28), 22050u);
    EXPECT_EQ(b[32] | b[33] << 8, 2);
    EXPECT_EQ(b[34] | b[35] << 8, 16);
    EXPECT_EQ(std::memcmp(b + 36, "data", 4), 0);
    EXPECT_EQ(le32(b + 40), 528000000u);
    for (size_t i = 44; i < 100; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(std::memcmp(header, b, 100), 0);
    EXPECT_TRUE(platform::block_free(block));
  }
}

TEST(PbAdpcmDec, Rate11GivesTheDoubledShiftedSamples) {
  const auto codes = some_codes(1360, 3);
  reset(3);
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  EXPECT_EQ(decode(11, 3, codes), reference_samples(codes, 3, ref));
}

TEST(PbAdpcmDec, Rate7RepeatsSevenIntoElevenWithoutSmoothing) {
  const auto codes = some_codes(2046, 2);
  reset(2);
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  std::vector<int16_t> x = reference_samples(codes, 2, ref);
  x.resize(293 * 7, 0);
  std::vector<int16_t> expected;
  for (size_t g = 0; g < 293; ++g) {
    const int16_t* s = &x[7 * g];
    for (int k : {0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6}) expected.push_back(s[k]);
  }
  expected.resize(3215);
  EXPECT_EQ(decode(7, 2, codes), expected);
}

TEST(PbAdpcmDec, Rate8RepeatsEightIntoElevenByCodeBits) {
  for (int bits : {2, 3}) {
    const size_t groups = bits == 2 ? 256 : 128;
    const auto codes = some_codes(bits == 2 ? 2040 : 1020, bits);
    reset(bits);
    calendo::Adpcm ref(calendo::OutputStage::Shift2);
    ref.adpcm_reset_state();
    std::vector<int16_t> x = reference_samples(codes, bits, ref);
    x.resize(groups * 8, 0);  // the last group reaches past the codes
    std::vector<int16_t> expected;
    for (size_t g = 0; g < groups; ++g) {
      for (int k : {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7}) expected.push_back(x[8 * g + k]);
    }
    EXPECT_EQ(decode(8, bits, codes), expected) << bits;
    EXPECT_EQ(expected.size(), bits == 2 ? 2816u : 1408u);
  }
}

TEST(PbAdpcmDec, PagesContinueOneStreamUntilAReset) {
  const auto codes = some_codes(3000, 4);
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  const auto whole = reference_samples(codes, 4, ref);

  reset(4);
  std::vector<int16_t> pieces = decode(11, 4, {codes.begin(), codes.begin() + 1000});
  const auto rest = decode(11, 4, {codes.begin() + 1000, codes.end()});
  pieces.insert(pieces.end(), rest.begin(), rest.end());
  EXPECT_EQ(pieces, whole);

  // The encoder's state is its own: encoding between two pages changes nothing.
  reset(4);
  std::vector<int16_t> around = decode(11, 4, {codes.begin(), codes.begin() + 1000});
  testkit::TempDir dir;
  const std::string missing = dir.file("none.wav").string();
  EXPECT_EQ(wav_vqr_encoder(missing.c_str(), dir.file("o.vqr").c_str(), 0, 1),
            KESTRUNE_WAV_CANNOT_OPEN);
  const auto after = decode(11, 4, {codes.begin() + 1000, codes.end()});
  around.insert(around.end(), after.begin(), after.end());
  EXPECT_EQ(around, whole);

  // A reset between the pages starts over.
  reset(4);
  decode(11, 4, {codes.begin(), codes.begin() + 1000});
  reset(4);
  calendo::Adpcm fresh(calendo::OutputStage::Shift2);
  fresh.adpcm_reset_state();
  const std::vector<uint8_t> tail(codes.begin() + 1000, codes.end());
  EXPECT_EQ(decode(11, 4, tail), reference_samples(tail, 4, fresh));
}

TEST(PbAdpcmDec, RefusesOutsideItsLimitsAndDoesNothing) {
  auto codes = some_codes(2051, 2);
  reset(2);
  const size_t blocks = platform::live_block_count();
  struct Case {
    int32_t rate, bits, count;
  };
  for (const Case& c : {Case{11, 2, 2051}, Case{7, 2, -1}, Case{11, 2, -1}, Case{9, 2, 100},
                        Case{0, 2, 100}, Case{11, 5, 100}, Case{11, 1, 100}}) {
    int16_t* sentinel = reinterpret_cast<int16_t*>(&codes);
    int16_t* out = sentinel;
    EXPECT_EQ(pb_adpcm_dec(c.rate, c.bits, c.count, codes.data(), &out, 0), KESTRUNE_UNSUPPORTED)
        << c.rate << "/" << c.bits << "/" << c.count;
    EXPECT_EQ(out, sentinel);
  }
  EXPECT_EQ(pb_adpcm_dec(11, 2, 10, nullptr, nullptr, 0), KESTRUNE_UNSUPPORTED);
  EXPECT_EQ(platform::live_block_count(), blocks);
  // Nothing was decoded: the stream still starts from the reset.
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  const std::vector<uint8_t> first(codes.begin(), codes.begin() + 2050);
  EXPECT_EQ(decode(11, 2, first), reference_samples(first, 2, ref));
}

TEST(PbAdpcmDec, ResetAllocatesNothing) {
  const size_t blocks = platform::live_block_count();
  uint8_t codes[4] = {9, 9, 9, 9};
  int16_t* out = nullptr;
  EXPECT_EQ(pb_adpcm_dec(7, 2, 2046, codes, &out, 1), 0);
  EXPECT_EQ(codes[0], 1);
  EXPECT_EQ(codes[1], 9);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(pb_adpcm_dec(7, 2, 2046, nullptr, &out, 1), 0);
  EXPECT_EQ(platform::live_block_count(), blocks);
}

TEST(PbAdpcmDec, NoCodesGiveTheGroupsOfNothing) {
  reset(2);
  uint8_t code = 9;
  for (auto [rate, bits, samples] : {std::tuple{7, 2, 3215u}, std::tuple{8, 2, 2816u},
                                     std::tuple{8, 3, 1408u}, std::tuple{11, 2, 0u}}) {
    SCOPED_TRACE(rate);
    int16_t* out = nullptr;
    ASSERT_EQ(pb_adpcm_dec(rate, bits, 0, &code, &out, 0), static_cast<int32_t>(samples));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(platform::block_size(out), 2 * samples);
    EXPECT_EQ(std::vector<int16_t>(out, out + samples), std::vector<int16_t>(samples, 0));
    EXPECT_TRUE(platform::block_free(out));
  }
  EXPECT_EQ(code, 9);
  // Nothing was decoded: the stream still starts from the reset.
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  const auto codes = some_codes(300, 2);
  EXPECT_EQ(decode(11, 2, codes), reference_samples(codes, 2, ref));
}

}  // namespace
