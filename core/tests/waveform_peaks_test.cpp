// The overview of a recording: blocks that hold exactly the lowest, highest
// and RMS of the samples a page-by-page decode gives, whatever the pieces
// the samples come in, and the mapping between pages and places on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "calendo/byte_source.h"
#include "calendo/recording_decoder.h"
#include "calendo/waveform_peaks.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

testkit::Bytes MixedFile(int pages, uint32_t seed) {
  std::mt19937 random(seed);
  testkit::VqrFile file;
  file.header.file_mode = 2;
  for (int p = 0; p < pages; ++p) {
    const bool sp = p % 5 < 3;
    std::vector<uint8_t> codes(sp ? 1360 : 2046);
    for (uint8_t& c : codes) c = static_cast<uint8_t>(random() & (sp ? 7 : 3));
    file.pages.push_back(sp ? testkit::vqr_sp_page(codes) : testkit::vqr_lp_page(codes));
  }
  return file.bytes();
}

struct Serial {
  std::vector<int16_t> samples;
  std::vector<uint8_t> lp_of_sample;
};

Serial DecodeOneByOne(const RecordingPages& recording) {
  Serial out;
  RecordingDecoder decoder(recording);
  while (decoder.next_page() < decoder.page_count()) {
    const int mode = recording.page_mode(decoder.next_page());
    const auto page = decoder.decode_next();
    out.samples.insert(out.samples.end(), page.begin(), page.end());
    out.lp_of_sample.insert(out.lp_of_sample.end(), page.size(), mode == kLp ? 1 : 0);
  }
  return out;
}

TEST(WaveformPeaks, BlocksHoldTheExtremesAndLoudnessOfTheDecodedSamples) {
  // Long enough for several reports; a length that leaves a shorter last block.
  const testkit::Bytes bytes = MixedFile(3 * 32 * static_cast<int>(kCheckpointPages) + 7, 11);
  const SpanSource file(bytes);
  const Result<RecordingPages> read = RecordingPages::read(file);
  ASSERT_TRUE(read.ok()) << read.fault().message;
  const Serial serial = DecodeOneByOne(read.value());

  ParallelDecoder parallel(2);
  WaveformPeaks peaks;
  std::vector<std::size_t> reported;
  std::vector<int16_t> handed;  // every sample, in order, with the rate known first
  ASSERT_TRUE(measure_recording(
      read.value(), parallel, peaks, {},
      [&](const WaveformPeaks& p) { reported.push_back(p.size()); },
      [&](std::span<const int16_t> samples) {
        EXPECT_EQ(peaks.sample_rate, 11025u);
        handed.insert(handed.end(), samples.begin(), samples.end());
      }));
  EXPECT_TRUE(handed == serial.samples);
  EXPECT_EQ(peaks.sample_rate, 11025u);
  EXPECT_EQ(peaks.total_samples, serial.samples.size());
  ASSERT_EQ(peaks.size(), (serial.samples.size() + kSamplesPerPeak - 1) / kSamplesPerPeak);
  ASSERT_NE(serial.samples.size() % kSamplesPerPeak, 0u);
  EXPECT_GE(reported.size(), 3u);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), peaks.size());

  std::size_t lp_blocks = 0;
  for (std::size_t b = 0; b < peaks.size(); ++b) {
    const auto first = serial.samples.begin() + static_cast<std::ptrdiff_t>(b * kSamplesPerPeak);
    const auto last = std::min(first + kSamplesPerPeak, serial.samples.end());
    const auto [low, high] = std::minmax_element(first, last);
    double squares = 0;
    for (auto s = first; s != last; ++s) squares += static_cast<double>(*s) * *s;
    ASSERT_EQ(peaks.mins[b], *low) << b;
    ASSERT_EQ(peaks.maxs[b], *high) << b;
    ASSERT_FLOAT_EQ(peaks.rms[b],
                    static_cast<float>(std::sqrt(squares / static_cast<double>(last - first))))
        << b;
    ASSERT_EQ(peaks.lp[b], serial.lp_of_sample[b * kSamplesPerPeak]) << b;
    lp_blocks += peaks.lp[b];
  }
  EXPECT_GT(lp_blocks, 0u);
  EXPECT_LT(lp_blocks, peaks.size());
}

TEST(WaveformPeaks, PiecesOfAnyLengthGiveTheSameBlocks) {
  std::mt19937 random(3);
  std::vector<int16_t> samples(5000);
  for (int16_t& s : samples) s = static_cast<int16_t>(random());
  WaveformPeaks whole;
  PeakMeter one(whole);
  one.add(samples);
  one.finish();

  WaveformPeaks pieces;
  PeakMeter many(pieces);
  for (std::size_t at = 0, n = 1; at < samples.size(); at += n, n = n * 3 % 517 + 1)
    many.add(std::span(samples).subspan(at, std::min(n, samples.size() - at)));
  many.finish();
  EXPECT_EQ(pieces.mins, whole.mins);
  EXPECT_EQ(pieces.maxs, whole.maxs);
  EXPECT_EQ(pieces.rms, whole.rms);
  EXPECT_EQ(whole.size(), 20u);  // 19 whole blocks and 136 samples
}

TEST(WaveformPeaks, PagesAndPlacesMapBothWays) {
  WaveformPeaks peaks;
  peaks.page_starts = {0, 1000, 2000, 4000, 5000};
  peaks.total_samples = 5000;
  EXPECT_EQ(page_at_fraction(peaks, 0.0), 0u);
  EXPECT_EQ(page_at_fraction(peaks, 0.1999), 0u);
  EXPECT_EQ(page_at_fraction(peaks, 0.2), 1u);
  EXPECT_EQ(page_at_fraction(peaks, 0.5), 2u);
  EXPECT_EQ(page_at_fraction(peaks, 0.9), 3u);
  // Past either end, and nonsense, stay on the recording.
  EXPECT_EQ(page_at_fraction(peaks, 1.0), 3u);
  EXPECT_EQ(page_at_fraction(peaks, 7.0), 3u);
  EXPECT_EQ(page_at_fraction(peaks, -1.0), 0u);
  EXPECT_EQ(page_at_fraction(peaks, std::nan("")), 0u);
  EXPECT_DOUBLE_EQ(fraction_at_page(peaks, 3), 0.8);
  EXPECT_DOUBLE_EQ(fraction_at_page(peaks, 99), 1.0);
  EXPECT_EQ(page_at_fraction(WaveformPeaks{}, 0.5), 0u);
  EXPECT_EQ(fraction_at_page(WaveformPeaks{}, 3), 0.0);
}

TEST(WaveformPeaks, AStopAskedForBeforehandEndsTheMeasureAtOnce) {
  const testkit::Bytes bytes = MixedFile(40, 2);
  const SpanSource file(bytes);
  const Result<RecordingPages> read = RecordingPages::read(file);
  ASSERT_TRUE(read.ok());
  ParallelDecoder parallel(1);
  std::stop_source stop;
  stop.request_stop();
  WaveformPeaks peaks;
  EXPECT_FALSE(measure_recording(read.value(), parallel, peaks, stop.get_token()));
  EXPECT_EQ(peaks.size(), 0u);
}

}  // namespace
}  // namespace calendo
