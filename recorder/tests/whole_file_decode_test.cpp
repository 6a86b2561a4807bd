#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "calendo/adpcm.h"
#include "kestrune.h"
#include "platform/memory.h"
#include "testing/recorder_writer.h"
#include "wav_builder.h"

namespace {

using testkit::Bytes;

std::vector<uint8_t> some_codes(size_t count, int bits, uint32_t seed) {
  std::vector<uint8_t> codes(count);
  for (auto& c : codes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<uint8_t>((seed >> 16) & ((1u << bits) - 1));
  }
  return codes;
}

int16_t doubled(int16_t s) {
  return static_cast<int16_t>(static_cast<uint16_t>(s) << 1);
}

uint32_t le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

class AdpcmDec1Test : public ::testing::Test {
 protected:
  // A vqr file of `pages` pages of the given mode; returns each page's codes.
  std::vector<std::vector<uint8_t>> write_vqr(uint8_t file_mode, testkit::ModeDescriptor mode,
                                              size_t codes_per_page, size_t pages) {
    testkit::VqrFile f;
    f.header.file_mode = file_mode;
    (file_mode == 1 ? f.header.lp : f.header.sp) = mode;
    std::vector<std::vector<uint8_t>> all;
    for (size_t p = 0; p < pages; ++p) {
      all.push_back(some_codes(codes_per_page, mode.code_bits, static_cast<uint32_t>(p + 3)));
      testkit::VqrPage page;
      page.bytes.fill(0xFF);
      std::fill(page.bytes.begin(), page.bytes.begin() + 512, 0);
      testkit::pack_codes(all.back(), mode.code_bits, page.code_area());
      page.flag() = file_mode;
      f.pages.push_back(page);
    }
    f.write(src_);
    return all;
  }

  Bytes wav() const { return wavtest::read_file(dst_); }

  testkit::TempDir dir_;
  std::string src_ = dir_.file("in.vqr").string();
  std::string dst_ = dir_.file("out.wav").string();
  uint8_t info_[KESTRUNE_DEC1_INFO] = {};
};

TEST_F(AdpcmDec1Test, HeaderCallWritesTheWavHeaderOfItsMode) {
  struct Case {
    uint8_t file_mode;
    testkit::ModeDescriptor mode;
    int32_t out_bits;
    uint32_t rate, samples_per_page;
  };
  for (const Case& c :
       {Case{0, {11, 3, 510, 0}, 2, 11025, 1360}, Case{0, {8, 4, 512, 0}, 1, 8000, 1024},
        Case{1, {7, 2, 511, 4}, 2, 8000, 2338}, Case{1, {8, 2, 512, 0}, 1, 8000, 2048}}) {
    write_vqr(c.file_mode, c.mode, 8, 3);
    ASSERT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), c.out_bits, 0, 0, info_, 0), 3);
    const Bytes w = wav();
    ASSERT_EQ(w.size(), 44u);
    EXPECT_EQ(le32(&w[24]), c.rate);
    EXPECT_EQ(w[34], 8 * c.out_bits);
    EXPECT_EQ(le32(&w[40]), 3 * c.samples_per_page * static_cast<uint32_t>(c.out_bits));
    const Bytes src = wavtest::read_file(src_);
    EXPECT_EQ(std::memcmp(info_, src.data(), 92), 0);
    EXPECT_EQ(std::memcmp(info_ + 92, w.data(), 44), 0);
  }
}

TEST_F(AdpcmDec1Test, HeaderCallDoesNotLookAtTheMagic) {
  testkit::VqrFile f;
  f.header.magic = "XXXX";
  f.pages.resize(2);
  f.write(src_);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), 2);
}

TEST_F(AdpcmDec1Test, HeaderCallRefusalsWriteNothing) {
  const std::string missing = dir_.file("missing.vqr").string();
  EXPECT_EQ(AdpcmDec1(missing.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), 37);
  write_vqr(0, testkit::kVqrSp, 1360, 1);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dir_.file("no/dir.wav").c_str(), 2, 0, 0, info_, 0), 2);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 3, 0, 0, info_, 0), KESTRUNE_UNSUPPORTED);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, nullptr, 0), KESTRUNE_UNSUPPORTED);
  testkit::VqrFile mixed;
  mixed.header.file_mode = 2;
  mixed.pages.resize(1);
  mixed.write(src_);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 1, 0, info_, 0), KESTRUNE_UNSUPPORTED);
  testkit::VqrFile bad_bits;
  bad_bits.header.sp.code_bits = 5;
  bad_bits.write(src_);
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), KESTRUNE_UNSUPPORTED);
  testkit::write_file(src_, Bytes(91, 0));
  EXPECT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), KESTRUNE_UNSUPPORTED);
  EXPECT_FALSE(std::filesystem::exists(dst_));
  EXPECT_EQ(Bytes(info_, info_ + sizeof info_), Bytes(sizeof info_, 0));
  // No saved conversion after a failed header call.
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, 1), 1);
}

TEST_F(AdpcmDec1Test, PageCallsUnpackByTheCodeBitsOfTheMode) {
  struct Case {
    uint8_t file_mode;
    testkit::ModeDescriptor mode;
    size_t codes;
  };
  for (const Case& c : {Case{0, {11, 4, 512, 0}, 1024}, Case{0, {11, 3, 510, 0}, 1360},
                        Case{1, {11, 2, 511, 4}, 2046}, Case{1, {8, 2, 512, 0}, 2048}}) {
    const auto pages = write_vqr(c.file_mode, c.mode, c.codes, 3);
    ASSERT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), 3);
    ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 1, nullptr, 1), static_cast<int32_t>(c.codes));
    ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 2, 2, nullptr, 1), static_cast<int32_t>(c.codes));

    calendo::Adpcm ref(calendo::OutputStage::Shift2);
    ref.adpcm_reset_state();
    Bytes expected;
    for (const auto& page : pages) {
      for (uint8_t code : page) {
        const auto s =
            static_cast<uint16_t>(doubled(ref.adpcm_decode_code(code, c.mode.code_bits)));
        expected.push_back(static_cast<uint8_t>(s));
        expected.push_back(static_cast<uint8_t>(s >> 8));
      }
    }
    const Bytes w = wav();
    ASSERT_EQ(w.size(), 44 + expected.size()) << int(c.mode.code_bits);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), w.begin() + 44))
        << int(c.mode.code_bits);
  }
}

TEST_F(AdpcmDec1Test, Rate7WritesTheHeadOfEachGroupTwiceIn8BitSamples) {
  const auto pages = write_vqr(1, testkit::kVqrLp, 2046, 1);
  ASSERT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 1, 0, 0, info_, 0), 1);
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 1, 0, 0, nullptr, 1), 2046);
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  Bytes expected;
  for (size_t k = 0; k < 2046; ++k) {
    const int16_t s = doubled(ref.adpcm_decode_code(pages[0][k], 2));
    const auto byte = static_cast<uint8_t>(s / 256 + 128);
    expected.push_back(byte);
    if (k % 7 == 0 && k < 2043) expected.push_back(byte);
  }
  ASSERT_EQ(expected.size(), 2338u);
  const Bytes w = wav();
  EXPECT_EQ(Bytes(w.begin() + 44, w.end()), expected);
}

TEST_F(AdpcmDec1Test, PageCallsReadPastTheEndAs0xFFAndShareTheDecoder) {
  const auto pages = write_vqr(0, testkit::kVqrSp, 1360, 1);
  ASSERT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), 1);
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, 1), 1360);
  // The real-time decoder goes on from where the page call left the stream.
  calendo::Adpcm ref(calendo::OutputStage::Shift2);
  ref.adpcm_reset_state();
  for (uint8_t code : pages[0]) ref.adpcm_decode_code(code, 3);
  std::vector<uint8_t> next = some_codes(1360, 3, 99);
  int16_t* block = nullptr;
  ASSERT_EQ(pb_adpcm_dec(11, 3, 1360, next.data(), &block, 0), 1360);
  for (size_t i = 0; i < 1360; ++i) {
    ASSERT_EQ(block[i], doubled(ref.adpcm_decode_code(next[i], 3))) << i;
  }
  EXPECT_TRUE(platform::block_free(block));

  // Page 5 lies past the end: every code is 7, from bytes of 0xFF.
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 5, 5, nullptr, 1), 1360);
  const Bytes w = wav();
  ASSERT_EQ(w.size(), 44u + 2 * 2 * 1360);
  for (size_t i = 0; i < 1360; ++i) {
    const auto s = static_cast<uint16_t>(doubled(ref.adpcm_decode_code(7, 3)));
    ASSERT_EQ(w[44 + 2720 + 2 * i], static_cast<uint8_t>(s)) << i;
  }
}

TEST_F(AdpcmDec1Test, PageCallRefusals) {
  write_vqr(0, testkit::kVqrSp, 1360, 2);
  ASSERT_EQ(AdpcmDec1(src_.c_str(), dst_.c_str(), 2, 0, 0, info_, 0), 2);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, -1, 0, nullptr, 1), KESTRUNE_UNSUPPORTED);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 1, 0, nullptr, 1), KESTRUNE_UNSUPPORTED);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 0, 0, 0, nullptr, 1), KESTRUNE_UNSUPPORTED);
  std::filesystem::remove(src_);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, 1), 1);
  write_vqr(0, testkit::kVqrSp, 1360, 2);
  std::filesystem::remove(dst_);
  std::filesystem::create_directory(dst_);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, 1), 2);
}

}  // namespace
