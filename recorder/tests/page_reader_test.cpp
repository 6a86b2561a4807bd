// play_1pagerd on both containers: page bytes, modes, gaps, damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "kestrune.h"
#include "testing/recorder_writer.h"

namespace {

using testkit::Bytes;
using PageBuffer = std::array<uint8_t, KESTRUNE_PAGE_BUFFER>;

class PageReaderTest : public ::testing::Test {
 protected:
  std::string write(const Bytes& bytes) {
    const auto path = dir_.file("file");
    testkit::write_file(path, bytes);
    return path.string();
  }

  testkit::TempDir dir_;
};

// Audio bytes that differ from their neighbours and from gap and chunk fill.
Bytes numbered_audio(size_t size) {
  Bytes audio(size);
  for (size_t i = 0; i < size; ++i) audio[i] = static_cast<uint8_t>(i % 199);
  return audio;
}

Bytes slice(const Bytes& bytes, size_t at, size_t size) {
  Bytes out(size, 0xFF);
  for (size_t i = 0; i < size && at + i < bytes.size(); ++i) out[i] = bytes[at + i];
  return out;
}

TEST_F(PageReaderTest, Vqr_EachPageIsReadWholeAndTimedByItsOwnFlag) {
  testkit::VqrFile file;
  file.header.file_mode = 1;  // does not override the pages' own flags
  const std::vector<uint8_t> codes(1360, 5);
  file.pages = {testkit::vqr_sp_page(codes), testkit::vqr_lp_page(), testkit::vqr_sp_page()};
  file.pages[2].flag() = 0xFE;  // only bit 0 counts
  const Bytes bytes = file.bytes();
  const std::string path = write(bytes);
  const int16_t expected[] = {KESTRUNE_SP_PAGE, KESTRUNE_LP_PAGE, KESTRUNE_SP_PAGE};
  for (int32_t page = 0; page < 3; ++page) {
    PageBuffer buffer{};
    EXPECT_EQ(play_1pagerd(path.c_str(), page, buffer.data(), KESTRUNE_VQR), expected[page]);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), slice(bytes, 92 + 528 * size_t(page), 528));
  }
}

TEST_F(PageReaderTest, Vqr_BytesPastTheEndReadAs0xFF) {
  testkit::VqrFile file;
  file.pages = {testkit::vqr_sp_page()};
  file.trailing.assign(300, 0x00);  // a partial page: its flag byte is missing
  const std::string path = write(file.bytes());
  PageBuffer buffer{};
  EXPECT_EQ(play_1pagerd(path.c_str(), 1, buffer.data(), KESTRUNE_VQR), KESTRUNE_LP_PAGE);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 300, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(buffer.begin() + 300, buffer.end(), [](uint8_t b) { return b == 0xFF; }));
  for (const int32_t page : std::initializer_list<int32_t>{2, INT32_MAX, -1, INT32_MIN}) {
    buffer.fill(0);
    EXPECT_EQ(play_1pagerd(path.c_str(), page, buffer.data(), KESTRUNE_VQR), KESTRUNE_LP_PAGE);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xFF; }))
        << page;
  }
}

TEST_F(PageReaderTest, UnopenableFileOrUnknownKindWritesNothing) {
  testkit::VqrFile file;
  file.pages = {testkit::vqr_sp_page()};
  const std::string path = write(file.bytes());
  const std::string missing = dir_.file("missing").string();
  PageBuffer buffer;
  buffer.fill(0x5A);
  for (const int16_t kind : std::initializer_list<int16_t>{KESTRUNE_VQR, KESTRUNE_VQM}) {
    EXPECT_EQ(play_1pagerd(missing.c_str(), 0, buffer.data(), kind), KESTRUNE_CANNOT_OPEN);
    EXPECT_EQ(play_1pagerd(dir_.path().c_str(), 0, buffer.data(), kind), KESTRUNE_CANNOT_OPEN);
  }
  EXPECT_EQ(play_1pagerd(path.c_str(), 0, buffer.data(), 2), KESTRUNE_CANNOT_OPEN);
  EXPECT_EQ(play_1pagerd(path.c_str(), 0, buffer.data(), -1), KESTRUNE_CANNOT_OPEN);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(PageReaderTest, Vqm_ModeByte5IsSpAndAnyOtherLp) {
  testkit::VqmFile file;
  file.audio = numbered_audio(510);
  for (const uint8_t mode : std::initializer_list<uint8_t>{5, 4, 6, 0, 255}) {
    file.mode = mode;
    const std::string path = write(file.bytes());
    PageBuffer buffer{};
    EXPECT_EQ(play_1pagerd(path.c_str(), 0, buffer.data(), KESTRUNE_VQM),
              mode == 5 ? KESTRUNE_SP_PAGE : KESTRUNE_LP_PAGE);
  }
}

// Reading every page (and one past the end) gives back the audio with the
// gaps left out, whatever the gaps look like.
void expect_pages_are_the_audio(const std::string& path, const Bytes& audio) {
  const SplpInfo info = play_splpget(path.c_str(), KESTRUNE_VQM);
  ASSERT_EQ(info.page_count, audio.size() / 510);
  for (uint32_t page = 0; page <= info.page_count; ++page) {
    PageBuffer buffer;
    buffer.fill(0x5A);
    ASSERT_EQ(play_1pagerd(path.c_str(), static_cast<int32_t>(page), buffer.data(), KESTRUNE_VQM),
              KESTRUNE_SP_PAGE);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 510), slice(audio, 510 * size_t(page), 510))
        << "page " << page;
    // Exactly 510 bytes are written.
    EXPECT_TRUE(
        std::all_of(buffer.begin() + 510, buffer.end(), [](uint8_t b) { return b == 0x5A; }));
  }
}

TEST_F(PageReaderTest, Vqm_GapsAreSkipped) {
  const struct {
    const char* what;
    std::vector<testkit::VqmGap> gaps;
  } layouts[] = {
      {"no gap", {}},
      {"inside a page", {{100, 33}}},
      {"at a page boundary", {{510, 40}, {1020, 7}}},
      {"at the audio start", {{0, 12}, {700, 5}}},
      {"adjacent gaps", {{300, 4}, {0, 9}, {0, 2}, {510, 1}}},
      {"empty gaps", {{510, 0}, {0, 0}, {3, 0}}},
      {"unclosed last gap", {{400, 10}, {200, std::nullopt}}},
      {"gap after the last page", {{4 * 510 + 20, 50}}},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.what);
    testkit::VqmFile file;
    file.extra_chunks = {21};
    file.audio = numbered_audio(4 * 510 + 100);
    file.gaps = layout.gaps;
    expect_pages_are_the_audio(write(file.bytes()), file.audio);
  }
}

TEST_F(PageReaderTest, Vqm_StrayDirectoryEntriesAreIgnored) {
  testkit::VqmFile file;
  file.audio = numbered_audio(3 * 510);
  // After the first type-4 entry: a type-7 entry, a type-3 entry with no gap
  // open, and a type-4 entry that moves the open gap's start from 100 to 200.
  // The one real gap is 50 bytes after 200 audio bytes.
  file.directory_override = std::vector<testkit::VqmEntry>{{1, 80},  {2, 64}, {4, 100}, {7, 999},
                                                           {4, 200}, {3, 50}, {3, 20},  {9, 1}};
  file.gaps = {{200, 50}};  // lays the body out to match; its directory is replaced
  const Bytes bytes = file.bytes();
  ASSERT_EQ(bytes.size(), 80 + 64 + 3 * 510 + 50u);
  expect_pages_are_the_audio(write(bytes), file.audio);
}

TEST_F(PageReaderTest, Vqm_RefusedDirectoryWritesNothing) {
  testkit::VqmFile file;
  file.audio = numbered_audio(510);
  file.gaps.assign(5001, {0, 0});
  const std::string path = write(file.bytes());
  PageBuffer buffer;
  buffer.fill(0x5A);
  EXPECT_EQ(play_1pagerd(path.c_str(), 0, buffer.data(), KESTRUNE_VQM), KESTRUNE_CANNOT_OPEN);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(PageReaderTest, Vqm_HugeAndNegativePagesReadAs0xFF) {
  testkit::VqmFile file;
  file.audio = numbered_audio(510);
  file.gaps = {{10, 10}, {10, 10}};
  const std::string path = write(file.bytes());
  for (const int32_t page : std::initializer_list<int32_t>{1, INT32_MAX, -1, INT32_MIN}) {
    PageBuffer buffer{};
    EXPECT_EQ(play_1pagerd(path.c_str(), page, buffer.data(), KESTRUNE_VQM), KESTRUNE_SP_PAGE);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 510, [](uint8_t b) {
      return b == 0xFF;
    })) << page;
  }
}

TEST_F(PageReaderTest, Vqm_TruncatedAtEveryLengthReadsCleanly) {
  testkit::VqmFile file;
  file.audio = numbered_audio(2 * 510);
  file.gaps = {{510, 30}};
  const Bytes full = file.bytes();
  for (size_t size = 0; size <= full.size(); size += 7) {
    const std::string path = write(Bytes(full.begin(), full.begin() + static_cast<long>(size)));
    for (const int32_t page : std::initializer_list<int32_t>{0, 1, 2}) {
      PageBuffer buffer;
      buffer.fill(0x5A);
      // Without the mode byte at 61, 0xFF is read, which is not 5.
      EXPECT_EQ(play_1pagerd(path.c_str(), page, buffer.data(), KESTRUNE_VQM),
                size > 61 ? KESTRUNE_SP_PAGE : KESTRUNE_LP_PAGE);
      EXPECT_TRUE(
          std::all_of(buffer.begin() + 510, buffer.end(), [](uint8_t b) { return b == 0x5A; }));
    }
  }
}

}  // namespace
