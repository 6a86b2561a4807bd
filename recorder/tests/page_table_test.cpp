// pb_splptblmk, splp_pageno and get_time.
#include <gtest/gtest.h>

#include <vector>

#include "kestrune.h"
#include "testing/recorder_writer.h"

namespace {

using testkit::Bytes;

class PageTableTest : public ::testing::Test {
 protected:
  std::string write(const Bytes& bytes) {
    const auto path = dir_.file("file");
    testkit::write_file(path, bytes);
    return path.string();
  }

  testkit::TempDir dir_;
};

TEST_F(PageTableTest, Vqr_EachEntryIsBit0OfItsPageFlag) {
  // More pages than one read of the table takes, with flags beyond 0 and 1.
  testkit::VqrFile file;
  std::vector<uint8_t> expected;
  for (size_t i = 0; i < 200; ++i) {
    file.pages.push_back(i % 3 == 0 ? testkit::vqr_lp_page() : testkit::vqr_sp_page());
    if (i % 7 == 0) file.pages.back().flag() |= 0xFE;
    expected.push_back(i % 3 == 0);
  }
  file.header.file_mode = 1;
  file.trailing.assign(100, 0);  // a partial page, its flag byte missing
  const std::string path = write(file.bytes());

  std::vector<uint8_t> table(203, 0x77);
  ASSERT_EQ(pb_splptblmk(path.c_str(), table.data(), 203, KESTRUNE_VQR), 0);
  EXPECT_EQ(std::vector<uint8_t>(table.begin(), table.begin() + 200), expected);
  // Pages beyond the end read 0xFF, so their entries are 1.
  EXPECT_EQ(std::vector<uint8_t>(table.begin() + 200, table.end()),
            (std::vector<uint8_t>{1, 1, 1}));
}

TEST_F(PageTableTest, Vqm_EveryEntryFollowsTheModeByte) {
  testkit::VqmFile file;
  file.audio.assign(3 * 510, 0);
  for (const uint8_t mode : std::initializer_list<uint8_t>{5, 4, 6}) {
    file.mode = mode;
    const std::string path = write(file.bytes());
    std::vector<uint8_t> table(4, 0x77);
    ASSERT_EQ(pb_splptblmk(path.c_str(), table.data(), 3, KESTRUNE_VQM), 0);
    const uint8_t entry = mode == 5 ? 0 : 1;
    EXPECT_EQ(table, (std::vector<uint8_t>{entry, entry, entry, 0x77})) << int{mode};
  }
}

TEST_F(PageTableTest, UnopenableFileOrUnknownKindWritesNothing) {
  testkit::VqrFile file;
  file.pages = {testkit::vqr_sp_page()};
  const std::string path = write(file.bytes());
  std::vector<uint8_t> table(2, 0x77);
  EXPECT_EQ(pb_splptblmk(dir_.file("missing").c_str(), table.data(), 2, KESTRUNE_VQR), 1);
  EXPECT_EQ(pb_splptblmk(dir_.file("missing").c_str(), table.data(), 2, KESTRUNE_VQM), 1);
  EXPECT_EQ(pb_splptblmk(path.c_str(), table.data(), 2, 2), 1);
  EXPECT_EQ(table, (std::vector<uint8_t>{0x77, 0x77}));
}

TEST(SplpPageNo, CountsZerosAndOnesOnly) {
  const uint8_t table[] = {0, 1, 0xFF, 0, 2, 1, 1};
  uint32_t counts[2] = {99, 99};
  EXPECT_EQ(splp_pageno(table, counts, 7), 0);
  EXPECT_EQ(counts[0], 2u);
  EXPECT_EQ(counts[1], 3u);
  EXPECT_EQ(splp_pageno(table, counts, 0), 0);
  EXPECT_EQ(counts[0], 0u);
  EXPECT_EQ(counts[1], 0u);
}

TEST(GetTime, SumsPagesZeroToNByTheirModes) {
  const uint8_t table[] = {0, 1, 1, 0xFF, 0};
  EXPECT_EQ(get_time(table, 0, 123, 292), 123);
  EXPECT_EQ(get_time(table, 2, 123, 292), 123 + 2 * 292);
  EXPECT_EQ(get_time(table, 3, 123, 292), 123 + 2 * 292);  // 0xFF adds nothing
  EXPECT_EQ(get_time(table, 4, 123, 292), 2 * 123 + 2 * 292);
  const uint8_t lp_only[] = {1};
  EXPECT_EQ(get_time(lp_only, 0, 123, 255), 255);
}

// The whole path of the player: header, table, counts, time.
TEST_F(PageTableTest, MixedFileGivesCountsAndTime) {
  testkit::VqrFile file;
  file.pages = {testkit::vqr_sp_page(), testkit::vqr_lp_page(), testkit::vqr_lp_page(),
                testkit::vqr_sp_page()};
  const std::string path = write(file.bytes());
  const SplpInfo info = play_splpget(path.c_str(), KESTRUNE_VQR);
  ASSERT_EQ(info.page_count, 4u);
  std::vector<uint8_t> table(info.page_count);
  ASSERT_EQ(pb_splptblmk(path.c_str(), table.data(), info.page_count, KESTRUNE_VQR), 0);
  uint32_t counts[2];
  splp_pageno(table.data(), counts, info.page_count);
  EXPECT_EQ(counts[0], 2u);
  EXPECT_EQ(counts[1], 2u);
  EXPECT_EQ(get_time(table.data(), info.page_count - 1, static_cast<int32_t>(info.page_ms[0]),
                     static_cast<int32_t>(info.page_ms[1])),
            2 * 123 + 2 * 292);
}

}  // namespace
