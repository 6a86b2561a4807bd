// The conversion sequence on the libraries built here: the steps it offers
// its caller, its endings, and a header that tells what the file holds.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "calendo/client/imports.h"
#include "calendo/client/wav_conversion.h"
#include "layout_recording.h"
#include "testing/recorder_writer.h"

namespace calendo::client {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32At(const std::vector<uint8_t>& bytes, std::size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

// The reader calls a caller makes before the conversion.
RecordingToConvert Read(const std::string& path) {
  RecordingToConvert recording;
  recording.path = path.c_str();
  recording.splp = imports::play_splpget(recording.path, recording.kind);
  recording.pages = static_cast<int32_t>(recording.splp.page_count);
  std::vector<uint8_t> table(recording.splp.page_count + 1);
  imports::pb_splptblmk(recording.path, table.data(), recording.splp.page_count, recording.kind);
  imports::splp_pageno(table.data(), recording.splp.page_field, recording.splp.page_count);
  return recording;
}

// Records the hooks in the order they are called; stops before `stop_at`.
struct Journal : ConversionSteps {
  std::vector<std::string> events;
  int32_t stop_at = -1;
  bool room = true;
  bool HasRoomFor(int32_t bytes) override {
    events.push_back("room " + std::to_string(bytes));
    return room;
  }
  bool BeforePage(int32_t page) override {
    events.push_back("before " + std::to_string(page));
    return page != stop_at;
  }
  void AfterPage(int32_t page) override { events.push_back("after " + std::to_string(page)); }
};

class WavConversion : public ::testing::Test {
 protected:
  void SetUp() override { binding::SetLibraryDirectory(CALENDO_LIB_DIR); }
  void TearDown() override { binding::SetLibraryDirectory({}); }

  // A standard vqr file of `pages` SP pages.
  std::string StandardVqr(int pages) {
    testkit::VqrFile file;
    for (int p = 0; p < pages; ++p) {
      file.pages.push_back(testkit::vqr_sp_page(std::vector<uint8_t>(1360, uint8_t(p % 8))));
    }
    const fs::path path = dir_.file("standard.vqr");
    file.write(path);
    return path.string();
  }

  testkit::TempDir dir_;
};

TEST_F(WavConversion, StandardLayout_KeepsTheHeaderTheCallWrote) {
  const std::string vqr = StandardVqr(3);
  const std::string wav = dir_.file("out.wav").string();
  Journal steps;
  const ConversionOutcome outcome = ConvertToWav(Read(vqr), wav.c_str(), kWav16Bit, steps);
  ASSERT_EQ(outcome.end, ConversionEnd::kDone);
  EXPECT_EQ(outcome.announced_bytes, 3 * 1360 * 2);
  EXPECT_EQ(outcome.data_bytes, 3u * 1360 * 2);
  EXPECT_EQ(outcome.sample_rate, 11025u);
  EXPECT_EQ(steps.events, (std::vector<std::string>{"room 8160", "before 0", "after 0", "before 1",
                                                    "after 1", "before 2", "after 2"}));
  const std::vector<uint8_t> bytes = ReadAll(wav);
  ASSERT_EQ(bytes.size(), 44u + 8160u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 44, outcome.header.begin()));
}

TEST_F(WavConversion, FourBitSpPages_HeaderCountsTheSamplesWritten) {
  const fs::path vqr = dir_.file("four-bit.vqr");
  testing::WriteLayoutVqr(vqr, testing::kFourBitSp, 7 * 1020 + 100);  // 8 pages
  const std::string wav = dir_.file("out.wav").string();
  Journal steps;
  const ConversionOutcome outcome = ConvertToWav(Read(vqr.string()), wav.c_str(), kWav8Bit, steps);
  ASSERT_EQ(outcome.end, ConversionEnd::kDone);
  // The header call counts 1360 samples an SP page; a 4-bit page gives 1020.
  EXPECT_EQ(outcome.announced_bytes, 8 * 1360);
  EXPECT_EQ(outcome.data_bytes, 8u * 1020u);
  const std::vector<uint8_t> bytes = ReadAll(wav);
  ASSERT_EQ(bytes.size(), 44u + 8160u);
  EXPECT_EQ(Le32At(bytes, 4), 8160u + 36u);
  EXPECT_EQ(Le32At(bytes, 40), 8160u);
  EXPECT_EQ(Le32At(std::vector<uint8_t>(outcome.header.begin(), outcome.header.end()), 40), 8160u);
}

TEST_F(WavConversion, StoppedOrFailing_EndsWhereItStandsAndLeavesTheHeaderAlone) {
  const std::string vqr = StandardVqr(4);
  const std::string wav = dir_.file("out.wav").string();
  Journal stopping;
  stopping.stop_at = 2;
  const ConversionOutcome stopped = ConvertToWav(Read(vqr), wav.c_str(), kWav16Bit, stopping);
  EXPECT_EQ(stopped.end, ConversionEnd::kStopped);
  EXPECT_EQ(stopped.page, 2);
  EXPECT_EQ(fs::file_size(wav), 44u + 2 * 1360 * 2);
  EXPECT_EQ(Le32At(ReadAll(wav), 40), 4u * 1360 * 2);  // not a finished file

  Journal no_room;
  no_room.room = false;
  EXPECT_EQ(ConvertToWav(Read(vqr), wav.c_str(), kWav16Bit, no_room).end, ConversionEnd::kNoRoom);
  EXPECT_EQ(no_room.events, (std::vector<std::string>{"room 10880"}));
  EXPECT_EQ(fs::file_size(wav), 44u);

  RecordingToConvert gone = Read(vqr);
  const std::string missing = dir_.file("missing.vqr").string();
  gone.path = missing.c_str();
  Journal steps;
  const ConversionOutcome unreadable = ConvertToWav(gone, wav.c_str(), kWav16Bit, steps);
  EXPECT_EQ(unreadable.end, ConversionEnd::kPageUnreadable);
  EXPECT_EQ(unreadable.page, 0);

  const std::string nowhere = dir_.file("no/such/folder/out.wav").string();
  EXPECT_EQ(ConvertToWav(Read(vqr), nowhere.c_str(), kWav16Bit, steps).end,
            ConversionEnd::kCannotCreate);
}

// The data length CorrectWavLengths gives, or -1 for a refusal.
int64_t Corrected(const fs::path& path) {
  const Result<uint32_t> data = CorrectWavLengths(path.c_str());
  return data.ok() ? int64_t{*data} : -1;
}

TEST(CorrectWavLengths, RefusesWhatIsNoWholeHeader) {
  testkit::TempDir dir;
  const fs::path short_file = dir.file("short.wav");
  testkit::write_file(short_file, std::vector<uint8_t>(43, 0));
  EXPECT_EQ(Corrected(short_file), -1);
  EXPECT_EQ(Corrected(dir.file("missing.wav")), -1);
  const fs::path header_only = dir.file("empty.wav");
  testkit::write_file(header_only, std::vector<uint8_t>(44, 0xFF));
  EXPECT_EQ(Corrected(header_only), 0);
  const std::vector<uint8_t> bytes = ReadAll(header_only);
  EXPECT_EQ(Le32At(bytes, 4), 36u);
  EXPECT_EQ(Le32At(bytes, 40), 0u);
}

}  // namespace
}  // namespace calendo::client
