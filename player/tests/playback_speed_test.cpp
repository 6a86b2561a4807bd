// Play at another speed, heard through the capture device: the sound lasts
// the recording's length divided by the speed and keeps its pitch; at 1.0x,
// and in cue and review, it is exactly the decoded pages. A resume after a
// pause goes back as far as the Speed menu says.
#include <filesystem>

#include "keyboard.h"
#include "tone.h"
#include "tone_recording.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::PressKey;
using testing::SameSound;

constexpr double kToneHz = 440.0;

class PlaybackSpeed : public testing::PlaybackTest {
 protected:
  std::string WriteTone(const std::string& name, double seconds) {
    const std::string path = dir_.file(name).string();
    testing::WriteToneVqr(path, kToneHz, seconds);
    return path;
  }

  // The samples a page of the open file decodes to, all pages together.
  std::size_t SourceSamples() const { return static_cast<std::size_t>(form_->PageCount) * 1360; }
};

TEST_F(PlaybackSpeed, HeardDurationIsTheLengthOverTheSpeedAndTheToneKeepsItsPitch) {
  Open(WriteTone("tone.vqr", 8.0));
  for (const int32_t tenths : {5, 15, 20}) {
    SCOPED_TRACE(tenths);
    form().SetSpeedTenths(tenths);
    const Capture heard = PlayFromStart("speed" + std::to_string(tenths) + ".wav");
    EXPECT_EQ(heard.rate, 11025u);
    ASSERT_GT(heard.samples.size(), testing::kStreamStartSamples);
    const std::span<const int16_t> sound =
        std::span(heard.samples).subspan(testing::kStreamStartSamples);
    const double expected = static_cast<double>(SourceSamples()) * 10.0 / tenths;
    EXPECT_NEAR(static_cast<double>(sound.size()), expected, expected * 0.01);
    const auto middle = sound.subspan(sound.size() / 4, sound.size() / 2);
    EXPECT_NEAR(testing::DominantFrequency(middle, 11025), kToneHz, kToneHz * 0.01);
    EXPECT_EQ(form().PlaySlider->value(), 0);
    EXPECT_TRUE(Ready());
  }
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PlaybackSpeed, AtNormalSpeedAndInCueAndReviewTheStreamIsExactlyTheDecodedPages) {
  const std::string path = WriteVqr("memo.vqr", 12, [](int page) { return page % 3 == 2; });
  Open(path);
  form().SetSpeedTenths(15);
  form().SetSpeedTenths(10);
  Capture heard = PlayFromStart("normal.wav");
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(0, 11))));

  form().SetSpeedTenths(15);
  CaptureTo("cue.wav");
  ResetDecoder();
  form().CueX->click();
  heard = ReadCapture(dir_.file("cue.wav").string());
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(0, 11))));

  CaptureTo("review.wav");
  form().PlaySlider->setValue(9);
  ResetDecoder();
  form().RevX->click();
  heard = ReadCapture(dir_.file("review.wav").string());
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(9, 0))));
}

TEST_F(PlaybackSpeed, TheSliderFollowsWhatIsHeard) {
  // When the slider first shows a page, the capture holds about the blocks of
  // the pages before it, each 1/speed as long as its page.
  setenv("CALENDO_AUDIO_SPEED", "2", 1);
  Open(WriteTone("tone.vqr", 8.0));
  form().SetSpeedTenths(20);
  const std::string part = dir_.file("heard.wav").string() + ".part";
  std::uintmax_t captured = 0;
  WhenSlider([](int page) { return page >= 30; },
             [&] { captured = std::filesystem::file_size(part); });
  PlayFromStart("heard.wav");
  const double heard_pages =
      (static_cast<double>(captured - 44) / 2 - testing::kStreamStartSamples) / (1360 / 2.0);
  EXPECT_NEAR(heard_pages, 30.0, 5.0);
}

TEST_F(PlaybackSpeed, TheLabelShowsASpeedOtherThanNormalAndTheMenuFollows) {
  const std::string path = WriteVqr("memo.vqr", 6);
  Open(path);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0));
  const int designed = form().PlayTimeLabel->width();
  form().SetSpeedTenths(15);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0) + QStringLiteral("  1.5×"));
  form().PlayTimeLabel->setText(QStringLiteral("[88 : 88 : 88 / 88 : 88 : 88]  0.5×"));
  EXPECT_LE(
      QFontMetrics(form().PlayTimeLabel->font()).horizontalAdvance(form().PlayTimeLabel->text()),
      form().PlayTimeLabel->contentsRect().width());
  form().SetSpeedTenths(10);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0));
  EXPECT_EQ(form().PlayTimeLabel->width(), designed);

  form().SetSpeedTenths(1);
  EXPECT_EQ(form().SpeedTenths(), 5);
  form().SetSpeedTenths(99);
  EXPECT_EQ(form().SpeedTenths(), 20);
  const QList<QAction*> items = form().SpeedMenu->actions();
  ASSERT_GE(items.size(), 16);
  EXPECT_EQ(items.front()->text(), QStringLiteral("0.5×"));
  EXPECT_TRUE(items[15]->isChecked());
  items[2]->trigger();
  EXPECT_EQ(form().SpeedTenths(), 7);

  form().SetRewindSeconds(4);  // no such choice
  EXPECT_EQ(form().RewindSeconds(), 0);
  form().RewindMenu->actions()[4]->trigger();
  EXPECT_EQ(form().RewindSeconds(), 5);
}

class SpeedKeys : public testing::KeyboardTest {};

TEST_F(SpeedKeys, BracketsStepTheSpeedByATenth) {
  PressKey(form(), Qt::Key_BracketRight);
  PressKey(form(), Qt::Key_BracketRight);
  EXPECT_EQ(form().SpeedTenths(), 12);
  for (int i = 0; i < 10; ++i) PressKey(form(), Qt::Key_BracketLeft);
  EXPECT_EQ(form().SpeedTenths(), 5);
}

TEST_F(SpeedKeys, AResumeAfterAPauseGoesBackTheChosenSeconds) {
  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  const std::string path = WriteVqr("memo.vqr", 80, [](int page) { return page % 3 == 2; });
  Open(path);
  form().SetRewindSeconds(2);
  int32_t paused_at = -1;
  int32_t expected = -1;
  WhenSlider([](int page) { return page >= 30; },
             [&] {
               PressKey(form(), Qt::Key_Space);
               paused_at = form().PlaySlider->value();
               expected = testing::NearestPageByEveryPage(
                   form(), testing::PageTimeMs(form(), paused_at) - 2000);
               QTimer::singleShot(200, form().PlaySlider, [&] {
                 EXPECT_TRUE(form().Paused());
                 CaptureTo("resumed.wav");
                 setenv("CALENDO_AUDIO_SPEED", "0", 1);
                 ResetDecoder();
                 PressKey(form(), Qt::Key_Space);
               });
             });
  PressKey(form(), Qt::Key_Space);

  ASSERT_GE(paused_at, 30);
  EXPECT_LT(expected, paused_at - 10);  // 2 s are more than ten pages of either mode
  EXPECT_EQ(form().StartPage, expected);
  const Capture heard = ReadCapture(dir_.file("resumed.wav").string());
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(expected, 79))));
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(SpeedKeys, ASpeedChangeWhilePlayingGoesOnAtTheNewSpeedFromThePageHeard) {
  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  const std::string path = WriteVqr("memo.vqr", 80);
  Open(path);
  int32_t heard_at = -1;
  WhenSlider([](int page) { return page >= 20; },
             [&] {
               heard_at = form().PlaySlider->value();
               CaptureTo("faster.wav");
               setenv("CALENDO_AUDIO_SPEED", "0", 1);
               for (int i = 0; i < 5; ++i) PressKey(form(), Qt::Key_BracketRight);
             });
  PressKey(form(), Qt::Key_Space);

  ASSERT_GE(heard_at, 20);
  EXPECT_EQ(form().StartPage, heard_at);
  const Capture heard = ReadCapture(dir_.file("faster.wav").string());
  const double expected = (80.0 - heard_at) * 1360 / 1.5;
  EXPECT_NEAR(static_cast<double>(heard.samples.size() - testing::kStreamStartSamples), expected,
              expected * 0.01);
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
