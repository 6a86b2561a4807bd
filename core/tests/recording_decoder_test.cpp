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

}  // namespace
}  // namespace calendo
