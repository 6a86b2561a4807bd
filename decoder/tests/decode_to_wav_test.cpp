#include <cstring>

#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "decoder_fixture.h"

namespace decoder_test {
namespace {

using DecodeToWav = DecoderTest;

TEST_F(DecodeToWav, AdpcmDecHeader_RateAndLengthFromThePageCounts) {
  struct Case {
    int sp_rate, lp_rate, sp_pages, lp_pages;
    uint32_t hz, length_8bit;
  };
  const Case cases[] = {
      {11, 7, 10, 0, 11025, 10 * 1360},           // SP only
      {8, 7, 10, 0, 8000, 10 * 1024},             // SP only at 8 kHz
      {11, 7, 0, 4, 8000, 4 * 2338},              // LP only
      {11, 8, 0, 4, 8000, 4 * 2048},              // LP only at 8 kHz
      {11, 7, 3, 5, 11025, 3 * 1360 + 5 * 3215},  // both
      {8, 7, 3, 5, 11025, 3 * 1408 + 5 * 3215},   // both, SP at 8 kHz
      {11, 8, 3, 5, 11025, 3 * 1360 + 5 * 2816},  // both, LP at 8 kHz
      {7, 11, 2, 0, 8000, 2 * 2338},              // SP only at 7 kHz
      {11, 11, 0, 2, 11025, 2 * 2046},            // LP only at 11 kHz
      {8, 7, 0, 0, 8000, 0},                      // no pages
  };
  for (const Case& c : cases) {
    for (int out_bits : {1, 2}) {
      SCOPED_TRACE(testing::Message() << c.sp_rate << "/" << c.lp_rate << " " << c.sp_pages << "+"
                                      << c.lp_pages << " out_bits " << out_bits);
      const auto path = dir.file("h.wav");
      uint8_t header[44] = {};
      const int32_t length = AdpcmDecHeader(path.c_str(), out_bits, c.sp_rate, c.lp_rate, 3, 2,
                                            c.sp_pages, c.lp_pages, header);
      ASSERT_EQ(length, static_cast<int32_t>(c.length_8bit) * out_bits);
      const auto expected = calendo::wav_header(c.hz, static_cast<uint16_t>(8 * out_bits),
                                                static_cast<uint32_t>(length));
      EXPECT_EQ(read_file(path), Bytes(expected.begin(), expected.end()));
      EXPECT_EQ(std::memcmp(header, expected.data(), 44), 0);
    }
  }
}

TEST_F(DecodeToWav, AdpcmDecHeader_RefusesWithoutCreatingTheFile) {
  const auto path = dir.file("never.wav");
  uint8_t header[44] = {};
  EXPECT_EQ(AdpcmDecHeader(path.c_str(), 3, 11, 7, 3, 2, 1, 0, header), TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDecHeader(path.c_str(), 1, 9, 7, 3, 2, 1, 0, header), TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDecHeader(path.c_str(), 1, 11, 7, 3, 2, -1, 0, header), TESMOR_UNSUPPORTED);
  // Longer than a signed 32-bit length can tell.
  EXPECT_EQ(AdpcmDecHeader(path.c_str(), 2, 11, 7, 3, 2, 0, 500000, header), TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDecHeader(path.c_str(), 1, 11, 7, 3, 2, 1, 0, nullptr), TESMOR_UNSUPPORTED);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(AdpcmDecHeader(dir.file("no/such/dir.wav").c_str(), 1, 11, 7, 3, 2, 1, 0, header),
            TESMOR_CANNOT_OPEN);
}

TEST_F(DecodeToWav, AdpcmDecx_SampleCountsOfEveryRatePath) {
  struct Case {
    int target, rate, bits;
    std::size_t codes, samples;
  };
  const Case cases[] = {
      {0, 7, 2, 2046, 2338}, {0, 8, 2, 2040, 2048}, {0, 8, 4, 1024, 1024}, {0, 11, 3, 1360, 1360},
      {2, 7, 2, 2046, 3215}, {2, 8, 2, 2040, 2816}, {2, 8, 4, 1020, 1408}, {2, 11, 3, 1360, 1360},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "target " << c.target << " rate " << c.rate);
    const auto path = dir.file("page.wav");
    std::filesystem::remove(path);
    Bytes codes = some_codes(c.codes, c.bits);
    ASSERT_EQ(AdpcmDecx(path.c_str(), codes.data(), c.rate, c.bits, static_cast<int32_t>(c.codes),
                        2, c.target),
              static_cast<int32_t>(c.samples));

    // The samples are the decoded page brought to the rate, zeros past the codes.
    std::vector<int16_t> x = ref_decode(codes, c.bits);
    std::vector<int16_t> expected(calendo::kRepeat7to11Capacity);
    if (c.rate == 7 && c.target == 0) expected.resize(calendo::expand_7_to_8(x, expected));
    if (c.rate == 7 && c.target == 2) expected.resize(calendo::expand_7_to_11(x, expected));
    if (c.rate == 8 && c.target == 0) x.resize(c.samples, 0), expected = x;
    if (c.rate == 8 && c.target == 2) {
      expected.resize(calendo::repeat_8_to_11(x, c.samples / 11, expected));
    }
    if (c.rate == 11) expected = x;
    EXPECT_EQ(le16_samples(read_file(path)), expected);
  }
}

TEST_F(DecodeToWav, AdpcmDecx_AppendsEightBitSamplesAndContinuesTheStream) {
  const auto path = dir.file("eight.wav");
  Bytes first = some_codes(1360, 3, 3), second = some_codes(1360, 3, 4);
  ASSERT_EQ(AdpcmDecx(path.c_str(), first.data(), 11, 3, 1360, 1, 0), 1360);
  ASSERT_EQ(AdpcmDecx(path.c_str(), second.data(), 11, 3, 1360, 1, 0), 1360);
  Bytes expected;
  for (const Bytes* page : {&first, &second}) {
    for (int16_t s : ref_decode(*page, 3)) expected.push_back(calendo::to_unsigned_8(s));
  }
  EXPECT_EQ(read_file(path), expected);
}

TEST_F(DecodeToWav, AdpcmDecx_ResetCallAsTheConversionMakesIt) {
  const auto path = dir.file("reset.wav");
  Bytes codes = some_codes(100, 4);
  ASSERT_EQ(AdpcmDecx(path.c_str(), codes.data(), 11, 4, 100, 2, 0), 100);
  // The conversion passes zeros for everything but the target.
  Bytes flag{0};
  EXPECT_EQ(AdpcmDecx(path.c_str(), flag.data(), 0, 0, 0, 0, 1), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(read_file(path).size(), 200u);

  std::filesystem::remove(path);
  ASSERT_EQ(AdpcmDecx(path.c_str(), codes.data(), 11, 4, 100, 2, 0), 100);
  EXPECT_EQ(le16_samples(read_file(path)), ref_decode(codes, 4));
}

TEST_F(DecodeToWav, AdpcmDecx_RefusedOrFailedCallsLeaveFileAndCodecAlone) {
  const auto path = dir.file("refused.wav");
  Bytes codes = some_codes(2501, 2);
  struct Case {
    int rate, bits, count, out_bits, target;
  };
  for (const Case c :
       {Case{6, 2, 10, 2, 0}, Case{7, 5, 10, 2, 0}, Case{7, 2, 2501, 2, 0}, Case{7, 2, -1, 2, 0},
        Case{7, 2, 10, 0, 0}, Case{7, 2, 10, 2, 3}, Case{7, 2, 10, 2, -1}}) {
    EXPECT_EQ(AdpcmDecx(path.c_str(), codes.data(), c.rate, c.bits, c.count, c.out_bits, c.target),
              TESMOR_UNSUPPORTED);
  }
  EXPECT_EQ(AdpcmDecx(nullptr, codes.data(), 7, 2, 10, 2, 0), TESMOR_UNSUPPORTED);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(AdpcmDecx(dir.path().c_str(), codes.data(), 11, 2, 10, 2, 0), TESMOR_CANNOT_OPEN);

  ASSERT_EQ(AdpcmDecx(path.c_str(), codes.data(), 11, 2, 10, 2, 0), 10);
  EXPECT_EQ(le16_samples(read_file(path)), ref_decode(std::span(codes).first(10), 2));
}

TEST_F(DecodeToWav, AdpcmDecxNew_UnpacksTheBitStreamThenDecodes) {
  // 511 whole bytes and 4 extra bits of 3-bit codes: 1364 codes, the last one cut.
  const Bytes codes = some_codes(1365, 3, 11);
  const Bytes packed = testkit::pack_codes(codes, 3);
  Bytes work(2048, 0xEE);
  const auto path = dir.file("new.wav");
  ASSERT_EQ(AdpcmDecxNew(3, 511, 4, packed.data(), work.data(), path.c_str(), 11, 3, 2, 0), 1364);
  EXPECT_EQ(Bytes(work.begin(), work.begin() + 1364), Bytes(codes.begin(), codes.begin() + 1364));
  EXPECT_EQ(work[1364], 0xEE);
  EXPECT_EQ(le16_samples(read_file(path)), ref_decode(std::span(codes).first(1364), 3));

  // Rate code 8 is expanded to 11 kHz even for target 0, by the codec's bits.
  const Bytes lp = some_codes(2040, 2, 12);
  const Bytes lp_packed = testkit::pack_codes(lp, 2);
  std::filesystem::remove(path);
  ASSERT_EQ(AdpcmDecxNew(2, 510, 0, lp_packed.data(), work.data(), path.c_str(), 8, 2, 2, 0), 2816);
  std::vector<int16_t> expected(2816);
  calendo::repeat_8_to_11(ref_decode(lp, 2), 256, expected);
  EXPECT_EQ(le16_samples(read_file(path)), expected);

  EXPECT_EQ(AdpcmDecxNew(5, 510, 0, lp_packed.data(), work.data(), path.c_str(), 8, 2, 2, 0),
            TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDecxNew(2, 700, 0, lp_packed.data(), work.data(), path.c_str(), 8, 2, 2, 0),
            TESMOR_UNSUPPORTED);
}

}  // namespace
}  // namespace decoder_test
