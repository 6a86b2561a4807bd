#include <gtest/gtest.h>

#include <vector>

#include "kestrune.h"
#include "wav_builder.h"

namespace {

using wavtest::WavFile;

class WavCheck : public ::testing::Test {
 protected:
  std::string write(const WavFile& w, const std::string& name = "in.wav") {
    return w.write(dir_.file(name));
  }
  uint32_t check(const WavFile& w) { return wav_vqr_check(write(w).c_str()); }
  testkit::TempDir dir_;
};

WavFile with_data_length(uint32_t rate, uint16_t bits, uint32_t length) {
  WavFile w;
  w.rate = rate;
  w.bits = bits;
  w.samples.assign(length, 0x80);
  return w;
}

TEST_F(WavCheck, WavVqrCheck_SizesPagesFromTheDataLength) {
  EXPECT_EQ(check(with_data_length(11025, 16, 0)), 92u);
  EXPECT_EQ(check(with_data_length(11025, 8, 1360)), 92u + 528);
  EXPECT_EQ(check(with_data_length(11025, 8, 1361)), 92u + 2 * 528);
  EXPECT_EQ(check(with_data_length(11025, 16, 2720)), 92u + 528);
  EXPECT_EQ(check(with_data_length(8000, 16, 4088)), 92u + 528);
  // 2046 16-bit samples fill one LP page, but the remainder term asks for one more.
  EXPECT_EQ(check(with_data_length(8000, 16, 4092)), 92u + 2 * 528);
}

TEST_F(WavCheck, WavVqrCheckF_CountsOnePageMoreThanTheWholePages) {
  const std::string exact = write(with_data_length(11025, 8, 1360), "exact.wav");
  const std::string short_one = write(with_data_length(11025, 8, 1359), "short.wav");
  EXPECT_EQ(wav_vqr_check_f(exact.c_str(), 510, 0, 3), 92u + 2 * 528);
  EXPECT_EQ(wav_vqr_check_f(short_one.c_str(), 510, 0, 3), 92u + 528);
  // 8000 Hz, 4-bit codes, 1024 a page: 3000 samples are two whole pages and a part.
  const std::string lp = write(with_data_length(8000, 16, 6000), "lp.wav");
  EXPECT_EQ(wav_vqr_check_f(lp.c_str(), 512, 0, 4), 92u + 3 * 528);
}

TEST_F(WavCheck, WavVqrCheck_RefusesInTheOrderOfItsTests) {
  EXPECT_EQ(wav_vqr_check(dir_.file("missing.wav").c_str()), 1u);
  EXPECT_EQ(wav_vqr_check(dir_.path().c_str()), 1u);
  EXPECT_EQ(wav_vqr_check(nullptr), 1u);

  WavFile w = with_data_length(8000, 16, 100);
  w.wave = "WAVF";
  w.rate = 22050;
  EXPECT_EQ(check(w), 2u);
  w.wave = "WAVE";
  w.channels = 2;
  EXPECT_EQ(check(w), 3u);
  w.rate = 8000;
  w.format = 3;
  EXPECT_EQ(check(w), 4u);
  w.channels = 1;
  EXPECT_EQ(check(w), 5u);
  w.format = 0x101;  // only a tag of exactly 1 is PCM
  EXPECT_EQ(check(w), 5u);
  w.format = 1;
  w.channels = 0x201;  // only the low byte of the channel count is read
  EXPECT_EQ(check(w), 92u + 528);

  // Bytes 0-3 are never looked at.
  testkit::Bytes bytes = with_data_length(11025, 16, 2720).bytes();
  bytes[0] = 'X';
  testkit::write_file(dir_.file("x.wav"), bytes);
  EXPECT_EQ(wav_vqr_check(dir_.file("x.wav").c_str()), 92u + 528);
}

TEST_F(WavCheck, WavVqrCheck_RefusesFilesWithoutUsableSamples) {
  // No "data" tag at all.
  testkit::Bytes bytes = with_data_length(11025, 16, 0).bytes();
  bytes.resize(36);
  testkit::write_file(dir_.file("nodata.wav"), bytes);
  // A "data" tag whose length field the file does not hold.
  testkit::Bytes cut = with_data_length(11025, 16, 0).bytes();
  cut.resize(42);
  testkit::write_file(dir_.file("cut.wav"), cut);
  for (const char* name : {"nodata.wav", "cut.wav"}) {
    const std::string path = dir_.file(name).string();
    EXPECT_EQ(wav_vqr_check(path.c_str()), 6u) << name;
    EXPECT_EQ(wav_vqr_check_f(path.c_str(), 510, 0, 3), 6u) << name;
  }
  for (uint16_t bits : {uint16_t{0}, uint16_t{4}, uint16_t{24}, uint16_t{32}}) {
    const std::string path = write(with_data_length(8000, bits, 64));
    EXPECT_EQ(wav_vqr_check(path.c_str()), 6u) << bits;
    EXPECT_EQ(wav_vqr_check_f(path.c_str(), 511, 4, 2), 6u) << bits;
  }
}

TEST_F(WavCheck, WavVqrCheck_TakesTheFirstDataTagAnywhere) {
  // A LIST chunk whose text holds "data" followed by a length of 1360.
  WavFile w = with_data_length(11025, 8, 5000);
  w.before_data = {'L', 'I', 'S', 'T', 8, 0, 0, 0, 'd', 'a', 't', 'a', 0x50, 0x05, 0, 0};
  EXPECT_EQ(check(w), 92u + 528);
}

TEST_F(WavCheck, WavVqrCheck_LongSourcesDoNotWrapTheSize) {
  // 100 000 000 16-bit samples (2.5 hours at 11025 Hz): D x 24 exceeds 32 bits.
  // Only the length field matters to the check, so the file itself is short.
  WavFile w = with_data_length(11025, 16, 0);
  w.data_length = 200'000'000;
  const uint32_t pages = (100'000'000u * 3 + 4079) / 4080;
  EXPECT_EQ(check(w), pages * 528 + 92);
  w.rate = 8000;
  EXPECT_EQ(check(w), (100'000'000u * 2 + 4091) / 4092 * 528 + 92);
}

TEST_F(WavCheck, WavVqrCheckF_RefusesLayoutsAndSizesItCannotMake) {
  const std::string path = write(with_data_length(8000, 8, 1000));
  EXPECT_EQ(wav_vqr_check_f(path.c_str(), 510, 0, 5), 8u);
  EXPECT_EQ(wav_vqr_check_f(path.c_str(), 510, 0, 1), 8u);
  EXPECT_EQ(wav_vqr_check_f(path.c_str(), 512, 1, 2), 8u);
  EXPECT_EQ(wav_vqr_check_f(path.c_str(), 0, 1, 2), 8u);  // not even one code
  EXPECT_EQ(wav_vqr_check_f(path.c_str(), 0, 2, 2), 92u + 1001 * 528);

  // One code a page: ten million samples would need a 5 GB file.
  WavFile w = with_data_length(8000, 8, 0);
  w.data_length = 10'000'000;
  const std::string big = write(w, "big.wav");
  EXPECT_EQ(wav_vqr_check_f(big.c_str(), 0, 2, 2), 7u);
  EXPECT_EQ(wav_vqr_check_f(big.c_str(), 0, 4, 2), 92u + 5'000'001u * 528);
}

TEST_F(WavCheck, WavSamplefAndBitmode_ReadTheirFields) {
  const std::string path = write(with_data_length(22050, 24, 0));
  EXPECT_EQ(wav_samplef(path.c_str()), 22050);
  EXPECT_EQ(wav_bitmode(path.c_str()), 24);
  const std::string missing = dir_.file("missing.wav").string();
  EXPECT_EQ(wav_samplef(missing.c_str()), -1);
  EXPECT_EQ(wav_bitmode(missing.c_str()), -1);
}

}  // namespace
