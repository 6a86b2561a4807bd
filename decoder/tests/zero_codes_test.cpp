// A page of no codes: the decode entry points take it and give what the page's
// rate path gives for it, zeros where the path pads, without moving the codec.
#include "decoder_fixture.h"

namespace decoder_test {
namespace {

class ZeroCodes : public DecoderTest {
 protected:
  // The codec still starts the stream: the next page decodes as the first one.
  void expect_codec_untouched(const std::filesystem::path& path) {
    Bytes codes = some_codes(100, 4, 5);
    std::filesystem::remove(path);
    ASSERT_EQ(AdpcmDecx(path.c_str(), codes.data(), 11, 4, 100, 2, 0), 100);
    EXPECT_EQ(le16_samples(read_file(path)), ref_decode(codes, 4));
  }
};

TEST_F(ZeroCodes, PbAdpcmDecGivesTheExpansionOfNothingOrAnEmptyBlock) {
  uint8_t code = 9;
  for (auto [rate, samples] : {std::pair{7, 3215u}, std::pair{8, 0u}, std::pair{11, 0u}}) {
    SCOPED_TRACE(rate);
    int16_t* out = nullptr;
    ASSERT_EQ(pb_adpcm_dec(rate, 2, 0, &code, &out, 0), static_cast<int32_t>(samples));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(platform::block_size(out), 2 * samples);
    EXPECT_EQ(samples_of(out, samples), std::vector<int16_t>(samples, 0));
    free_exactly_once(out);
  }
  EXPECT_EQ(code, 9);
  expect_codec_untouched(dir.file("after.wav"));
}

TEST_F(ZeroCodes, AdpcmDecxAppendsTheSilenceOfThePage) {
  struct Case {
    int target, rate, bits, out_bits;
    std::size_t samples;
  };
  const Case cases[] = {
      {0, 7, 2, 2, 2338}, {0, 8, 2, 2, 2048}, {0, 8, 3, 1, 1024}, {0, 11, 3, 2, 0},
      {2, 7, 2, 1, 3215}, {2, 8, 2, 2, 2816}, {2, 8, 4, 2, 1408}, {2, 11, 2, 2, 0},
  };
  const auto path = dir.file("zero.wav");
  uint8_t code = 9;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "target " << c.target << " rate " << c.rate);
    std::filesystem::remove(path);
    ASSERT_EQ(AdpcmDecx(path.c_str(), &code, c.rate, c.bits, 0, c.out_bits, c.target),
              static_cast<int32_t>(c.samples));
    const Bytes silence = c.out_bits == 2 ? Bytes(2 * c.samples, 0) : Bytes(c.samples, 128);
    EXPECT_EQ(read_file(path), silence);

    // The packed form of no codes: no whole byte, fewer extra bits than a code.
    std::filesystem::remove(path);
    Bytes work(4, 0xEE);
    // Rate code 8 takes the 8-to-11 expansion here whatever the target.
    int32_t expected = static_cast<int32_t>(c.samples);
    if (c.rate == 8) expected = c.bits == 2 ? 2816 : 1408;
    ASSERT_EQ(AdpcmDecxNew(static_cast<int16_t>(c.bits), 0, 1, &code, work.data(), path.c_str(),
                           c.rate, c.bits, c.out_bits, c.target),
              expected);
    EXPECT_EQ(work, Bytes(4, 0xEE));
    EXPECT_EQ(read_file(path).size(), static_cast<std::size_t>(expected) * c.out_bits);
  }
  expect_codec_untouched(path);
}

TEST_F(ZeroCodes, ConvertedLpPageWithoutCodesMatchesItsHeader) {
  const auto path = dir.file("lp.wav");
  uint8_t header[TESMOR_HEADER_COPY_BUFFER];
  for (int target : {TESMOR_TARGET_8K, TESMOR_TARGET_11K}) {
    SCOPED_TRACE(target);
    // One LP page alone is converted at its rate; beside an SP page at 11025 Hz.
    const int32_t sp_pages = target == TESMOR_TARGET_11K ? 1 : 0;
    const int32_t length = AdpcmDecHeader(path.c_str(), 2, 11, 7, 3, 2, sp_pages, 1, header);
    ASSERT_GT(length, 0);
    Bytes sp = some_codes(1360, 3);
    if (sp_pages > 0) {
      ASSERT_EQ(AdpcmDecx(path.c_str(), sp.data(), 11, 3, 1360, 2, target), 1360);
    }
    uint8_t code = 0;
    ASSERT_GT(AdpcmDecx(path.c_str(), &code, 7, 2, 0, 2, target), 0);
    EXPECT_EQ(read_file(path).size(), TESMOR_WAV_HEADER + static_cast<std::size_t>(length));
  }
}

}  // namespace
}  // namespace decoder_test
