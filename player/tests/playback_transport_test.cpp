// Handlers that run inside a running playback: Stop, a press on the slider,
// another mode button, a file handed over to the timer, a file that vanishes,
// and an output that cannot play.
#include <fstream>

#include <QMouseEvent>

#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::SameSound;

class PlaybackTransport : public testing::PlaybackTest {
 protected:
  void PressSlider(QEvent::Type type) {
    QSlider* slider = form().PlaySlider;
    const QPointF at(slider->width() / 2.0, slider->height() / 2.0);
    QMouseEvent event(type, at, slider->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &event);
  }
};

TEST_F(PlaybackTransport, StopKeepsThePageReachedAndPlayContinuesFromIt) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  WhenSlider([](int page) { return page >= 6; }, [this] { form().StopX->click(); });
  form().PlayX->click();

  const int reached = form().PlaySlider->value();
  EXPECT_GE(reached, 6);
  EXPECT_LT(reached, 39);
  EXPECT_EQ(form().StartPage, reached);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(reached));
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());

  const auto expected = Heard(path, 0, Pages(reached, 39));
  const std::string again = CaptureTo("again.wav");
  form().PlayX->click();
  EXPECT_TRUE(SameSound(ReadCapture(again).samples, expected));
}

TEST_F(PlaybackTransport, SliderPressStopsPlaybackAndTheLabelFollowsTheSlider) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  WhenSlider([](int page) { return page >= 4; }, [this] { PressSlider(QEvent::MouseButtonPress); });
  form().PlayX->click();
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(form().Timer1->isActive());
  EXPECT_TRUE(Ready());

  form().PlaySlider->setValue(21);  // dragged
  form().Wait(0.25f);
  EXPECT_EQ(form().StartPage, 21);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(21));

  PressSlider(QEvent::MouseButtonRelease);
  form().Wait(0.25f);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_EQ(imports::WavNowPlay(), -2);  // nothing was started again
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PlaybackTransport, CueDuringReviewRestartsFromTheSliderAndTheReviewAddsNothing) {
  const std::string path = WriteVqr("memo.vqr", 40, [](int page) { return page % 4 == 0; });
  Open(path);
  form().PlaySlider->setValue(30);
  int cue_from = -1;
  std::vector<int16_t> expected;
  const std::string cue = dir_.file("cue.wav").string();
  WhenSlider([](int page) { return page <= 24; },
             [&] {
               cue_from = form().PlaySlider->value();
               expected = Heard(path, 0, Pages(cue_from, 39));
               CaptureTo("cue.wav");
               form().CueX->click();
             });
  form().RevX->click();

  ASSERT_GE(cue_from, 0);
  EXPECT_LT(cue_from, 30);
  const Capture heard = ReadCapture(cue);
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackTransport, ReviewKeepsOnlyAFewPagesAheadOfTheSound) {
  setenv("CALENDO_AUDIO_SPEED", "2", 1);
  const std::size_t before = platform::live_block_count();
  const std::string path = WriteVqr("memo.vqr", 60);
  Open(path);
  form().PlaySlider->setValue(55);
  std::size_t held = 0;
  WhenSlider([](int page) { return page <= 45; },
             [&] {
               held = platform::live_block_count() - before;
               form().StopX->click();
             });
  form().RevX->click();
  // The output holds a block and a wave header record for each page queued
  // or playing: at most five pages, where decoding ahead without a limit
  // would have queued all 45 below.
  EXPECT_GE(held, 1u);
  EXPECT_LE(held, 10u);
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackTransport, FileHandedToTheTimerDuringPlaybackOpensAndPlaysFromPageZero) {
  setenv("CALENDO_AUDIO_SPEED", "8", 1);  // the first file plays long enough for a tick
  const std::string first = WriteVqr("first.vqr", 60);
  const std::string second = WriteVqr("second.vqr", 5, [](int page) { return page == 3; });
  const auto expected = Heard(second, 0, Pages(0, 4));
  const std::string heard_path = dir_.file("second.wav").string();
  QObject::connect(&form(), &QWidget::windowTitleChanged, &form(), [&](const QString& title) {
    if (!title.endsWith(QStringLiteral("second.vqr"))) return;
    // The first file plays no more from here on.
    CaptureTo("second.wav");
    ResetDecoder();
  });
  // What a second start of the program hands over, as the start-up and the
  // hand-off do it: the name, the pending flag, the timer.
  auto hand_over = [&](const std::string& path) {
    form().PlayFileName = QString::fromStdString(path);
    form().OpenPending = kTrue;
    form().Timer1->start();
  };
  WhenSlider([](int page) { return page >= 3; }, [&] { hand_over(second); });
  hand_over(first);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(std::filesystem::exists(heard_path) && form().PlayActive == 0 &&
           !form().Timer1->isActive()) &&
         std::chrono::steady_clock::now() < deadline) {
    pump_.ProcessEventsOrWait();
  }

  EXPECT_TRUE(SameSound(ReadCapture(heard_path).samples, expected));
  EXPECT_EQ(form().PlayFileName, QString::fromStdString(second));
  EXPECT_EQ(form().PageCount, 5);
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - second.vqr"));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PlaybackTransport, FileDeletedDuringPlaybackSaysItCannotBeOpened) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  WhenSlider([](int page) { return page >= 3; }, [&] { std::filesystem::remove(path); });
  form().PlayX->click();

  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, QStringLiteral("Can't open file"));
  EXPECT_EQ(host_.boxes[0].style, 0);
  EXPECT_EQ(host_.boxes[0].title, QStringLiteral("Calendo"));
  for (QPushButton* button : {form().PlayX, form().CueX, form().RevX, form().StopX}) {
    EXPECT_FALSE(button->isEnabled());
  }
  EXPECT_FALSE(form().M_transwav->menuAction()->isEnabled());
  EXPECT_EQ(form().PlayActive, 0);
}

TEST_F(PlaybackTransport, FileThatNoLongerReadsAsARecordingSaysSoInsteadOfStayingBusy) {
  const std::string path = WriteVqr("memo.vqr", 10);
  Open(path);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a recording any more";
  form().PlayX->click();

  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, QStringLiteral("Can't open file"));
  for (QPushButton* button : {form().PlayX, form().CueX, form().RevX, form().StopX}) {
    EXPECT_FALSE(button->isEnabled());
  }
  EXPECT_FALSE(form().M_transwav->menuAction()->isEnabled());
  EXPECT_EQ(imports::WavNowPlay(), -2);  // no output left open
}

TEST_F(PlaybackTransport, OutputThatCannotPlayEndsThePlaybackWithAMessage) {
  const std::size_t before = platform::live_block_count();
  const std::string path = WriteVqr("memo.vqr", 200);
  Open(path);
  setenv("CALENDO_AUDIO", "no-such-device", 1);
  form().PlayX->click();

  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, QStringLiteral("Can't play sound"));
  EXPECT_EQ(host_.boxes[0].style, 48);
  EXPECT_EQ(host_.boxes[0].title, QStringLiteral("Calendo"));
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
  // Nothing played, so little was decoded, and every block went back.
  EXPECT_LT(form().PlaySlider->value(), 10);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (platform::live_block_count() != before && std::chrono::steady_clock::now() < deadline) {
    pump_.ProcessEventsOrWait();
  }
  EXPECT_EQ(platform::live_block_count(), before);
}

TEST_F(PlaybackTransport, PlayWithoutAFileAsksForOne) {
  int32_t start = 0;
  int16_t mode = 0;
  int16_t result = -1;
  form().DecodePlayX(QString(), start, mode, result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, QStringLiteral("Select file!"));
  EXPECT_EQ(host_.boxes[0].style, 6);
}

}  // namespace
}  // namespace calendo
