// Loudness > Even heard through the capture device: the recording plays at
// the one gain its loudness asks for, measured after the overview also while
// the strip is hidden, and only once the item is checked; nothing changes
// with the item off, before the measure is whole, for silence or in a
// conversion; with +12 dB on top the samples are held at the ends of the
// range.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "calendo/loudness.h"
#include "overview/overview_analysis.h"
#include "overview/waveform_strip.h"
#include "playback/volume_gain.h"
#include "playback_fixture.h"
#include "tone_recording.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::SameSound;

class EvenLoudnessPlayback : public testing::PlaybackTest {
 protected:
  bool WaitForLoudness() {
    for (int i = 0; i < 400 && !form().OverviewWork->LoudnessMeasured(); ++i) form().Wait(0.02f);
    return form().OverviewWork->LoudnessMeasured();
  }

  // Every page of `path` as a playback from the first page hears it.
  std::vector<int16_t> Decoded(const std::string& path) {
    return Heard(path, 0, Pages(0, form().PageCount - 1));
  }

  static std::vector<int16_t> Scaled(std::vector<int16_t> samples, double factor) {
    ApplyPlaybackGain(samples, factor);
    return samples;
  }

  // The loudness of what a stream heard, after its stream-start silence.
  static Loudness LoudnessOf(const std::vector<int16_t>& heard) {
    LoudnessMeter meter(11025);
    EXPECT_TRUE(meter.Add(std::span(heard).subspan(testing::kStreamStartSamples)).ok());
    const Result<Loudness> measured = meter.Measured();
    EXPECT_TRUE(measured.ok());
    return measured.ok() ? *measured : Loudness{};
  }
};

TEST_F(EvenLoudnessPlayback, AQuietRecordingPlaysAtMinusSixteenLufsAlsoWithTheStripHidden) {
  form().ViewWaveform->trigger();
  ASSERT_TRUE(form().Overview->isHidden());
  const std::string path = dir_.file("quiet.vqr").string();
  testing::WriteSamplesVqr(path, testing::Sine(440, 11025, 11025 * 3, 1500));
  Open(path);
  // Off by default, and then nothing is measured: the overview comes whole,
  // the loudness not.
  for (int i = 0; i < 400 && !form().OverviewWork->Complete(); ++i) form().Wait(0.02f);
  ASSERT_TRUE(form().OverviewWork->Complete());
  form().Wait(0.3f);
  EXPECT_FALSE(form().OverviewWork->LoudnessMeasured());
  EXPECT_DOUBLE_EQ(form().PlaybackGain(), 1.0);

  form().EvenLoudness->trigger();
  ASSERT_TRUE(form().EvensLoudness());
  ASSERT_TRUE(WaitForLoudness());
  const Gain& even = form().OverviewWork->EvenGain();
  ASSERT_TRUE(even.measurable);
  const std::vector<int16_t> decoded = Decoded(path);
  const Gain expected = NormalizationGain(LoudnessOf(decoded), kDefaultLoudnessLufs);
  EXPECT_NEAR(even.factor, expected.factor, expected.factor * 1e-9);
  EXPECT_GT(even.factor, 4.0);
  EXPECT_FALSE(even.peak_limited);
  EXPECT_DOUBLE_EQ(form().PlaybackGain(), even.factor);
  const Capture heard = PlayFromStart("even.wav");
  EXPECT_TRUE(SameSound(heard.samples, Scaled(decoded, even.factor)));
  EXPECT_NEAR(LoudnessOf(heard.samples).integrated_lufs, kDefaultLoudnessLufs, 0.05);
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(EvenLoudnessPlayback, OffBeforeTheMeasureIsWholeAndForSilenceTheSamplesStayAsDecoded) {
  const std::string path = dir_.file("quiet.vqr").string();
  testing::WriteSamplesVqr(path, testing::Sine(440, 11025, 11025 * 2, 1500));
  form().SetEvenLoudness(true);
  Open(path);
  ASSERT_TRUE(WaitForLoudness());
  ASSERT_NE(form().PlaybackGain(), 1.0);
  form().SetEvenLoudness(false);  // measured, not applied
  const std::vector<int16_t> decoded = Decoded(path);
  EXPECT_TRUE(SameSound(PlayFromStart("off.wav").samples, decoded));

  form().OverviewWork->Clear();  // as before the measure is whole
  form().SetEvenLoudness(true);
  EXPECT_DOUBLE_EQ(form().PlaybackGain(), 1.0);
  EXPECT_TRUE(SameSound(PlayFromStart("early.wav").samples, decoded));

  const std::string silent = dir_.file("silent.vqr").string();
  testing::WriteSamplesVqr(silent, std::vector<int16_t>(11025 * 2, 0));
  Open(silent);
  ASSERT_TRUE(WaitForLoudness());
  EXPECT_FALSE(form().OverviewWork->EvenGain().measurable);
  EXPECT_DOUBLE_EQ(form().PlaybackGain(), 1.0);
  EXPECT_TRUE(SameSound(PlayFromStart("silent.wav").samples, Decoded(silent)));
}

TEST_F(EvenLoudnessPlayback, WithTwelveDecibelsTheGainsMultiplyAndTheSamplesAreHeld) {
  // Quiet speech with a louder word: evened, +12 dB lifts the word past full scale.
  std::vector<int16_t> samples = testing::Sine(440, 11025, 11025 * 2, 1500);
  const std::vector<int16_t> word = testing::Sine(440, 11025, 11025 / 5, 3000);
  samples.insert(samples.end(), word.begin(), word.end());
  const std::string path = dir_.file("word.vqr").string();
  testing::WriteSamplesVqr(path, samples);
  form().SetEvenLoudness(true);
  Open(path);
  ASSERT_TRUE(WaitForLoudness());
  form().VolumeMenu->actions().back()->trigger();  // +12 dB
  ASSERT_EQ(form().VolumeDb(), 12);
  const double factor = form().OverviewWork->EvenGain().factor * std::pow(10.0, 12 / 20.0);
  EXPECT_DOUBLE_EQ(form().PlaybackGain(), factor);
  const std::vector<int16_t> decoded = Decoded(path);
  const Capture heard = PlayFromStart("loud.wav");
  ASSERT_TRUE(SameSound(heard.samples, Scaled(decoded, factor)));
  int held = 0;
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    const int was = decoded[i];
    const int now = heard.samples[i];
    // Louder or held, never turned over to the other sign.
    EXPECT_TRUE(was == 0 ? now == 0 : (was > 0) == (now > 0)) << "sample " << i;
    held += now == 32767 || now == -32768 ? 1 : 0;
  }
  EXPECT_GT(held, 0);
}

TEST_F(EvenLoudnessPlayback, AConversionIsWrittenAsDecoded) {
  const std::string path = dir_.file("quiet.vqr").string();
  testing::WriteSamplesVqr(path, testing::Sine(440, 11025, 11025 * 2, 1500));
  Open(path);
  const auto convert = [&](const std::string& name) {
    const std::string wav = dir_.file(name).string();
    host_.save_answers.push_back(QString::fromStdString(wav));
    form().Trans_wav16bit->trigger();
    std::ifstream in(wav, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string plain = convert("plain.wav");
  form().EvenLoudness->trigger();
  ASSERT_TRUE(WaitForLoudness());
  form().VolumeMenu->actions().back()->trigger();
  ASSERT_NE(form().PlaybackGain(), 1.0);
  const std::string even = convert("even.wav");
  EXPECT_EQ(form().ConvActive, 0);
  ASSERT_GT(plain.size(), 44u);
  EXPECT_TRUE(plain == even);
  EXPECT_TRUE(host_.boxes.empty());
}

}  // namespace
}  // namespace calendo
