// The volume as heard through the capture device: +6 dB doubles a quiet
// recording and holds a loud one at the ends of the range, in play, cue and
// review and at a speed other than 1.0x; Ctrl+Up and Ctrl+Down step it, but
// not while a conversion runs.
#include <algorithm>
#include <cstdlib>

#include "keyboard.h"
#include "playback/volume_gain.h"
#include "tone_recording.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::PressKey;
using testing::SameSound;

class VolumePlayback : public testing::KeyboardTest {
 protected:
  // Presses `button` with the slider at `page`; returns what was captured.
  Capture PlayFrom(int page, QPushButton* Form1::*button, const std::string& name) {
    const std::string capture = CaptureTo(name);
    form().PlaySlider->setValue(page);
    ResetDecoder();
    (form().*button)->click();
    return ReadCapture(capture);
  }

  static std::vector<int16_t> Louder(std::vector<int16_t> samples, int32_t db) {
    ApplyVolumeGain(samples, db);
    return samples;
  }

  static int Peak(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (const int16_t sample : samples) peak = std::max(peak, std::abs(int{sample}));
    return peak;
  }
};

TEST_F(VolumePlayback, SixDecibelsDoublesAQuietRecordingInEveryMode) {
  const std::string path = dir_.file("tone.vqr").string();
  testing::WriteToneVqr(path, 440, 2.0);
  Open(path);
  const int32_t last = form().PageCount - 1;
  ASSERT_GT(last, 3);
  PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  ASSERT_EQ(form().VolumeDb(), 6);
  EXPECT_TRUE(form().VolumeMenu->actions()[2]->isChecked());

  const auto forward = Heard(path, 0, Pages(0, last));
  ASSERT_LT(Peak(forward), 16000);  // quiet: nothing reaches the ends at +6 dB
  const Capture played = PlayFrom(0, &Form1::PlayX, "play.wav");
  EXPECT_TRUE(SameSound(played.samples, Louder(forward, 6)));
  EXPECT_NEAR(Peak(played.samples), 2 * Peak(forward), 2 * Peak(forward) / 100);

  const Capture cued = PlayFrom(0, &Form1::CueX, "cue.wav");
  EXPECT_TRUE(SameSound(cued.samples, Louder(forward, 6)));
  const Capture reviewed = PlayFrom(last, &Form1::RevX, "review.wav");
  EXPECT_TRUE(SameSound(reviewed.samples, Louder(Heard(path, 0, Pages(last, 0)), 6)));

  // At 1.5x the stretched sound is what 0 dB plays, made louder.
  form().SetSpeedTenths(15);
  const Capture fast = PlayFrom(0, &Form1::PlayX, "fast.wav");
  PressKey(form(), Qt::Key_Down, Qt::ControlModifier);
  PressKey(form(), Qt::Key_Down, Qt::ControlModifier);
  ASSERT_EQ(form().VolumeDb(), 0);
  const Capture fast_plain = PlayFrom(0, &Form1::PlayX, "fast_plain.wav");
  ASSERT_GT(fast_plain.samples.size(), testing::kStreamStartSamples);
  EXPECT_TRUE(SameSound(fast.samples, Louder(fast_plain.samples, 6)));
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(VolumePlayback, ALoudRecordingIsHeldAtTheEndsWithoutWrapping) {
  const std::string path = WriteVqr("loud.vqr", 12, [](int p) { return p % 3 == 2; });
  Open(path);
  form().VolumeMenu->actions()[2]->trigger();  // +6 dB
  ASSERT_EQ(form().VolumeDb(), 6);
  const auto expected = Heard(path, 0, Pages(0, 11));
  const Capture heard = PlayFrom(0, &Form1::PlayX, "loud.wav");
  ASSERT_TRUE(SameSound(heard.samples, Louder(expected, 6)));

  int held_high = 0;
  int held_low = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const int was = expected[i];
    const int now = heard.samples[i];
    // Louder or held, never turned over to the other sign.
    EXPECT_TRUE(was == 0 ? now == 0 : (was > 0) == (now > 0)) << "sample " << i;
    EXPECT_GE(std::abs(now), std::abs(was)) << "sample " << i;
    if (was > 16423) held_high += now == 32767 ? 1 : 0;
    if (was < -16423) held_low += now == -32768 ? 1 : 0;
  }
  EXPECT_GT(held_high, 0);
  EXPECT_GT(held_low, 0);
}

TEST_F(VolumePlayback, TheKeysStopAtTheEndStepsAndDoNothingDuringAConversion) {
  for (int i = 0; i < 7; ++i) PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(form().VolumeDb(), 12);
  EXPECT_TRUE(form().VolumeMenu->actions().back()->isChecked());
  PressKey(form(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(form().VolumeDb(), 9);
  form().SetVolumeDb(5);  // no step: ignored
  EXPECT_EQ(form().VolumeDb(), 9);

  form().ConvActive = 1;  // as while a conversion runs
  PressKey(form(), Qt::Key_Down, Qt::ControlModifier);
  PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(form().VolumeDb(), 9);
  form().ConvActive = 0;
  for (int i = 0; i < 7; ++i) PressKey(form(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(form().VolumeDb(), 0);
  EXPECT_TRUE(form().VolumeMenu->actions().front()->isChecked());
}

}  // namespace
}  // namespace calendo
