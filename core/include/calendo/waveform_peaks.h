// The overview of a whole recording: for every block of kSamplesPerPeak
// samples (the last one may be shorter) its lowest and highest sample, its
// loudness (RMS) and whether it starts on an LP page, from the very samples
// the conversion to a 16-bit WAV file writes. A display reduces the blocks to
// its pixel columns; the silence finder (speech_stretches.h) reads the
// loudness.
//
// measure_recording() decodes the recording on every core (recording_decoder.h)
// and reports after each stretch of pages, so that a display can draw the
// overview as it grows. Values and plain functions: any thread; one
// PeakMeter per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <vector>

#include "calendo/parallel_decoder.h"
#include "calendo/recording_pages.h"

namespace calendo {

inline constexpr uint32_t kSamplesPerPeak = 256;

struct WaveformPeaks {
  uint32_t sample_rate = 0;
  uint32_t samples_per_peak = kSamplesPerPeak;
  uint64_t total_samples = 0;         // of the whole recording, once known
  std::vector<int16_t> mins;          // one per block
  std::vector<int16_t> maxs;          // one per block
  std::vector<float> rms;             // one per block
  std::vector<uint8_t> lp;            // one per block: 1 when it starts on an LP page
  std::vector<uint64_t> page_starts;  // samples in front of each page, and the total

  std::size_t size() const { return mins.size(); }
};

// Gathers blocks from samples handed over in pieces of any length.
class PeakMeter {
 public:
  explicit PeakMeter(WaveformPeaks& into) : into_(into) {}
  // Adds `samples`; `lp_at` tells for a block's first sample (its index in the
  // whole stream) whether it lies on an LP page.
  void add(std::span<const int16_t> samples, const std::function<bool(uint64_t)>& lp_at = {});
  // Closes the last, shorter block (if any samples wait in it).
  void finish();
  uint64_t samples_seen() const { return seen_; }

 private:
  void close_block();

  WaveformPeaks& into_;
  uint64_t seen_ = 0;
  uint32_t in_block_ = 0;
  int16_t low_ = 0;
  int16_t high_ = 0;
  double squares_ = 0;
  bool lp_ = false;
};

// The page holding sample `sample` by `page_starts` (page count + 1 entries);
// the last page at or past the end, 0 for an empty table.
uint32_t page_at_sample(std::span<const uint64_t> page_starts, uint64_t sample);

// The page at `fraction` (0 ... 1) of the recording's length.
uint32_t page_at_fraction(const WaveformPeaks& peaks, double fraction);

// The fraction of the recording's length at which `page` starts.
double fraction_at_page(const WaveformPeaks& peaks, uint32_t page);

// Fills `into` with the overview of `recording`, decoded on `parallel`.
// `progress` (if any) runs after each stretch of pages with the blocks
// complete so far. Returns false, `into` partly filled, when `stop` was
// requested (it looks between stretches). `samples` (if any) is handed every
// decoded sample in order, so that another measure of the whole recording
// needs no decode of its own; `into.sample_rate` is set before the first call.
bool measure_recording(const RecordingPages& recording, ParallelDecoder& parallel,
                       WaveformPeaks& into, std::stop_token stop = {},
                       const std::function<void(const WaveformPeaks&)>& progress = {},
                       const std::function<void(std::span<const int16_t>)>& samples = {});

}  // namespace calendo
