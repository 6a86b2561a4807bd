#include <cstring>

#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "decoder_fixture.h"

namespace decoder_test {
namespace {

using Playback = DecoderTest;

TEST_F(Playback, PbAdpcmDec_SampleCountsAndSamplesByRate) {
  struct Case {
    int rate, bits;
    std::size_t codes, samples;
  };
  for (const Case c : {Case{7, 2, 2046, 3215}, Case{11, 3, 1360, 1360}, Case{8, 2, 2040, 2040},
                       Case{8, 4, 1024, 1024}}) {
    SCOPED_TRACE(c.rate);
    Bytes codes = some_codes(c.codes, c.bits);
    int16_t* out = nullptr;
    ASSERT_EQ(pb_adpcm_dec(c.rate, c.bits, static_cast<int32_t>(c.codes), codes.data(), &out, 0),
              static_cast<int32_t>(c.samples));
    ASSERT_EQ(platform::block_size(out), 2 * c.samples);

    std::vector<int16_t> expected = ref_decode(codes, c.bits);
    if (c.rate == 7) {
      std::vector<int16_t> y(calendo::kRepeat7to11Capacity);
      y.resize(calendo::expand_7_to_11(expected, y));
      expected = y;
    }
    EXPECT_EQ(samples_of(out, c.samples), expected);
    free_exactly_once(out);
  }
}

TEST_F(Playback, PbAdpcmDec_ResetCallResetsAndHandsOutNothing) {
  Bytes codes = some_codes(1360, 3);
  int16_t* out = nullptr;
  ASSERT_EQ(pb_adpcm_dec(11, 3, 1360, codes.data(), &out, 0), 1360);
  free_exactly_once(out);

  int16_t sentinel = 0;
  int16_t* untouched = &sentinel;
  Bytes flag{9};
  EXPECT_EQ(pb_adpcm_dec(11, 3, 1360, flag.data(), &untouched, 1), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(untouched, &sentinel);

  // After the reset the stream starts over.
  reference.adpcm_reset_state();
  ASSERT_EQ(pb_adpcm_dec(11, 3, 1360, codes.data(), &out, 0), 1360);
  EXPECT_EQ(samples_of(out, 1360), ref_decode(codes, 3));
  free_exactly_once(out);
}

TEST_F(Playback, PbAdpcmDec_PagesContinueOneStream) {
  const Bytes codes = some_codes(2000, 4, 7);
  std::vector<int16_t> pieces;
  for (std::size_t at = 0; at < codes.size(); at += 500) {
    Bytes page(codes.begin() + static_cast<long>(at), codes.begin() + static_cast<long>(at) + 500);
    int16_t* out = nullptr;
    ASSERT_EQ(pb_adpcm_dec(8, 4, 500, page.data(), &out, 0), 500);
    pieces.insert(pieces.end(), out, out + 500);
    free_exactly_once(out);
  }
  EXPECT_EQ(pieces, ref_decode(codes, 4));
}

TEST_F(Playback, PbAdpcmDec_RefusesUnsupportedArgumentsDoingNothing) {
  struct Case {
    int rate, bits, count;
  };
  Bytes codes = some_codes(2501, 2);
  const Bytes before = codes;
  for (const Case c : {Case{9, 2, 100}, Case{7, 5, 100}, Case{7, 1, 100}, Case{11, 2, 2501},
                       Case{7, 2, -1}, Case{11, 2, -1}}) {
    int16_t* out = nullptr;
    EXPECT_EQ(pb_adpcm_dec(c.rate, c.bits, c.count, codes.data(), &out, 0), TESMOR_UNSUPPORTED);
    EXPECT_EQ(out, nullptr);
  }
  int16_t* out = nullptr;
  EXPECT_EQ(pb_adpcm_dec(11, 2, 10, nullptr, &out, 0), TESMOR_UNSUPPORTED);
  EXPECT_EQ(pb_adpcm_dec(11, 2, 10, codes.data(), nullptr, 0), TESMOR_UNSUPPORTED);
  EXPECT_EQ(codes, before);

  // The codec did not move: the next page is the stream's first.
  ASSERT_EQ(pb_adpcm_dec(11, 2, 100, codes.data(), &out, 0), 100);
  EXPECT_EQ(samples_of(out, 100), ref_decode(std::span(codes).first(100), 2));
  free_exactly_once(out);
}

TEST_F(Playback, SoundSet11k16bit_HeaderForEachRateThenSilence) {
  struct Case {
    int rate;
    uint32_t hz;
  };
  for (const Case c : {Case{8, 8000}, Case{11, 11025}, Case{16, 16000}, Case{22, 22050},
                       Case{12, 11025}, Case{0, 11025}}) {
    SCOPED_TRACE(c.rate);
    void* block = nullptr;
    uint8_t header[100];
    std::memset(header, 0xAA, sizeof header);
    ASSERT_EQ(SoundSet11k16bit(&block, c.rate, header), 0);
    ASSERT_EQ(platform::block_size(block), 10000u);
    const auto* bytes = static_cast<const uint8_t*>(block);

    const auto expected = calendo::wav_header(c.hz, 16, 1056000000);
    EXPECT_EQ(std::memcmp(bytes, expected.data(), 44), 0);
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24, 1056000036);
    EXPECT_EQ(bytes[28] | bytes[29] << 8 | bytes[30] << 16, static_cast<int>(2 * c.hz));
    for (std::size_t i = 44; i < 10000; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(std::memcmp(header, bytes, 100), 0);
    free_exactly_once(block);
  }
}

}  // namespace
}  // namespace decoder_test
