// A speech-like recording made into a vqr file by the encoder, then opened,
// timed and decoded again as the player does it: the readers of this library
// and the decoder of tesmor, which is bound by library name as the player binds it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "kestrune.h"
#include "platform/memory.h"
#include "wav_builder.h"

namespace {

using PbAdpcmDec = int32_t (*)(int32_t, int32_t, int32_t, uint8_t*, int16_t**, int32_t);

// tesmor lies beside this library. The path is spelled out because a
// sanitizer's dlopen wrapper hides the test program's own library path.
std::string tesmor_path() {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&wav_vqr_check), &self) == 0) return "libtesmor.so";
  return (std::filesystem::path(self.dli_fname).parent_path() / "libtesmor.so").string();
}

PbAdpcmDec tesmor_pb_adpcm_dec() {
  static void* const library = dlopen(tesmor_path().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<PbAdpcmDec>(dlsym(library, "pb_adpcm_dec"));
}

// A voiced sound: a 110-140 Hz pitch whose harmonics are shaped by three
// formants that glide, under a syllable envelope of about 4 Hz.
std::vector<int16_t> speech_like(uint32_t rate, double seconds) {
  const auto n = static_cast<size_t>(rate * seconds);
  std::vector<int16_t> out(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double f0 = 125 + 15 * std::sin(2 * std::numbers::pi * 0.7 * t);
    phase += 2 * std::numbers::pi * f0 / rate;
    const double formants[3] = {550 + 200 * std::sin(2 * std::numbers::pi * 0.9 * t),
                                1500 + 400 * std::sin(2 * std::numbers::pi * 0.6 * t), 2600};
    double v = 0;
    for (int h = 1; h * f0 < 0.45 * rate; ++h) {
      double gain = 0;
      for (double f : formants) {
        const double d = (h * f0 - f) / 120;
        gain += std::exp(-d * d);
      }
      v += gain / h * std::sin(h * phase);
    }
    const double syllable = std::pow(std::sin(std::numbers::pi * 4.1 * t), 2);
    out[i] = static_cast<int16_t>(std::lround(6000 * syllable * v));
  }
  return out;
}

// Signal-to-noise ratio in dB of y against x after the best scaling g of y.
double snr_db(const std::vector<int16_t>& x, const std::vector<int16_t>& y, double& g) {
  double xy = 0, yy = 0, xx = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    xy += double(x[i]) * y[i];
    yy += double(y[i]) * y[i];
    xx += double(x[i]) * x[i];
  }
  g = xy / yy;
  double noise = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double e = x[i] - g * y[i];
    noise += e * e;
  }
  return 10 * std::log10(xx / noise);
}

struct Case {
  uint32_t rate;
  int mode;            // 0 = SP, 1 = LP
  int32_t page_ms;     // duration of one page
  int32_t play_count;  // samples per page in the player's 11025 Hz stream
  double snr_floor;
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, EncodedSpeechOpensTimesAndDecodesCloseToTheSource) {
  const Case c = GetParam();
  const PbAdpcmDec decode = tesmor_pb_adpcm_dec();
  ASSERT_NE(decode, nullptr) << "libtesmor.so not found: " << dlerror();

  testkit::TempDir dir;
  const std::vector<int16_t> source = speech_like(c.rate, 3.0);
  const std::string wav = wavtest::wav16(c.rate, source).write(dir.file("speech.wav"));
  const std::string vqr = dir.file("speech.vqr").string();

  // Make the file as a converter with a progress bar would: ten pages a call.
  const uint32_t size = wav_vqr_check(wav.c_str());
  ASSERT_GE(size, 92u);
  ASSERT_EQ(wav_vqr_mkheader(wav.c_str(), vqr.c_str(), size), KESTRUNE_VQR_WRITTEN);
  const uint32_t pages = (size - 92) / 528;
  for (uint32_t p = 0; p < pages; p += 10) {
    ASSERT_EQ(wav_vqr_encoder(wav.c_str(), vqr.c_str(), p, std::min(10u, pages - p)),
              KESTRUNE_VQR_WRITTEN);
  }

  // Open and time it.
  const SplpInfo info = play_splpget(vqr.c_str(), KESTRUNE_VQR);
  ASSERT_EQ(info.page_count, pages);
  EXPECT_EQ(info.page_ms[c.mode], static_cast<uint32_t>(c.page_ms));
  std::vector<uint8_t> table(pages, 0xEE);
  ASSERT_EQ(pb_splptblmk(vqr.c_str(), table.data(), pages, KESTRUNE_VQR), 0);
  uint32_t counts[2] = {};
  splp_pageno(table.data(), counts, pages);
  EXPECT_EQ(counts[c.mode], pages);
  EXPECT_EQ(get_time(table.data(), pages - 1, static_cast<int32_t>(info.page_ms[0]),
                     static_cast<int32_t>(info.page_ms[1])),
            static_cast<int32_t>(pages) * c.page_ms);

  // Play it page by page, once in the player's terms and once at the codes' own rate.
  for (const bool own_rate : {false, true}) {
    uint8_t codes[KESTRUNE_CODE_BUFFER];
    ASSERT_EQ(decode(0, info.code_bits[c.mode], 0, codes, nullptr, 1), 0);
    std::vector<int16_t> decoded;
    for (uint32_t p = 0; p < pages; ++p) {
      uint8_t page[KESTRUNE_PAGE_BUFFER];
      ASSERT_EQ(play_1pagerd(vqr.c_str(), static_cast<int32_t>(p), page, KESTRUNE_VQR),
                c.mode == 0 ? KESTRUNE_SP_PAGE : KESTRUNE_LP_PAGE);
      const int32_t n =
          pb_exdata(info.code_bits[c.mode], static_cast<int16_t>(info.code_bytes[c.mode]),
                    static_cast<int16_t>(info.extra_bits[c.mode]), page, codes);
      ASSERT_EQ(n, c.mode == 0 ? 1360 : 2046);
      int16_t* block = nullptr;
      const int32_t rate_code = own_rate ? 11 : info.rate_code[c.mode];
      const int32_t got = decode(rate_code, info.code_bits[c.mode], n, codes, &block, 0);
      ASSERT_EQ(got, own_rate ? n : c.play_count);
      decoded.insert(decoded.end(), block, block + got);
      ASSERT_TRUE(platform::block_free(block));
    }
    if (!own_rate) continue;
    ASSERT_GE(decoded.size(), source.size());
    decoded.resize(source.size());
    double gain = 0;
    const double snr = snr_db(source, decoded, gain);
    std::printf("round trip %s at %u Hz: SNR %.2f dB over %zu samples (source = %.3f x decoded)\n",
                c.mode ? "LP" : "SP", c.rate, snr, source.size(), gain);
    RecordProperty(c.mode ? "snr_lp_db" : "snr_sp_db", std::to_string(snr));
    EXPECT_GT(snr, c.snr_floor);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RoundTrip,
                         ::testing::Values(Case{11025, 0, 123, 1360, 15.0},
                                           Case{8000, 1, 292, 3215, 8.0}),
                         [](const auto& param_info) {
                           return param_info.param.mode == 0 ? "Sp" : "Lp";
                         });

}  // namespace
