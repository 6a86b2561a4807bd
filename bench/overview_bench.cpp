// The overview a player draws when it opens a recording: an hour of SP pages
// (speech-like sound, 11025 Hz) measured from a file in memory on every core
// (beside the decode alone), the pauses found in it, and the loudness the
// player measures after it in a second pass. The target: the overview of the
// hour within 0.6 s of wall time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/byte_source.h"
#include "calendo/loudness.h"
#include "calendo/recording_decoder.h"
#include "calendo/recording_pages.h"
#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"
#include "test_signal.h"
#include "testing/recorder_writer.h"

namespace {

constexpr std::size_t kSpCodes = 1360;
constexpr std::size_t kHourPages = 3600 * 11025 / kSpCodes;

const testkit::Bytes& hour_of_sp() {
  static const testkit::Bytes bytes = [] {
    const std::vector<int16_t> signal = codec_test::speech_like(kSpCodes * kHourPages, 0);
    calendo::Adpcm encoder;
    encoder.adpcm_reset_state();
    std::vector<uint8_t> codes(signal.size());
    encoder.encode(signal.data(), signal.size(), 3, codes.data());
    testkit::VqrFile file;
    file.pages.reserve(kHourPages);
    for (std::size_t p = 0; p < kHourPages; ++p) {
      const auto first = codes.begin() + static_cast<std::ptrdiff_t>(p * kSpCodes);
      file.pages.push_back(testkit::vqr_sp_page(std::vector<uint8_t>(first, first + kSpCodes)));
    }
    return file.bytes();
  }();
  return bytes;
}

// The pages of the hour, read once for every benchmark; null (and the
// benchmark skipped) when they cannot be read.
const calendo::RecordingPages* hour_recording(benchmark::State& state) {
  static const calendo::SpanSource file(hour_of_sp());
  static const calendo::Result<calendo::RecordingPages> recording =
      calendo::RecordingPages::read(file);
  if (!recording.ok()) {
    state.SkipWithError(recording.fault().message.c_str());
    return nullptr;
  }
  return &recording.value();
}

void BM_OverviewOfAnHour(benchmark::State& state) {
  const calendo::RecordingPages* recording = hour_recording(state);
  if (recording == nullptr) return;
  calendo::ParallelDecoder parallel;
  calendo::WaveformPeaks peaks;
  for (auto _ : state) {
    calendo::measure_recording(*recording, parallel, peaks);
    benchmark::DoNotOptimize(peaks.mins.data());
  }
  state.counters["blocks"] = static_cast<double>(peaks.size());
  state.counters["threads"] = parallel.threads();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(peaks.total_samples));
}
BENCHMARK(BM_OverviewOfAnHour)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The player's second pass, once the overview is out: the decode again, and
// the loudness (integrated and true peak) of every sample, whose gain
// Loudness > Even plays at.
void BM_LoudnessOfAnHour(benchmark::State& state) {
  const calendo::RecordingPages* recording = hour_recording(state);
  if (recording == nullptr) return;
  calendo::ParallelDecoder parallel;
  calendo::WaveformPeaks peaks;
  for (auto _ : state) {
    calendo::LoudnessMeter meter(11025);
    calendo::measure_recording(*recording, parallel, peaks, {}, {},
                               [&](std::span<const int16_t> s) { (void)meter.Add(s); });
    benchmark::DoNotOptimize(meter.Measured());
  }
}
BENCHMARK(BM_LoudnessOfAnHour)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The decode alone, handing the samples nowhere: what the overview adds to it.
void BM_DecodeOfAnHour(benchmark::State& state) {
  const calendo::RecordingPages* recording = hour_recording(state);
  if (recording == nullptr) return;
  calendo::ParallelDecoder parallel;
  for (auto _ : state) {
    calendo::RecordingDecoder decoder(*recording);
    std::size_t samples = 0;
    decoder.decode_pages(decoder.page_count(), parallel,
                         [&](std::span<const int16_t> s) { samples += s.size(); });
    benchmark::DoNotOptimize(samples);
  }
}
BENCHMARK(BM_DecodeOfAnHour)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_PausesOfAnHour(benchmark::State& state) {
  const calendo::RecordingPages* recording = hour_recording(state);
  if (recording == nullptr) return;
  calendo::ParallelDecoder parallel;
  calendo::WaveformPeaks peaks;
  calendo::measure_recording(*recording, parallel, peaks);
  for (auto _ : state) benchmark::DoNotOptimize(calendo::find_speech(peaks).size());
}
BENCHMARK(BM_PausesOfAnHour)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
