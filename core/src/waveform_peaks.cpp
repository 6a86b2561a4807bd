#include "calendo/waveform_peaks.h"

#include <algorithm>
#include <cmath>

#include "calendo/recording_decoder.h"

namespace calendo {
namespace {

// Pages decoded between two reports (and two looks at the stop token).
constexpr uint32_t kStepPages = 32 * kCheckpointPages;

}  // namespace

void PeakMeter::add(std::span<const int16_t> samples, const std::function<bool(uint64_t)>& lp_at) {
  std::size_t at = 0;
  while (at < samples.size()) {
    if (in_block_ == 0) {
      low_ = samples[at];
      high_ = samples[at];
      squares_ = 0;
      lp_ = lp_at ? lp_at(seen_) : false;
    }
    const std::size_t n =
        std::min<std::size_t>(samples.size() - at, into_.samples_per_peak - in_block_);
    // Exact in integers: a block's squares stay far below 2^63.
    int16_t low = low_;
    int16_t high = high_;
    int64_t squares = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      const int32_t s = samples[i];
      low = std::min<int16_t>(low, samples[i]);
      high = std::max<int16_t>(high, samples[i]);
      squares += s * s;
    }
    low_ = low;
    high_ = high;
    squares_ += static_cast<double>(squares);
    in_block_ += static_cast<uint32_t>(n);
    seen_ += n;
    at += n;
    if (in_block_ == into_.samples_per_peak) close_block();
  }
}

void PeakMeter::finish() {
  if (in_block_ > 0) close_block();
}

void PeakMeter::close_block() {
  into_.mins.push_back(low_);
  into_.maxs.push_back(high_);
  into_.rms.push_back(static_cast<float>(std::sqrt(squares_ / in_block_)));
  into_.lp.push_back(lp_ ? 1 : 0);
  in_block_ = 0;
}

uint32_t page_at_sample(std::span<const uint64_t> page_starts, uint64_t sample) {
  if (page_starts.size() < 2) return 0;
  const auto pages = static_cast<uint32_t>(page_starts.size() - 1);
  // The last page whose start is at or before the sample.
  const auto after = std::upper_bound(page_starts.begin(), page_starts.end() - 1, sample);
  const auto page = static_cast<uint32_t>(after - page_starts.begin()) - 1;
  return std::min(page, pages - 1);
}

uint32_t page_at_fraction(const WaveformPeaks& peaks, double fraction) {
  const double clamped = std::clamp(std::isnan(fraction) ? 0.0 : fraction, 0.0, 1.0);
  const auto sample = static_cast<uint64_t>(clamped * static_cast<double>(peaks.total_samples));
  return page_at_sample(peaks.page_starts, sample);
}

double fraction_at_page(const WaveformPeaks& peaks, uint32_t page) {
  if (peaks.total_samples == 0 || peaks.page_starts.empty()) return 0;
  const std::size_t at = std::min<std::size_t>(page, peaks.page_starts.size() - 1);
  return static_cast<double>(peaks.page_starts[at]) / static_cast<double>(peaks.total_samples);
}

bool measure_recording(const RecordingPages& recording, ParallelDecoder& parallel,
                       WaveformPeaks& into, std::stop_token stop,
                       const std::function<void(const WaveformPeaks&)>& progress,
                       const std::function<void(std::span<const int16_t>)>& samples) {
  RecordingDecoder decoder(recording);
  const uint32_t pages = decoder.page_count();
  into = WaveformPeaks{};
  into.sample_rate = decoder.sample_rate();
  into.total_samples = decoder.total_samples();
  into.page_starts.resize(std::size_t{pages} + 1);
  for (uint32_t p = 0; p <= pages; ++p) into.page_starts[p] = decoder.page_start(p);
  const std::size_t blocks =
      (into.total_samples + into.samples_per_peak - 1) / into.samples_per_peak;
  into.mins.reserve(blocks);
  into.maxs.reserve(blocks);
  into.rms.reserve(blocks);
  into.lp.reserve(blocks);

  PeakMeter meter(into);
  const auto lp_at = [&](uint64_t sample) {
    return recording.page_mode(page_at_sample(into.page_starts, sample)) == kLp;
  };
  while (decoder.next_page() < pages) {
    if (stop.stop_requested()) return false;
    decoder.decode_pages(std::min(pages, decoder.next_page() + kStepPages), parallel,
                         [&](std::span<const int16_t> decoded) {
                           meter.add(decoded, lp_at);
                           if (samples) samples(decoded);
                         });
    if (decoder.next_page() == pages) meter.finish();
    if (progress) progress(into);
  }
  meter.finish();
  return true;
}

}  // namespace calendo
