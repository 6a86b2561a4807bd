// The overview of the open recording, measured on a worker thread (the core's
// decoder on every core) while the window goes on: each stretch of the
// recording measured is handed to the window's thread by a queued call and
// announced there, so that the strip draws it as it arrives. Once the
// overview is whole, and only while the loudness is wanted (Loudness > Even),
// the worker measures the recording's loudness too. Opening another file,
// Clear() or the object's end stops the measure that runs (it looks between
// stretches) and drops whatever it still sends.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>

#include "calendo/loudness.h"
#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"

namespace calendo {

class OverviewAnalysis : public QObject {
  Q_OBJECT

 public:
  explicit OverviewAnalysis(QObject* parent = nullptr);
  ~OverviewAnalysis() override;

  // Stops the measure that runs and starts one of `path`.
  void Start(const QString& path);
  // Stops the measure that runs and forgets the overview.
  void Clear();
  // Whether the loudness of this recording and the ones opened after it is
  // to be measured (off at first). Wanted, it is measured once the overview
  // is whole; turned off, a measure already under way still ends.
  void SetLoudnessWanted(bool wanted);

  // The overview so far (null before the first stretch), and whether it is whole.
  std::shared_ptr<const WaveformPeaks> Peaks() const { return peaks_; }
  bool Complete() const { return complete_; }
  // The speech stretches of a whole overview (empty before).
  const std::vector<SampleStretch>& Speech() const { return speech_; }
  const std::vector<SampleStretch>& Pauses() const { return pauses_; }
  // The one gain that brings the whole recording to kDefaultLoudnessLufs
  // under the true-peak ceiling, as calendo-convert --normalize chooses it.
  // Measured after the overview is whole, by a second pass: the true-peak
  // meter costs about ten times the decode, and the overview must not wait
  // for it, nor a recording whose loudness nobody asked for pay for it. Not
  // measurable (a factor of 1) before and for silence.
  const Gain& EvenGain() const { return even_gain_; }
  bool LoudnessMeasured() const { return loudness_measured_; }

 signals:
  // More of the overview or its loudness (or none, after Clear()).
  void Updated();

 private:
  void Stop();
  void Take(unsigned generation, std::shared_ptr<const WaveformPeaks> peaks, bool complete);
  void TakeLoudness(unsigned generation, Gain even_gain);
  // On the worker: waits until the loudness is wanted; false when stopped first.
  bool AwaitLoudnessWanted(std::stop_token stop);

  std::jthread worker_;
  unsigned generation_ = 0;  // of the measure whose results count
  std::shared_ptr<const WaveformPeaks> peaks_;
  bool complete_ = false;
  std::vector<SampleStretch> speech_;
  std::vector<SampleStretch> pauses_;
  Gain even_gain_ = Unmeasured();
  bool loudness_measured_ = false;

  std::mutex wanted_mutex_;
  std::condition_variable_any wanted_changed_;
  bool loudness_wanted_ = false;  // under wanted_mutex_

  static Gain Unmeasured() { return Gain{1.0, false, false}; }
};

}  // namespace calendo
