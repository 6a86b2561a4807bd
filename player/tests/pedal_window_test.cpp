// The foot pedal drives the window as the buttons would: the middle pedal
// plays while held and pauses (rewinding on resume when set) when let go,
// the side pedals cue and review and hand back to the pedal still held, and
// nothing moves during a conversion.
#include "keyboard.h"
#include "pedal/pedal_report.h"

namespace calendo {
namespace {

class PedalWindow : public testing::KeyboardTest {
 protected:
  // Runs `then` once `ready` holds, looked at every few milliseconds from
  // whatever event loop runs.
  void Until(std::function<bool()> ready, std::function<void()> then) {
    auto* timer = new QTimer(form().PlaySlider);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, ready, then] {
      if (!ready()) return;
      timer->stop();
      timer->deleteLater();
      form().RunHandler(then);
    });
    timer->start();
  }

  enum class State { stopped, play, cue, review, paused };
  State Now() {
    if (form().PlayActive == 0) return State::stopped;
    if (form().Paused()) return State::paused;
    if (!form().PlayX->isEnabled()) return State::play;
    if (!form().CueX->isEnabled()) return State::cue;
    if (!form().RevX->isEnabled()) return State::review;
    return State::stopped;
  }
};

TEST_F(PedalWindow, PedalsPlayPauseCueAndHandBack) {
  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  const std::string path = WriteVqr("memo.vqr", 200);
  Open(path);
  form().SetRewindSeconds(2);

  std::vector<State> seen;
  int32_t paused_at = -1;
  int32_t resumed_at = -1;
  bool finished = false;
  // Middle held: play. Let go: paused. Held again: on from 2 s earlier.
  Until(
      [&] {
        return Now() == State::play &&
               testing::PageTimeMs(form(), form().PlaySlider->value()) > 3000;
      },
      [&] {
        seen.push_back(Now());
        form().TakePedals(0);
        seen.push_back(Now());
        paused_at = form().PlaySlider->value();
        form().TakePedals(kPedalMiddle);
        resumed_at = form().PlaySlider->value();
        // The right pedal joins: cue, then play again as it is let go.
        form().TakePedals(kPedalMiddle | kPedalRight);
        Until([&] { return Now() == State::cue; },
              [&] {
                seen.push_back(Now());
                form().TakePedals(kPedalMiddle);
                Until([&] { return Now() == State::play; },
                      [&] {
                        seen.push_back(Now());
                        form().TakePedals(0);
                        seen.push_back(Now());
                        form().Stop();
                        finished = true;
                      });
              });
      });
  form().TakePedals(kPedalMiddle);
  EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
  EXPECT_EQ(seen, (std::vector<State>{State::play, State::paused, State::cue, State::play,
                                      State::paused}));
  EXPECT_LT(resumed_at, paused_at);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PedalWindow, LeftPedalReviewsFromStoppedAndNothingHappensWithoutAFile) {
  form().TakePedals(kPedalLeft);
  form().TakePedals(kPedalMiddle);
  form().TakePedals(0);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(host_.boxes.empty());

  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  const std::string path = WriteVqr("memo.vqr", 200);
  Open(path);
  form().PlaySlider->setValue(150);
  std::vector<State> seen;
  Until([&] { return Now() == State::review && form().PlaySlider->value() < 140; },
        [&] {
          seen.push_back(Now());
          form().TakePedals(0);
          seen.push_back(Now());
          form().Stop();
        });
  form().TakePedals(kPedalLeft);
  EXPECT_EQ(seen, (std::vector<State>{State::review, State::paused}));
  EXPECT_TRUE(Ready());
}

TEST_F(PedalWindow, DuringAConversionThePedalsDoNothing) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  const std::string out = dir_.file("out.wav").string();
  host_.save_answers.push_back(QString::fromStdString(out));
  bool pressed = false;
  bool acted = false;
  QObject::connect(
      form().ProgressBar1, &QProgressBar::valueChanged, form().ProgressBar1, [&](int value) {
        if (pressed || value < 2) return;
        pressed = true;
        for (const uint8_t held : {kPedalMiddle, kPedalRight, kPedalLeft, uint8_t{0}}) {
          form().TakePedals(held);
          acted = acted || form().PlayActive != 0 || form().ConvActive != 1 ||
                  !form().Cancelx->isVisible();
        }
      });
  form().Trans_wav16bit->trigger();
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(acted);
  EXPECT_TRUE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
