#include "overview/overview_analysis.h"

#include <optional>

#include <QMetaObject>

#include "calendo/byte_source.h"
#include "calendo/parallel_decoder.h"
#include "calendo/recording_pages.h"
#include "qt/file_name_bytes.h"

namespace calendo {

OverviewAnalysis::OverviewAnalysis(QObject* parent) : QObject(parent) {}

OverviewAnalysis::~OverviewAnalysis() {
  Stop();
}

void OverviewAnalysis::Stop() {
  ++generation_;
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
}

void OverviewAnalysis::Clear() {
  Stop();
  peaks_.reset();
  complete_ = false;
  speech_.clear();
  pauses_.clear();
  even_gain_ = Unmeasured();
  emit Updated();
}

void OverviewAnalysis::Start(const QString& path) {
  Clear();
  const unsigned generation = generation_;
  const QByteArray name = FileNameBytes(path);
  worker_ = std::jthread([this, generation, name](std::stop_token stop) {
    const Result<RecorderFile> file = RecorderFile::open(name.constData());
    if (!file.ok()) return;
    const Result<RecordingPages> recording = RecordingPages::read(file.value());
    if (!recording.ok()) return;
    ParallelDecoder parallel;
    WaveformPeaks peaks;
    // Made once the decoder has set the rate, before the first samples.
    std::optional<LoudnessMeter> loudness;
    bool loudness_ok = true;
    const auto measure_loudness = [&](std::span<const int16_t> samples) {
      if (!loudness) loudness.emplace(peaks.sample_rate);
      if (loudness_ok) loudness_ok = loudness->Add(samples).ok();
    };
    const auto hand_over = [&](const WaveformPeaks& so_far, bool complete, Gain even) {
      auto copy = std::make_shared<const WaveformPeaks>(so_far);
      QMetaObject::invokeMethod(
          this,
          [this, generation, copy, complete, even] { Take(generation, copy, complete, even); },
          Qt::QueuedConnection);
    };
    const bool whole = measure_recording(
        recording.value(), parallel, peaks, stop,
        [&](const WaveformPeaks& p) { hand_over(p, false, Unmeasured()); }, measure_loudness);
    if (!whole || stop.stop_requested()) return;
    Gain even = Unmeasured();
    if (loudness && loudness_ok) {
      if (const Result<Loudness> measured = loudness->Measured(); measured.ok())
        even = NormalizationGain(*measured, kDefaultLoudnessLufs);
    }
    if (!even.measurable) even = Unmeasured();
    hand_over(peaks, true, even);
  });
}

void OverviewAnalysis::Take(unsigned generation, std::shared_ptr<const WaveformPeaks> peaks,
                            bool complete, Gain even_gain) {
  if (generation != generation_) return;  // of a file no longer open
  peaks_ = std::move(peaks);
  complete_ = complete;
  if (complete) {
    speech_ = find_speech(*peaks_);
    pauses_ = find_pauses(*peaks_);
    even_gain_ = even_gain;
  }
  emit Updated();
}

}  // namespace calendo
