// The decoder's seeking: any page reached by a seek, forward or back, gives
// the samples a decoding from the first page gives there.
#include <gtest/gtest.h>

#include <random>

#include "calendo/byte_source.h"
#include "calendo/recording_decoder.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

testkit::Bytes MixedFile(int pages) {
  std::mt19937 random(5);
  testkit::VqrFile file;
  file.header.file_mode = 2;
  for (int p = 0; p < pages; ++p) {
    const bool sp = p % 3 != 1;
    std::vector<uint8_t> codes(sp ? 1360 : 2046);
    for (uint8_t& c : codes) c = static_cast<uint8_t>(random() & (sp ? 7 : 3));
    file.pages.push_back(sp ? testkit::vqr_sp_page(codes) : testkit::vqr_lp_page(codes));
  }
  return file.bytes();
}

TEST(RecordingDecoder, SeekGivesTheSamplesOfDecodingFromTheStart) {
  const testkit::Bytes bytes = MixedFile(3 * kCheckpointPages + 5);
  const SpanSource file(bytes);
  const Result<RecordingPages> read = RecordingPages::read(file);
  ASSERT_TRUE(read.ok()) << read.fault().message;
  const RecordingPages& recording = read.value();

  RecordingDecoder straight(recording);
  EXPECT_EQ(straight.sample_rate(), 11025u);
  std::vector<std::vector<int16_t>> pages;
  while (straight.next_page() < straight.page_count()) {
    const auto page = straight.decode_next();
    pages.emplace_back(page.begin(), page.end());
  }

  RecordingDecoder seeking(recording);
  // Forward past unseen checkpoints, back behind the decoder, onto a
  // checkpoint, just before one, and to the end.
  for (const uint32_t page : {150u, 3u, 128u, 127u, 64u, 190u, 196u, 0u}) {
    SCOPED_TRACE(page);
    seeking.seek(page);
    ASSERT_EQ(seeking.next_page(), page);
    if (page == seeking.page_count()) continue;
    const auto samples = seeking.decode_next();
    EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.end()), pages[page]);
    EXPECT_EQ(seeking.page_of_sample(seeking.page_start(page)), page);
    EXPECT_EQ(seeking.page_of_sample(seeking.page_start(page + 1) - 1), page);
  }
  EXPECT_EQ(seeking.page_of_sample(seeking.total_samples()), seeking.page_count());
}

// The samples of every page in turn, and the state before every checkpoint
// page, from one codec going through the pages in order.
struct Straight {
  std::vector<int16_t> samples;
  std::vector<AdpcmState> checkpoints;
};

Straight DecodeStraight(const RecordingPages& recording) {
  Straight s;
  RecordingDecoder decoder(recording);
  Adpcm codec;
  codec.adpcm_reset_state();
  std::array<uint8_t, kMaxPageCodes> codes;
  std::array<int16_t, kMaxPageCodes> decoded;
  for (uint32_t p = 0; p < recording.page_count(); ++p) {
    if (p % kCheckpointPages == 0) s.checkpoints.push_back(codec.state());
    const auto page = decoder.decode_next();
    s.samples.insert(s.samples.end(), page.begin(), page.end());
    const std::size_t n = recording.page_codes(p, codes);
    codec.decode(codes.data(), n, recording.descriptor(recording.page_mode(p)).code_bits,
                 decoded.data());
  }
  if (recording.page_count() % kCheckpointPages == 0) s.checkpoints.push_back(codec.state());
  return s;
}

TEST(RecordingDecoder, PagesDecodedInParallelAreThePagesDecodedInTurn) {
  // A mixed recording and one long enough for several windows of pages.
  testkit::VqrFile sp_file;
  std::mt19937 random(9);
  for (int p = 0; p < 8192 + 70; ++p) {
    std::vector<uint8_t> codes(1360);
    for (uint8_t& c : codes) c = static_cast<uint8_t>(random() & (p % 500 < 30 ? 0 : 7));
    sp_file.pages.push_back(testkit::vqr_sp_page(codes));
  }
  for (const testkit::Bytes& bytes : {MixedFile(3 * kCheckpointPages + 5), sp_file.bytes()}) {
    const SpanSource file(bytes);
    const Result<RecordingPages> read = RecordingPages::read(file);
    ASSERT_TRUE(read.ok()) << read.fault().message;
    const RecordingPages& recording = read.value();
    const Straight straight = DecodeStraight(recording);

    ParallelOptions options;
    options.warmup_codes = 3000;
    ParallelDecoder parallel(2, options);
    EXPECT_TRUE(checkpoint_states(recording, parallel) == straight.checkpoints);

    // In stretches that start and end anywhere, then to the end.
    RecordingDecoder decoder(recording);
    std::vector<int16_t> samples;
    for (const uint32_t last : {1u, 70u, 130u, recording.page_count()}) {
      decoder.decode_pages(std::min(last, recording.page_count()), parallel,
                           [&](std::span<const int16_t> some) {
                             samples.insert(samples.end(), some.begin(), some.end());
                           });
    }
    EXPECT_EQ(decoder.next_page(), recording.page_count());
    EXPECT_TRUE(samples == straight.samples);

    // Checkpoints taken ahead: every seek lands exactly.
    RecordingDecoder seeking(recording);
    seeking.adopt_checkpoints(checkpoint_states(recording, parallel));
    EXPECT_EQ(seeking.checkpoint_count(), straight.checkpoints.size());
    for (const uint32_t page : {recording.page_count() - 1, 5u, 129u, 64u}) {
      seeking.seek(page);
      const auto got = seeking.decode_next();
      const auto from =
          straight.samples.begin() + static_cast<std::ptrdiff_t>(seeking.page_start(page));
      EXPECT_TRUE(std::equal(got.begin(), got.end(), from)) << page;
    }
  }
}

}  // namespace
}  // namespace calendo
