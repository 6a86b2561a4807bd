// The pieces behind the file formats that need no library call: names and
// formats, the output plan, encoder settings, the normalising gain.
#include <sndfile.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "audio_format.h"
#include "calendo/loudness.h"
#include "encoder_settings.h"
#include "options.h"
#include "output_plan.h"
#include "testing/recorder_writer.h"

namespace calendo::tool {
namespace {

TEST(AudioFormats, NameFilesAndComeFromExtensions) {
  EXPECT_EQ(AudioPathFor("rec/memo.vqr", "", AudioFormat::kFlac), "rec/memo.flac");
  EXPECT_EQ(AudioPathFor("memo", "out", AudioFormat::kOpus), "out/memo.opus");
  EXPECT_EQ(FormatOfFileName("x/Talk.MP3"), AudioFormat::kMp3);
  EXPECT_EQ(FormatOfFileName("talk.ogg"), AudioFormat::kOgg);
  EXPECT_FALSE(FormatOfFileName("archive"));
  EXPECT_FALSE(FormatOfFileName("talk.aiff"));
  EXPECT_FALSE(FormatOfFileName(".flac"));  // a hidden folder, not an extension
}

TEST(OutputPlan, TellsAFileFromAFolder) {
  testkit::TempDir dir;
  Options options;
  options.files = {"a.vqr"};
  options.output = (dir.path() / "talk.mp3").string();
  Result<OutputPlan> plan = PlanOutput(options);
  ASSERT_TRUE(plan) << plan.fault().message;
  EXPECT_EQ(plan->format, AudioFormat::kMp3);
  EXPECT_EQ(OutputPathFor(*plan, "a.vqr"), options.output);

  options.output = dir.path().string();
  options.output_format = AudioFormat::kOgg;
  plan = PlanOutput(options);
  ASSERT_TRUE(plan) << plan.fault().message;
  EXPECT_EQ(OutputPathFor(*plan, "rec/a.vqr"), (dir.path() / "a.ogg").string());

  options.output = "archive";  // no extension of a format: a folder to make
  options.output_format.reset();
  plan = PlanOutput(options);
  ASSERT_TRUE(plan) << plan.fault().message;
  EXPECT_EQ(plan->folder, "archive");
  EXPECT_EQ(plan->format, AudioFormat::kWav);
}

TEST(EncoderSettings, SuitSpeechAndFollowQuality) {
  const EncoderSettings opus_sp = SettingsFor(AudioFormat::kOpus, 11025, 16, std::nullopt);
  EXPECT_EQ(opus_sp.rate, 12000u);
  EXPECT_EQ(opus_sp.summary, "Opus 24 kbit/s");
  EXPECT_EQ(SettingsFor(AudioFormat::kOpus, 8000, 16, std::nullopt).rate, 8000u);
  EXPECT_EQ(SettingsFor(AudioFormat::kMp3, 11025, 16, std::nullopt).summary, "MP3 32 kbit/s");
  EXPECT_EQ(SettingsFor(AudioFormat::kMp3, 11025, 16, 10.0).compression, 0.0);
  EXPECT_NEAR(SettingsFor(AudioFormat::kOgg, 11025, 16, std::nullopt).compression, 0.7, 1e-9);
  EXPECT_EQ(SettingsFor(AudioFormat::kWav, 8000, 8, std::nullopt).sf_format,
            SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
}

TEST(NormalizationGain, ReachesTheTargetUnderThePeakCeiling) {
  const Gain plain = NormalizationGain({-26.0, 0.1}, -16.0);
  EXPECT_NEAR(20 * std::log10(plain.factor), 10.0, 1e-9);
  EXPECT_FALSE(plain.peak_limited);

  // +10 dB would bring a peak of -6 dBTP to +4: held to just under -1.
  const Gain held = NormalizationGain({-26.0, std::pow(10.0, -6.0 / 20)}, -16.0);
  EXPECT_TRUE(held.peak_limited);
  const double peak_after = -6.0 + 20 * std::log10(held.factor);
  EXPECT_LE(peak_after, kPeakCeilingDbtp);
  EXPECT_GT(peak_after, kPeakCeilingDbtp - 0.05);

  const Gain silent = NormalizationGain({-std::numeric_limits<double>::infinity(), 0.0}, -16.0);
  EXPECT_FALSE(silent.measurable);
  EXPECT_EQ(silent.factor, 1.0);
}

TEST(ApplyGain, RoundsAndStaysInRange) {
  std::vector<int16_t> samples = {100, -100, 30000, -30000, 1};
  ApplyGain(samples, 1.5);
  EXPECT_EQ(samples, (std::vector<int16_t>{150, -150, 32767, -32768, 2}));
}

}  // namespace
}  // namespace calendo::tool
