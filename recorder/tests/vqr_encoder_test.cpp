#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>
#include <vector>

#include "calendo/adpcm.h"
#include "kestrune.h"
#include "wav_builder.h"

namespace {

using testkit::Bytes;
using wavtest::WavFile;

constexpr size_t kPage = 528;

// What the library's encoder must produce: the codec, reset, fed the samples
// after an exact x 0.9 that this test computes on its own.
std::vector<uint8_t> reference_codes(const std::vector<int16_t>& samples, int bits) {
  calendo::Adpcm ref(calendo::OutputStage::Shift2, calendo::InputStage::Direct);
  ref.adpcm_reset_state();
  std::vector<uint8_t> codes;
  for (int16_t s : samples) {
    codes.push_back(static_cast<uint8_t>(
        ref.adpcm_encode_sample(static_cast<int16_t>(std::trunc(s * 9.0 / 10.0)), bits)));
  }
  return codes;
}

// A page as the encoder lays it out: packed codes, 0xFF behind them, the flag.
Bytes reference_page(const std::vector<uint8_t>& codes, int bits, uint8_t flag) {
  Bytes page(kPage, 0xFF);
  const Bytes packed = testkit::pack_codes(codes, bits);
  std::copy(packed.begin(), packed.end(), page.begin());
  page[512] = flag;
  return page;
}

class VqrEncoder : public ::testing::Test {
 protected:
  std::string wav(const WavFile& w, const std::string& name = "in.wav") {
    return w.write(dir_.file(name));
  }
  std::string vqr(const std::string& name = "out.vqr") const { return dir_.file(name).string(); }

  // Check, header and all pages in one call; returns the file's bytes.
  Bytes make(const std::string& in, const std::string& out) {
    const uint32_t size = wav_vqr_check(in.c_str());
    EXPECT_GE(size, 92u);
    EXPECT_EQ(wav_vqr_mkheader(in.c_str(), out.c_str(), size), KESTRUNE_VQR_WRITTEN);
    EXPECT_EQ(wav_vqr_encoder(in.c_str(), out.c_str(), 0, (size - 92) / 528), KESTRUNE_VQR_WRITTEN);
    return wavtest::read_file(out);
  }

  static std::vector<uint8_t> page_codes(const Bytes& file, size_t page) {
    return Bytes(file.begin() + 92 + page * kPage, file.begin() + 92 + (page + 1) * kPage);
  }

  testkit::TempDir dir_;
};

TEST_F(VqrEncoder, WavVqrEncoder_WritesOneSpPageOf1360Samples) {
  Bytes samples(1360);
  for (int i = 0; i < 1360; ++i) samples[i] = static_cast<uint8_t>(128 + 100 * std::sin(i * 0.1));
  const Bytes file = make(wav(wavtest::wav8(11025, samples)), vqr());
  ASSERT_EQ(file.size(), 92 + kPage);

  std::vector<int16_t> pcm;
  for (uint8_t s : samples) pcm.push_back(static_cast<int16_t>((s - 128) * 256));
  const Bytes page = page_codes(file, 0);
  EXPECT_EQ(page, reference_page(reference_codes(pcm, 3), 3, 0));
  const Bytes trailer(page.begin() + 510, page.end());
  Bytes expected_trailer(18, 0xFF);
  expected_trailer[2] = 0x00;
  EXPECT_EQ(trailer, expected_trailer);
}

TEST_F(VqrEncoder, WavVqrEncoder_WritesLpPagesAndPadsThemWithSilence) {
  // 3000 samples: one full LP page, and a second one padded with encoded silence.
  std::vector<int16_t> pcm = wavtest::test_signal(3000);
  const Bytes file = make(wav(wavtest::wav16(8000, pcm)), vqr());
  ASSERT_EQ(file.size(), 92 + 2 * kPage);
  pcm.resize(2 * 2046, 0);
  const std::vector<uint8_t> codes = reference_codes(pcm, 2);
  for (size_t p = 0; p < 2; ++p) {
    const std::vector<uint8_t> page(codes.begin() + p * 2046, codes.begin() + (p + 1) * 2046);
    const Bytes expected = reference_page(page, 2, 1);
    EXPECT_EQ(page_codes(file, p), expected) << "page " << p;
    EXPECT_EQ(expected[511] >> 4, 0);
    EXPECT_EQ(expected[512], 1);
  }
}

TEST_F(VqrEncoder, WavVqrEncoder_RunsOfCallsMakeTheSameFileAsOneCall) {
  for (uint32_t rate : {11025u, 8000u}) {
    const std::string in = wav(wavtest::wav16(rate, wavtest::test_signal(7000)));
    const Bytes whole = make(in, vqr("whole.vqr"));
    const uint32_t pages = static_cast<uint32_t>((whole.size() - 92) / kPage);
    ASSERT_EQ(pages, rate == 11025 ? 6u : 4u);

    const std::string runs = vqr("runs.vqr");
    ASSERT_EQ(wav_vqr_mkheader(in.c_str(), runs.c_str(), wav_vqr_check(in.c_str())),
              KESTRUNE_VQR_WRITTEN);
    ASSERT_EQ(wav_vqr_encoder(in.c_str(), runs.c_str(), 0, 2), KESTRUNE_VQR_WRITTEN);
    ASSERT_EQ(wav_vqr_encoder(in.c_str(), runs.c_str(), 2, 2), KESTRUNE_VQR_WRITTEN);
    ASSERT_EQ(wav_vqr_encoder(in.c_str(), runs.c_str(), 4, pages - 4), KESTRUNE_VQR_WRITTEN);
    EXPECT_EQ(wavtest::read_file(runs), whole) << rate;
  }
}

TEST_F(VqrEncoder, WavVqrEncoder_ScalesEverySampleByNineTenths) {
  // A sample enters the codec as 0.9 x itself, truncated toward zero.
  const std::pair<int16_t, int16_t> cases[] = {
      {1000, 900}, {-1000, -900}, {32767, 29490}, {-32768, -29491}};
  for (const auto& [in, scaled] : cases) {
    const std::vector<int16_t> pcm(2046, in);
    const Bytes file = make(wav(wavtest::wav16(8000, pcm)), vqr());
    calendo::Adpcm ref(calendo::OutputStage::Shift2, calendo::InputStage::Direct);
    ref.adpcm_reset_state();
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < pcm.size(); ++i)
      codes.push_back(static_cast<uint8_t>(ref.adpcm_encode_sample(scaled, 2)));
    EXPECT_EQ(page_codes(file, 0), reference_page(codes, 2, 1)) << in;
  }
}

TEST_F(VqrEncoder, WavVqrEncoder_ScalingIsExactForEvery16BitInput) {
  // The input stage itself: single-precision 0.9f would get thousands wrong.
  for (int x = -32768; x <= 32767; ++x) {
    const auto exact = static_cast<int16_t>(std::trunc(x * 9.0 / 10.0));
    ASSERT_EQ(calendo::Adpcm::input_sample(calendo::InputStage::Gain0_9, static_cast<int16_t>(x)),
              exact)
        << x;
  }
  // And the library's encoder uses it: every 16-bit value as one slow ramp,
  // which the codec follows closely enough for one wrong input to change codes.
  std::vector<int16_t> pcm(65536);
  std::iota(pcm.begin(), pcm.end(), int16_t{-32768});
  const Bytes file = make(wav(wavtest::wav16(11025, pcm)), vqr());
  const size_t pages = (file.size() - 92) / kPage;
  ASSERT_EQ(pages, 49u);
  std::vector<uint8_t> codes = reference_codes(pcm, 3);
  codes.resize(pages * 1360, 7);  // past the end of the samples: code 7
  for (size_t p = 0; p < pages; ++p) {
    const std::vector<uint8_t> page(codes.begin() + p * 1360, codes.begin() + (p + 1) * 1360);
    ASSERT_EQ(page_codes(file, p), reference_page(page, 3, 0)) << "page " << p;
  }
}

TEST_F(VqrEncoder, WavVqrEncoder_TakesNoSamplesPastTheDataChunk) {
  // A LIST chunk behind the data chunk, and an odd byte that is half a sample:
  // the pages are those of the samples alone.
  const std::vector<int16_t> pcm = wavtest::test_signal(1500);
  for (uint32_t rate : {11025u, 8000u}) {
    const Bytes plain = make(wav(wavtest::wav16(rate, pcm), "plain.wav"), vqr("plain.vqr"));
    WavFile listed = wavtest::wav16(rate, pcm);
    listed.samples.push_back(0x7F);
    listed.after_data = {'L', 'I', 'S', 'T', 12,  0,   0,    0,    'I',  'N',
                         'F', 'O', 'I', 'S', 'F', 'T', 0x55, 0x66, 0x77, 0x11};
    const Bytes with_list = make(wav(listed, "listed.wav"), vqr("listed.vqr"));
    ASSERT_EQ(with_list.size(), plain.size()) << rate;
    EXPECT_TRUE(std::equal(plain.begin() + 92, plain.end(), with_list.begin() + 92)) << rate;
  }
}

TEST_F(VqrEncoder, WavVqrEncoderF_With511And4At2BitsEqualsTheLpPages) {
  const std::string in = wav(wavtest::wav16(8000, wavtest::test_signal(5000)));
  const Bytes lp = make(in, vqr("lp.vqr"));
  const std::string f = vqr("f.vqr");
  ASSERT_EQ(wav_vqr_encoder_f(in.c_str(), f.c_str(), 0, 3, 511, 4, 2), KESTRUNE_VQR_WRITTEN);
  const Bytes pages = wavtest::read_file(f);
  ASSERT_EQ(pages.size(), 3 * kPage);
  EXPECT_TRUE(std::equal(pages.begin(), pages.end(), lp.begin() + 92));
}

TEST_F(VqrEncoder, WavVqrEncoderF_LaysOutCodesFlagAndTrailer) {
  const std::vector<int16_t> pcm = wavtest::test_signal(3000);
  const std::string in = wav(wavtest::wav16(11025, pcm));
  struct Case {
    uint16_t n, e, bits;
    uint32_t codes;
    uint8_t flag;
  };
  // 4-bit codes fill all 512 bytes and still leave the flag at 512; 3-bit codes
  // over 511 bytes and 4 bits fit 1364 codes; the unused bits of the last code
  // byte are 0.
  for (const Case& c : {Case{512, 0, 4, 1024, 0}, Case{511, 4, 3, 1364, 0}, Case{100, 3, 2, 401, 1},
                        Case{510, 0, 3, 1360, 0}}) {
    const std::string out = vqr("f" + std::to_string(c.bits) + std::to_string(c.n) + ".vqr");
    ASSERT_EQ(wav_vqr_encoder_f(in.c_str(), out.c_str(), 0, 2, c.n, c.e, c.bits),
              KESTRUNE_VQR_WRITTEN);
    const Bytes file = wavtest::read_file(out);
    ASSERT_EQ(file.size(), 2 * kPage);
    std::vector<int16_t> padded = pcm;
    padded.resize(2 * c.codes, 0);  // past the end: encoded silence
    const std::vector<uint8_t> codes = reference_codes(padded, c.bits);
    for (size_t p = 0; p < 2; ++p) {
      const std::vector<uint8_t> page(codes.begin() + p * c.codes,
                                      codes.begin() + (p + 1) * c.codes);
      EXPECT_EQ(Bytes(file.begin() + p * kPage, file.begin() + (p + 1) * kPage),
                reference_page(page, c.bits, c.flag))
          << c.n << "/" << c.e << "/" << c.bits << " page " << p;
    }
  }
}

TEST_F(VqrEncoder, WavVqrEncoder_RefusalsWriteNothing) {
  const std::string good = wav(wavtest::wav16(8000, wavtest::test_signal(100)), "good.wav");
  const std::string missing = dir_.file("missing.wav").string();
  const std::string no_dir = dir_.file("no/such.vqr").string();
  const std::string out = vqr();
  EXPECT_EQ(wav_vqr_encoder(missing.c_str(), out.c_str(), 0, 1), KESTRUNE_WAV_CANNOT_OPEN);
  EXPECT_EQ(wav_vqr_encoder_f(missing.c_str(), out.c_str(), 0, 1, 511, 4, 2),
            KESTRUNE_WAV_CANNOT_OPEN);
  EXPECT_EQ(wav_vqr_encoder(good.c_str(), no_dir.c_str(), 0, 1), KESTRUNE_VQR_CANNOT_WRITE);
  EXPECT_EQ(wav_vqr_encoder_f(good.c_str(), dir_.path().c_str(), 0, 1, 511, 4, 2),
            KESTRUNE_VQR_CANNOT_WRITE);
  EXPECT_EQ(wav_vqr_encoder_f(good.c_str(), out.c_str(), 0, 1, 512, 1, 2),
            KESTRUNE_VQR_STREAM_TOO_LONG);
  EXPECT_EQ(wav_vqr_encoder_f(good.c_str(), out.c_str(), 0, 1, 511, 4, 5),
            KESTRUNE_VQR_BAD_CODE_BITS);
  EXPECT_EQ(wav_vqr_encoder_f(good.c_str(), out.c_str(), 0, 1, 511, 4, 1),
            KESTRUNE_VQR_BAD_CODE_BITS);
  const std::string stereo_rate = wav(wavtest::wav16(22050, wavtest::test_signal(100)), "r.wav");
  EXPECT_EQ(wav_vqr_encoder(stereo_rate.c_str(), out.c_str(), 0, 1), KESTRUNE_WAV_BAD_RATE);
  WavFile no_data = wavtest::wav16(8000, wavtest::test_signal(100));
  no_data.bits = 0;
  const std::string bad = wav(no_data, "bad.wav");
  EXPECT_EQ(wav_vqr_encoder(bad.c_str(), out.c_str(), 0, 1), KESTRUNE_WAV_NO_SAMPLES);
  EXPECT_EQ(wav_vqr_encoder_f(bad.c_str(), out.c_str(), 0, 1, 511, 4, 2), KESTRUNE_WAV_NO_SAMPLES);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
