// Speed > Skip silence, heard through the capture device on a recording of
// a tone, a long silence and the tone again: the pause the overview found
// plays 0.25 s long at every speed and in cue, the tones stay whole, and a
// conversion is never shortened.
#include <cstdlib>
#include <filesystem>

#include "overview/overview_analysis.h"
#include "playback/playback_skip.h"
#include "playback_fixture.h"
#include "tone_recording.h"

namespace calendo {
namespace {

using testing::Capture;

constexpr double kToneHz = 440.0;
constexpr int16_t kLoud = 2000;  // well above the decoded silence, below the tone's peaks

// Loud runs of a capture, [begin, end) in samples, split where it stays
// quiet for more than about 150 ms (a stretched tone
// may dip for a moment, the kept pause lasts 0.25 s).
std::vector<SampleStretch> LoudRuns(const Capture& heard) {
  const uint64_t quiet_gap = heard.rate / 7;
  std::vector<SampleStretch> runs;
  for (uint64_t i = 0; i < heard.samples.size(); ++i) {
    if (std::abs(heard.samples[i]) < kLoud) continue;
    if (runs.empty() || i - runs.back().end > quiet_gap) runs.push_back({i, i});
    runs.back().end = i + 1;
  }
  return runs;
}

class SkipSilencePlayback : public testing::PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    const std::string path = dir_.file("talk.vqr").string();
    testing::WriteToneSilenceToneVqr(path, kToneHz, 1.5, 2.5);
    Open(path);
  }

  bool WaitForOverview() {
    for (int i = 0; i < 400 && !form().OverviewWork->Complete(); ++i) form().Wait(0.02f);
    return form().OverviewWork->Complete();
  }
};

TEST_F(SkipSilencePlayback, ThePauseIsHeardShortAndTheTonesWholeAtEverySpeedAndInCue) {
  ASSERT_TRUE(WaitForOverview());
  EXPECT_FALSE(form().SkipsSilence());
  EXPECT_FALSE(form().SkipSilence->isChecked());
  const std::vector<SampleStretch> pauses = form().OverviewWork->Pauses();
  ASSERT_EQ(pauses.size(), 1u);
  const auto peaks = form().OverviewWork->Peaks();
  const double page_samples = static_cast<double>(peaks->page_starts[1] - peaks->page_starts[0]);

  struct Case {
    int32_t tenths;
    bool cue;
  };
  for (const Case c :
       {Case{10, false}, Case{20, true}, Case{5, false}, Case{15, false}, Case{20, false}}) {
    const double speed = c.cue ? 1.0 : c.tenths / 10.0;  // of the samples, not of the rate
    const double tempo = c.cue ? 2.0 : speed;
    SCOPED_TRACE(std::to_string(c.tenths) + (c.cue ? " cue" : " play"));
    form().SetSpeedTenths(c.cue ? 10 : c.tenths);

    // A capture of the same format goes on in its file: one file per case.
    const std::string name = std::to_string(c.tenths) + (c.cue ? "-cue" : "-play");
    form().SetSkipSilence(false);
    const Capture whole = PlayFromStart(name + "-whole.wav", c.cue);
    form().SetSkipSilence(true);
    const Capture skipped = PlayFromStart(name + "-skipped.wav", c.cue);
    EXPECT_EQ(form().PlaySlider->value(), 0);
    EXPECT_TRUE(Ready());

    const PauseCut cut = PlaybackSkip(peaks, pauses, tempo).cut();
    const double expected = static_cast<double>(samples_skipped(pauses, cut)) / speed;
    EXPECT_NEAR(
        static_cast<double>(whole.samples.size()) - static_cast<double>(skipped.samples.size()),
        expected, page_samples / speed);

    // Both tones are still there, neither clipped by more than 10 ms, and
    // the quiet between them lasts about the 0.25 s kept. The stretcher
    // rings into a long silence, which splits the unstretched reference's
    // tones differently, so this is judged on the unstretched streams.
    if (!c.cue && c.tenths != 10) continue;
    const std::vector<SampleStretch> before = LoudRuns(whole);
    const std::vector<SampleStretch> after = LoudRuns(skipped);
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 2u);
    const uint64_t ten_ms = skipped.rate / 100;
    for (std::size_t t = 0; t < 2; ++t) {
      EXPECT_GE(after[t].end - after[t].begin + ten_ms, before[t].end - before[t].begin)
          << "tone " << t;
    }
    const double gap_seconds =
        static_cast<double>(after[1].begin - after[0].end) / static_cast<double>(skipped.rate);
    const double whole_gap_seconds =
        static_cast<double>(before[1].begin - before[0].end) / static_cast<double>(whole.rate);
    EXPECT_LT(gap_seconds, whole_gap_seconds / 2);
    EXPECT_GT(gap_seconds, PlaybackSkip::kKeptSeconds - 0.02);
  }
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(SkipSilencePlayback, BeforeTheOverviewIsWholeNothingIsSkipped) {
  form().OverviewWork->Clear();
  form().SetSkipSilence(true);
  const Capture heard = PlayFromStart("early.wav", false);
  EXPECT_EQ(heard.samples.size(),
            testing::kStreamStartSamples + static_cast<std::size_t>(form().PageCount) * 1360);
}

TEST_F(SkipSilencePlayback, TheItemLeavesAConversionWhole) {
  ASSERT_TRUE(WaitForOverview());
  const std::string wav = dir_.file("talk.wav").string();
  host_.save_answers.push_back(QString::fromStdString(wav));
  form().SkipSilence->trigger();
  form().Trans_wav16bit->trigger();
  EXPECT_TRUE(form().SkipsSilence());
  EXPECT_EQ(form().ConvActive, 0);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_EQ(std::filesystem::file_size(wav),
            44u + static_cast<std::size_t>(form().PageCount) * 1360 * 2);
  EXPECT_TRUE(host_.boxes.empty());
}

}  // namespace
}  // namespace calendo
