#include "testing/recorder_writer.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

using testkit::Bytes;

TEST(PackCodes, PutsLeastSignificantBitFirst) {
  const uint8_t three_bit[] = {1, 2, 3, 4, 5, 6, 7, 0};
  // 001 010 011 100 101 110 111 000, lowest bit first.
  EXPECT_EQ(testkit::pack_codes(three_bit, 3), (Bytes{0xD1, 0x58, 0x1F}));
  const uint8_t two_bit[] = {1, 2, 3};
  EXPECT_EQ(testkit::pack_codes(two_bit, 2), (Bytes{0x39}));
  const uint8_t four_bit[] = {0xA, 0x5};
  EXPECT_EQ(testkit::pack_codes(four_bit, 4), (Bytes{0x5A}));
}

TEST(VqrFile, HasTheStandardHeaderAndPageLayout) {
  testkit::VqrFile file;
  file.pages = {testkit::vqr_sp_page(), testkit::vqr_lp_page()};
  file.trailing = {1, 2, 3};
  const Bytes bytes = file.bytes();
  ASSERT_EQ(bytes.size(), 92u + 2 * 528 + 3);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "OIFF");
  EXPECT_EQ(bytes[4] | bytes[5] << 8, static_cast<int>(bytes.size() - 8));
  EXPECT_EQ(bytes[58] | bytes[59] << 8, 528);
  EXPECT_EQ((Bytes{bytes.begin() + 61, bytes.begin() + 71}),
            (Bytes{11, 3, 0xFE, 0x01, 0, 7, 2, 0xFF, 0x01, 4}));
  EXPECT_EQ(bytes[75], 2);
  EXPECT_EQ(bytes[88] | bytes[89] << 8, static_cast<int>(bytes.size() - 92));
  EXPECT_EQ(bytes[92 + 510], 0xFF);  // SP page: bytes 510-511 unused
  EXPECT_EQ(bytes[92 + 512], 0);
  EXPECT_EQ(bytes[92 + 528 + 512], 1);
  EXPECT_EQ(bytes[92 + 528 + 527], 0xFF);
}

TEST(VqmFile, LaysOutDirectoryAudioAndGaps) {
  testkit::VqmFile file;
  file.extra_chunks = {4};
  file.audio = Bytes(10, 0xAA);
  file.gaps = {{3, 2}, {0, 1}, {4, std::nullopt}};
  testkit::TempDir dir;
  const Bytes bytes = file.write(dir.file("a.vqm"));
  // Head (1), directory (2), chunk (1), then 4 3 4 3 4: 8 entries.
  EXPECT_EQ(file.audio_base(), 80u + 64 + 4);
  EXPECT_EQ(bytes[92] << 24 | bytes[93] << 16 | bytes[94] << 8 | bytes[95], 64);
  const size_t base = file.audio_base();
  ASSERT_EQ(bytes.size(), base + 10 + 3);
  EXPECT_EQ(bytes[base + 2], 0xAA);
  EXPECT_EQ(bytes[base + 3], 0xEE);
  EXPECT_EQ(bytes[base + 5], 0xEE);
  EXPECT_EQ(bytes[base + 6], 0xAA);

  std::ifstream in(dir.file("a.vqm"), std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytes);
}

TEST(TempDir, RemovesItsFiles) {
  std::filesystem::path kept;
  {
    testkit::TempDir dir;
    kept = dir.path();
    testkit::write_file(dir.file("x"), Bytes{1});
    EXPECT_TRUE(std::filesystem::exists(dir.file("x")));
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(TempDir, FollowsTmpdir) {
  testkit::TempDir outer;
  const char* previous = std::getenv("TMPDIR");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("TMPDIR", outer.path().c_str(), 1);
  {
    testkit::TempDir inner;
    EXPECT_EQ(inner.path().parent_path(), outer.path());
  }
  if (previous != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

}  // namespace
