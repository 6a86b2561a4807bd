// play_splpget on vqr and vqm files, good and damaged.
#include <gtest/gtest.h>

#include <cstring>

#include "kestrune.h"
#include "testing/recorder_writer.h"

namespace {

using testkit::Bytes;

class SplpInfoTest : public ::testing::Test {
 protected:
  std::string write(const Bytes& bytes, const std::string& name = "file") {
    const auto path = dir_.file(name);
    testkit::write_file(path, bytes);
    return path.string();
  }
  SplpInfo get(const Bytes& bytes, int16_t kind) {
    return play_splpget(write(bytes).c_str(), kind);
  }

  testkit::TempDir dir_;
};

bool filled_with(const SplpInfo& info, uint32_t value) {
  for (int m = 0; m < 2; ++m) {
    if (static_cast<uint32_t>(info.rate_code[m]) != value ||
        static_cast<uint32_t>(info.code_bits[m]) != value || info.code_bytes[m] != value ||
        info.extra_bits[m] != value || info.length_field[m] != value ||
        info.page_field[m] != value || info.page_ms[m] != value)
      return false;
  }
  return info.page_count == value;
}

testkit::VqrFile vqr_with_pages(size_t sp, size_t lp) {
  testkit::VqrFile file;
  for (size_t i = 0; i < sp; ++i) file.pages.push_back(testkit::vqr_sp_page());
  for (size_t i = 0; i < lp; ++i) file.pages.push_back(testkit::vqr_lp_page());
  return file;
}

TEST_F(SplpInfoTest, Vqr_ReadsTheHeaderAndCountsWholePages) {
  testkit::VqrFile file = vqr_with_pages(2, 1);
  file.header.sp_length = 3840;
  file.header.lp_length = 17;
  file.header.lp_pages = 0x01020304;
  for (const size_t partial : std::initializer_list<size_t>{0, 1, 100, 527}) {
    file.trailing.assign(partial, 0xAB);
    const SplpInfo info = get(file.bytes(), KESTRUNE_VQR);
    EXPECT_EQ(info.page_count, 3u) << partial;
    EXPECT_EQ(info.rate_code[0], 11);
    EXPECT_EQ(info.rate_code[1], 7);
    EXPECT_EQ(info.code_bits[0], 3);
    EXPECT_EQ(info.code_bits[1], 2);
    EXPECT_EQ(info.code_bytes[0], 510);
    EXPECT_EQ(info.code_bytes[1], 511);
    EXPECT_EQ(info.extra_bits[0], 0);
    EXPECT_EQ(info.extra_bits[1], 4);
    EXPECT_EQ(info.length_field[0], 3840);
    EXPECT_EQ(info.length_field[1], 17);
    EXPECT_EQ(info.page_field[0], 3u);
    EXPECT_EQ(info.page_field[1], 0x01020304u);
    EXPECT_EQ(info.page_ms[0], 123u);  // 1360 codes / 11 kHz
    EXPECT_EQ(info.page_ms[1], 292u);  // 2046 codes / 7 kHz
  }
}

TEST_F(SplpInfoTest, Vqr_PageDurationFollowsTheDescriptors) {
  testkit::VqrFile file = vqr_with_pages(1, 0);
  file.header.sp = {8, 4, 512, 0};   // 1024 codes / 8
  file.header.lp = {11, 2, 511, 8};  // 2048 codes / 11 = 186.18
  file.header.page_size = 100;       // only divides the page count
  const SplpInfo info = get(file.bytes(), KESTRUNE_VQR);
  EXPECT_EQ(info.page_ms[0], 128u);
  EXPECT_EQ(info.page_ms[1], 186u);
  EXPECT_EQ(info.page_count, 5u);
}

TEST_F(SplpInfoTest, Vqr_HeaderChecksFillTheRecordWith13) {
  struct Damage {
    const char* what;
    void (*apply)(testkit::VqrHeader&);
  };
  const Damage damages[] = {
      {"magic", [](testkit::VqrHeader& h) { h.magic = "OIFG"; }},
      {"WAVE", [](testkit::VqrHeader& h) { h.wave = "WAVF"; }},
      {"fmt", [](testkit::VqrHeader& h) { h.fmt = "fmt_"; }},
      {"file mode 3", [](testkit::VqrHeader& h) { h.file_mode = 3; }},
      {"SP rate 9", [](testkit::VqrHeader& h) { h.sp.rate_code = 9; }},
      {"SP bits 5", [](testkit::VqrHeader& h) { h.sp.code_bits = 5; }},
      {"SP bits 1", [](testkit::VqrHeader& h) { h.sp.code_bits = 1; }},
      {"LP rate 0", [](testkit::VqrHeader& h) { h.lp.rate_code = 0; }},
      {"LP bits 0", [](testkit::VqrHeader& h) { h.lp.code_bits = 0; }},
      {"data", [](testkit::VqrHeader& h) { h.data = "DATA"; }},
      {"page size 0", [](testkit::VqrHeader& h) { h.page_size = 0; }},
      {"SP 513 code bytes", [](testkit::VqrHeader& h) { h.sp.code_bytes = 513; }},
      {"SP 512 bytes + extra",
       [](testkit::VqrHeader& h) { h.sp.extra_bits = 1, h.sp.code_bytes = 512; }},
      {"SP extra 9", [](testkit::VqrHeader& h) { h.sp.extra_bits = 9; }},
      {"LP 65535 code bytes", [](testkit::VqrHeader& h) { h.lp.code_bytes = 65535; }},
      {"LP extra 255", [](testkit::VqrHeader& h) { h.lp.extra_bits = 255; }},
  };
  for (const Damage& damage : damages) {
    testkit::VqrFile file = vqr_with_pages(1, 1);
    damage.apply(file.header);
    EXPECT_TRUE(filled_with(get(file.bytes(), KESTRUNE_VQR), 13)) << damage.what;
  }
}

TEST_F(SplpInfoTest, Vqr_AcceptsEveryAllowedValueAndTheLargestPages) {
  testkit::VqrFile file = vqr_with_pages(1, 0);
  file.header.file_mode = 2;
  for (const uint8_t rate : std::initializer_list<uint8_t>{7, 8, 11}) {
    for (const uint8_t bits : std::initializer_list<uint8_t>{2, 3, 4}) {
      file.header.sp = {rate, bits, 512, 0};
      file.header.lp = {rate, bits, 511, 8};
      const SplpInfo info = get(file.bytes(), KESTRUNE_VQR);
      EXPECT_EQ(info.rate_code[0], rate);
      EXPECT_EQ(info.code_bits[1], bits);
      EXPECT_EQ(info.code_bytes[0], 512);
      EXPECT_EQ(info.extra_bits[1], 8);
    }
  }
}

TEST_F(SplpInfoTest, Vqr_FileShorterThanItsHeaderHasNoPages) {
  const Bytes full = vqr_with_pages(0, 0).bytes();
  for (size_t size = 88; size < 92; ++size) {
    const SplpInfo info = get(Bytes(full.begin(), full.begin() + static_cast<long>(size)), 0);
    EXPECT_EQ(info.rate_code[0], 11) << size;
    EXPECT_EQ(info.page_count, 0u) << size;
  }
}

// Cutting a file anywhere leaves either a refusal or a record that agrees with
// the full file on everything but the pages that are gone.
TEST_F(SplpInfoTest, Vqr_TruncatedAtEveryLength) {
  const Bytes full = vqr_with_pages(2, 1).bytes();
  const SplpInfo whole = get(full, KESTRUNE_VQR);
  for (size_t size = 0; size < full.size(); ++size) {
    SplpInfo info = get(Bytes(full.begin(), full.begin() + static_cast<long>(size)), 0);
    if (size < 88) {
      EXPECT_TRUE(filled_with(info, 13)) << size;
      continue;
    }
    EXPECT_EQ(info.page_count, size > 92 ? (size - 92) / 528 : 0) << size;
    info.page_count = whole.page_count;
    EXPECT_EQ(std::memcmp(&info, &whole, sizeof info), 0) << size;
  }
}

// Any single flipped bit of the header gives a refusal or descriptors that
// still fit the page and code buffers.
TEST_F(SplpInfoTest, Vqr_FlippedHeaderBitsGiveSafeDescriptors) {
  const Bytes good = vqr_with_pages(1, 1).bytes();
  for (size_t byte = 0; byte < 92; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes bytes = good;
      bytes[byte] = static_cast<uint8_t>(bytes[byte] ^ (1 << bit));
      const SplpInfo info = get(bytes, KESTRUNE_VQR);
      if (filled_with(info, 13)) continue;
      for (int m = 0; m < 2; ++m) {
        const int bits = info.code_bits[m];
        ASSERT_TRUE(bits >= 2 && bits <= 4) << byte << ":" << bit;
        ASSERT_LE(info.extra_bits[m], 8) << byte << ":" << bit;
        ASSERT_LE(info.code_bytes[m] + (info.extra_bits[m] > 0), 512) << byte << ":" << bit;
        ASSERT_LE((8 * info.code_bytes[m] + info.extra_bits[m]) / bits, 2048);
        ASSERT_GT(info.page_ms[m], 0u);
      }
    }
  }
}

TEST_F(SplpInfoTest, UnopenableFileFillsTheRecordWith1) {
  EXPECT_TRUE(filled_with(play_splpget(dir_.file("missing.vqr").c_str(), 0), 1));
  EXPECT_TRUE(filled_with(play_splpget(dir_.path().c_str(), 0), 1));  // a directory
  EXPECT_TRUE(filled_with(play_splpget(nullptr, 1), 1));
  EXPECT_TRUE(filled_with(play_splpget(dir_.file("missing.vqm").c_str(), 1), 1));
}

TEST_F(SplpInfoTest, FileKindOtherThan0Or1FillsTheRecordWith13) {
  const std::string path = write(vqr_with_pages(1, 0).bytes());
  for (const int16_t kind : std::initializer_list<int16_t>{2, -1, 256})
    EXPECT_TRUE(filled_with(play_splpget(path.c_str(), kind), 13));
}

TEST_F(SplpInfoTest, KindDecidesWhichMagicIsExpected) {
  testkit::VqmFile vqm;
  vqm.audio.assign(510, 0);
  EXPECT_TRUE(filled_with(get(vqm.bytes(), KESTRUNE_VQR), 13));
  EXPECT_TRUE(filled_with(get(vqr_with_pages(1, 0).bytes(), KESTRUNE_VQM), 13));
  vqm.magic = "VQ_VOICF";
  EXPECT_TRUE(filled_with(get(vqm.bytes(), KESTRUNE_VQM), 13));
}

TEST_F(SplpInfoTest, Vqm_FixedValuesAndPageFieldsFromTheModeByte) {
  testkit::VqmFile file;
  file.audio.assign(3 * 510 + 200, 0x11);
  file.gaps = {{600, 1000}, {510, 7}};
  for (const uint8_t mode : std::initializer_list<uint8_t>{5, 4, 6, 0}) {
    file.mode = mode;
    const SplpInfo info = get(file.bytes(), KESTRUNE_VQM);
    EXPECT_EQ(info.rate_code[0], 11);
    EXPECT_EQ(info.rate_code[1], 8);
    EXPECT_EQ(info.code_bits[0], 3);
    EXPECT_EQ(info.code_bits[1], 2);
    EXPECT_EQ(info.code_bytes[0], 510);
    EXPECT_EQ(info.code_bytes[1], 510);
    EXPECT_EQ(info.extra_bits[0], 0);
    EXPECT_EQ(info.extra_bits[1], 0);
    EXPECT_EQ(info.page_count, 3u);
    EXPECT_EQ(info.length_field[0], 3840);
    EXPECT_EQ(info.length_field[1], 9000);
    EXPECT_EQ(info.page_field[0], mode == 5 ? 31065u : 0u) << int{mode};
    EXPECT_EQ(info.page_field[1], mode == 5 ? 0u : 31069u) << int{mode};
    EXPECT_EQ(info.page_ms[0], 123u);
    EXPECT_EQ(info.page_ms[1], 255u);
  }
}

TEST_F(SplpInfoTest, Vqm_DirectoryWithoutGapsAddsUpToTheAudioBase) {
  testkit::VqmFile file;
  file.extra_chunks = {1000, 37};
  file.audio.assign(2 * 510 + 509, 0);
  EXPECT_EQ(get(file.bytes(), KESTRUNE_VQM).page_count, 2u);
  file.audio.push_back(0);
  EXPECT_EQ(get(file.bytes(), KESTRUNE_VQM).page_count, 3u);
}

TEST_F(SplpInfoTest, Vqm_UnclosedLastGapCountsAsAudio) {
  testkit::VqmFile file;
  file.audio.assign(2 * 510, 0);
  file.gaps = {{100, 20}, {300, std::nullopt}};
  EXPECT_EQ(get(file.bytes(), KESTRUNE_VQM).page_count, 2u);
}

TEST_F(SplpInfoTest, Vqm_BaseAndGapsBeyondTheFileGiveNoPages) {
  testkit::VqmFile file;
  file.audio.assign(510, 0);
  file.extra_chunks = {4};
  Bytes bytes = file.bytes();
  bytes[80 + 16 + 4] = 0xFF;  // the extra chunk now claims 4 GB
  EXPECT_EQ(get(bytes, KESTRUNE_VQM).page_count, 0u);

  file.extra_chunks = {};
  file.directory_override = {{1, 80}, {2, 32}, {4, 0}, {3, 0x7FFFFFFF}};
  EXPECT_EQ(get(file.bytes(), KESTRUNE_VQM).page_count, 0u);
}

TEST_F(SplpInfoTest, Vqm_DirectoryLengthPastTheEndOrNegativeStaysInsideTheFile) {
  testkit::VqmFile file;
  file.audio.assign(4 * 510, 0);
  // Past the end: every whole 8 bytes after 80 is walked as an entry, nothing more.
  file.directory_length_override = 0x7FFFFFF8;
  SplpInfo info = get(file.bytes(), KESTRUNE_VQM);
  EXPECT_EQ(info.rate_code[0], 11);
  EXPECT_EQ(info.page_count, 0u);  // entry 2's length (at 92) is now 2 GB of audio base
  // Negative: no entry is walked, so the audio base is 0.
  file.directory_length_override = 0xFFFFFFF8;
  const Bytes bytes = file.bytes();
  info = get(bytes, KESTRUNE_VQM);
  EXPECT_EQ(info.page_count, bytes.size() / 510);
}

TEST_F(SplpInfoTest, Vqm_MoreThan5000GapsAreRefused) {
  testkit::VqmFile file;
  file.audio.assign(5 * 510, 0x22);
  file.gaps.assign(5000, {0, 0});
  EXPECT_EQ(get(file.bytes(), KESTRUNE_VQM).page_count, 5u);
  file.gaps.push_back({0, std::nullopt});  // the 5001st, even left open
  EXPECT_TRUE(filled_with(get(file.bytes(), KESTRUNE_VQM), 13));
}

TEST_F(SplpInfoTest, Vqm_TruncatedAtEveryLength) {
  testkit::VqmFile file;
  file.extra_chunks = {10};
  file.audio.assign(3 * 510, 0x33);
  file.gaps = {{510, 40}, {200, 3}};
  const Bytes full = file.bytes();
  const uint64_t taken = file.audio_base() + 43;
  const uint64_t directory_end = 80 + file.directory().size() * 8;
  for (size_t size = 0; size <= full.size(); ++size) {
    const SplpInfo info = get(Bytes(full.begin(), full.begin() + static_cast<long>(size)), 1);
    if (size < 8) {
      EXPECT_TRUE(filled_with(info, 13)) << size;
      continue;
    }
    EXPECT_EQ(info.rate_code[0], 11) << size;
    EXPECT_LE(info.page_count, size / 510) << size;
    if (size >= directory_end) {
      EXPECT_EQ(info.page_count, size > taken ? (size - taken) / 510 : 0) << size;
    }
  }
}

}  // namespace
