#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "kestrune.h"
#include "wav_builder.h"

namespace {

using testkit::Bytes;
using wavtest::WavFile;

// The header of a made file, field by field, as a recorder's own file holds it.
Bytes expected_header(uint32_t size, uint16_t seconds, uint8_t mode, uint8_t sp_bits,
                      uint16_t sp_length) {
  Bytes h(92, 0);
  auto put = [&h](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto tag = [&h](size_t at, const char* t) { std::memcpy(&h[at], t, 4); };
  tag(0, "OIFF");
  put(4, size - 8, 4);
  tag(8, "WAVE");
  tag(12, "fmt ");
  put(16, 64, 4);
  std::fill(h.begin() + 20, h.begin() + 56, 0xFF);
  put(56, seconds, 2);
  put(58, 528, 2);
  h[60] = mode;
  h[61] = 11, h[62] = sp_bits, put(63, 510, 2), h[65] = 0;
  h[66] = 7, h[67] = 2, put(68, 511, 2), h[70] = 4;
  put(71, sp_length, 2);
  put(75, (size - 92) / 528, 3);  // 73-74 and 78-82 stay 0
  h[83] = 0xFF;
  tag(84, "data");
  put(88, size - 92, 4);
  return h;
}

class VqrHeaderWriter : public ::testing::Test {
 protected:
  std::string wav(const WavFile& w) { return w.write(dir_.file("in.wav")); }
  std::string vqr() const { return dir_.file("out.vqr").string(); }
  Bytes written() const { return wavtest::read_file(vqr()); }
  testkit::TempDir dir_;
};

TEST_F(VqrHeaderWriter, WavVqrMkheader_WritesTheSpHeaderFor11025Hz) {
  // 22050 8-bit samples: 2 seconds at 11025 Hz, 17 pages (16.2 filled).
  const std::string in = wav(wavtest::wav8(11025, Bytes(22050, 0x80)));
  const uint32_t size = wav_vqr_check(in.c_str());
  ASSERT_EQ(size, 92u + 17 * 528);
  ASSERT_EQ(wav_vqr_mkheader(in.c_str(), vqr().c_str(), size), KESTRUNE_VQR_WRITTEN);
  EXPECT_EQ(written(), expected_header(size, 2, 0, 3, 2));
}

TEST_F(VqrHeaderWriter, WavVqrMkheader_WritesTheLpHeaderFor8000Hz) {
  // 24000 16-bit samples: 3 seconds at 8000 Hz; the SP length field still counts
  // at 11025 Hz (2 seconds).
  WavFile w = wavtest::wav16(8000, std::vector<int16_t>(24000, 0));
  const std::string in = wav(w);
  const uint32_t size = wav_vqr_check(in.c_str());
  ASSERT_EQ(wav_vqr_mkheader(in.c_str(), vqr().c_str(), size), KESTRUNE_VQR_WRITTEN);
  EXPECT_EQ(written(), expected_header(size, 3, 1, 3, 2));
}

TEST_F(VqrHeaderWriter, WavVqrMkheaderF_TakesModeBitsAndLengthFromTheLayout) {
  // 10 seconds at 8000 Hz in 4-bit codes, 1024 a page.
  const std::string in = wav(wavtest::wav16(8000, std::vector<int16_t>(80000, 0)));
  const uint32_t size = wav_vqr_check_f(in.c_str(), 512, 0, 4);
  ASSERT_EQ(size, 92u + 79 * 528);
  ASSERT_EQ(wav_vqr_mkheader_f(in.c_str(), vqr().c_str(), size, 512, 0, 4), KESTRUNE_VQR_WRITTEN);
  // 79 whole 528-byte units (header included) of 1024 codes are 10.1 s.
  EXPECT_EQ(written(), expected_header(size, 10, 0, 4, 10));

  const uint32_t lp_size = wav_vqr_check_f(in.c_str(), 511, 4, 2);
  ASSERT_EQ(wav_vqr_mkheader_f(in.c_str(), vqr().c_str(), lp_size, 511, 4, 2),
            KESTRUNE_VQR_WRITTEN);
  EXPECT_EQ(written(), expected_header(lp_size, uint16_t((lp_size * 8 / 4224) * 4092 / 2 / 8000), 1,
                                       3, uint16_t((lp_size * 8 / 4224) * 4092 / 2 / 8000)));
}

TEST_F(VqrHeaderWriter, WavVqrMkheaderF_LengthOfLargeFilesDoesNotWrap) {
  // A 600 MB file of 256-code pages at 8000 Hz lasts 36363 s; in 32-bit
  // arithmetic size x 8 would wrap and give 3825.
  const std::string in = wav(wavtest::wav16(8000, std::vector<int16_t>(16, 0)));
  ASSERT_EQ(wav_vqr_mkheader_f(in.c_str(), vqr().c_str(), 600'000'000, 63, 8, 2),
            KESTRUNE_VQR_WRITTEN);
  const Bytes h = written();
  EXPECT_EQ(h[56] | h[57] << 8, 36363);
  EXPECT_EQ(h[71] | h[72] << 8, 36363);
}

TEST_F(VqrHeaderWriter, WavVqrMkheader_ReplacesAnExistingFile) {
  testkit::write_file(vqr(), Bytes(5000, 0x55));
  const std::string in = wav(wavtest::wav8(11025, Bytes(100, 0x80)));
  ASSERT_EQ(wav_vqr_mkheader(in.c_str(), vqr().c_str(), 620), KESTRUNE_VQR_WRITTEN);
  EXPECT_EQ(written(), expected_header(620, 0, 0, 3, 0));
}

TEST_F(VqrHeaderWriter, WavVqrMkheader_RefusesAndWritesNothing) {
  const std::string missing = dir_.file("missing.wav").string();
  const std::string good = wav(wavtest::wav8(11025, Bytes(100, 0x80)));
  const std::string no_dir = dir_.file("no/such/dir.vqr").string();
  EXPECT_EQ(wav_vqr_mkheader(missing.c_str(), vqr().c_str(), 620), KESTRUNE_WAV_CANNOT_OPEN);
  EXPECT_EQ(wav_vqr_mkheader_f(missing.c_str(), vqr().c_str(), 620, 510, 0, 3),
            KESTRUNE_WAV_CANNOT_OPEN);
  EXPECT_EQ(wav_vqr_mkheader(good.c_str(), no_dir.c_str(), 620), KESTRUNE_VQR_CANNOT_WRITE);
  EXPECT_EQ(wav_vqr_mkheader_f(good.c_str(), no_dir.c_str(), 620, 510, 0, 3),
            KESTRUNE_VQR_CANNOT_WRITE);
  EXPECT_EQ(wav_vqr_mkheader(good.c_str(), dir_.path().c_str(), 620), KESTRUNE_VQR_CANNOT_WRITE);
  EXPECT_FALSE(std::filesystem::exists(vqr()));

  // Refusals leave an existing file as it was.
  testkit::write_file(vqr(), Bytes(10, 0x55));
  EXPECT_EQ(wav_vqr_mkheader_f(good.c_str(), vqr().c_str(), 620, 510, 0, 5),
            KESTRUNE_VQR_BAD_CODE_BITS);
  EXPECT_EQ(wav_vqr_mkheader_f(good.c_str(), vqr().c_str(), 620, 510, 0, 0),
            KESTRUNE_VQR_BAD_CODE_BITS);
  WavFile other_rate = wavtest::wav8(22050, Bytes(100, 0x80));
  EXPECT_EQ(wav_vqr_mkheader(wav(other_rate).c_str(), vqr().c_str(), 620), KESTRUNE_WAV_BAD_RATE);
  WavFile no_bits = wavtest::wav8(11025, Bytes(100, 0x80));
  no_bits.bits = 0;
  EXPECT_EQ(wav_vqr_mkheader(wav(no_bits).c_str(), vqr().c_str(), 620), KESTRUNE_WAV_NO_SAMPLES);
  EXPECT_EQ(wav_vqr_mkheader_f(wav(no_bits).c_str(), vqr().c_str(), 620, 510, 0, 3),
            KESTRUNE_WAV_NO_SAMPLES);
  EXPECT_EQ(written(), Bytes(10, 0x55));
}

}  // namespace
