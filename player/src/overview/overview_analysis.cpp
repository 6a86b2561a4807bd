#include "overview/overview_analysis.h"

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
  loudness_measured_ = false;
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
    const auto hand_over = [&](const WaveformPeaks& so_far, bool complete) {
      auto copy = std::make_shared<const WaveformPeaks>(so_far);
      QMetaObject::invokeMethod(
          this, [this, generation, copy, complete] { Take(generation, copy, complete); },
          Qt::QueuedConnection);
    };
    const bool whole = measure_recording(recording.value(), parallel, peaks, stop,
                                         [&](const WaveformPeaks& p) { hand_over(p, false); });
    if (!whole || stop.stop_requested()) return;
    hand_over(peaks, true);

    // The loudness, from a second decode once the overview is out and the
    // loudness is wanted.
    if (!AwaitLoudnessWanted(stop)) return;
    LoudnessMeter loudness(peaks.sample_rate);
    bool loudness_ok = true;
    WaveformPeaks again;
    const bool measured_whole = measure_recording(recording.value(), parallel, again, stop, {},
                                                  [&](std::span<const int16_t> samples) {
                                                    if (loudness_ok)
                                                      loudness_ok = loudness.Add(samples).ok();
                                                  });
    if (!measured_whole || stop.stop_requested()) return;
    Gain even = Unmeasured();
    if (loudness_ok) {
      if (const Result<Loudness> measured = loudness.Measured(); measured.ok())
        even = NormalizationGain(*measured, kDefaultLoudnessLufs);
    }
    if (!even.measurable) even = Unmeasured();
    QMetaObject::invokeMethod(
        this, [this, generation, even] { TakeLoudness(generation, even); }, Qt::QueuedConnection);
  });
}

void OverviewAnalysis::SetLoudnessWanted(bool wanted) {
  {
    const std::lock_guard lock(wanted_mutex_);
    loudness_wanted_ = wanted;
  }
  wanted_changed_.notify_all();
}

bool OverviewAnalysis::AwaitLoudnessWanted(std::stop_token stop) {
  std::unique_lock lock(wanted_mutex_);
  return wanted_changed_.wait(lock, stop, [this] { return loudness_wanted_; });
}

void OverviewAnalysis::Take(unsigned generation, std::shared_ptr<const WaveformPeaks> peaks,
                            bool complete) {
  if (generation != generation_) return;  // of a file no longer open
  peaks_ = std::move(peaks);
  complete_ = complete;
  if (complete) {
    speech_ = find_speech(*peaks_);
    pauses_ = find_pauses(*peaks_);
  }
  emit Updated();
}

void OverviewAnalysis::TakeLoudness(unsigned generation, Gain even_gain) {
  if (generation != generation_) return;
  even_gain_ = even_gain;
  loudness_measured_ = true;
  emit Updated();
}

}  // namespace calendo
