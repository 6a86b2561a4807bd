// Pauses found against a recording's own hiss, whatever its level.
#include <gtest/gtest.h>

#include <random>

#include "calendo/speech_stretches.h"

namespace calendo {
namespace {

constexpr uint32_t kRate = 11025;

// Blocks of a recording: hiss of `hiss` RMS, and speech of `loud` RMS in the
// stretches given in seconds.
WaveformPeaks Blocks(double seconds, float hiss, float loud,
                     const std::vector<std::pair<double, double>>& speech) {
  WaveformPeaks peaks;
  peaks.sample_rate = kRate;
  peaks.total_samples = static_cast<uint64_t>(seconds * kRate);
  std::mt19937 random(9);
  std::uniform_real_distribution<float> wobble(0.7f, 1.3f);
  const std::size_t blocks = (peaks.total_samples + kSamplesPerPeak - 1) / kSamplesPerPeak;
  for (std::size_t b = 0; b < blocks; ++b) {
    const double at = static_cast<double>(b * kSamplesPerPeak) / kRate;
    bool speaking = false;
    for (const auto& [from, to] : speech) speaking = speaking || (at >= from && at < to);
    peaks.rms.push_back((speaking ? loud : hiss) * wobble(random));
    peaks.mins.push_back(0);
    peaks.maxs.push_back(0);
    peaks.lp.push_back(0);
  }
  return peaks;
}

double Seconds(uint64_t samples) {
  return static_cast<double>(samples) / kRate;
}

TEST(SpeechStretches, PausesAreFoundAgainstTheHissOfEachRecording) {
  const std::vector<std::pair<double, double>> speech = {{1.0, 3.0}, {4.0, 4.6}, {6.0, 9.0}};
  // A quiet recorder, a hissing one (its hiss louder than the other's speech
  // is quiet), and digital silence.
  for (const auto& [hiss, loud] :
       std::vector<std::pair<float, float>>{{30, 3000}, {400, 6000}, {0, 2000}}) {
    SCOPED_TRACE(hiss);
    const std::vector<SampleStretch> found = find_speech(Blocks(10, hiss, loud, speech));
    ASSERT_EQ(found.size(), speech.size());
    for (std::size_t i = 0; i < speech.size(); ++i) {
      EXPECT_NEAR(Seconds(found[i].begin), speech[i].first, 0.05);
      EXPECT_NEAR(Seconds(found[i].end), speech[i].second, 0.05);
    }
  }
}

TEST(SpeechStretches, ShortGapsStayInsideSpeech) {
  // 0.5 s between two words is no pause; 0.8 s is.
  const WaveformPeaks peaks = Blocks(6, 50, 4000, {{0, 1}, {1.5, 2.5}, {3.3, 6}});
  const std::vector<SampleStretch> pauses = find_pauses(peaks);
  ASSERT_EQ(pauses.size(), 1u);
  EXPECT_NEAR(Seconds(pauses[0].begin), 2.5, 0.05);
  EXPECT_NEAR(Seconds(pauses[0].end), 3.3, 0.05);
  const std::vector<SampleStretch> speech = find_speech(peaks);
  ASSERT_EQ(speech.size(), 2u);
  EXPECT_EQ(speech.front().begin, 0u);
  EXPECT_EQ(speech.back().end, peaks.total_samples);
}

TEST(SpeechStretches, AllSpeechAllQuietAndNothing) {
  const WaveformPeaks talk = Blocks(4, 3000, 3000, {});
  ASSERT_EQ(find_speech(talk).size(), 1u);
  EXPECT_TRUE(find_pauses(talk).empty());
  EXPECT_TRUE(find_speech(Blocks(4, 0, 0, {})).empty());
  EXPECT_TRUE(find_speech(WaveformPeaks{}).empty());
}

}  // namespace
}  // namespace calendo
