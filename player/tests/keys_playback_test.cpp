// Keys during playback, heard through the capture device: a pause loses and
// repeats nothing, and a move by Left, Right or Home plays on from the page
// it reached, in the mode that was playing.
#include <sys/resource.h>

#include "keyboard.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::PressKey;
using testing::SameSound;

class KeysPlayback : public testing::KeyboardTest {
 protected:
  static std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto total = [](const timeval& t) {
      return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return total(usage.ru_utime) + total(usage.ru_stime);
  }

  static bool EveryThirdLp(int page) { return page % 3 == 2; }
};

TEST_F(KeysPlayback, PauseHoldsEverythingStillAndResumesWithTheNextSample) {
  setenv("CALENDO_AUDIO_SPEED", "4", 1);
  const std::string path = WriteVqr("memo.vqr", 30, EveryThirdLp);
  const auto expected = Heard(path, 0, Pages(0, 29));
  const std::string part = dir_.file("heard.wav").string() + ".part";
  Open(path);

  struct Held {
    int slider = -1;
    QString label;
    std::uintmax_t captured = 0;
    std::chrono::microseconds cpu{};
  } held;
  bool checked = false;
  WhenSlider([](int page) { return page >= 3; },
             [&] {
               PressKey(form(), Qt::Key_Space);
               // Settled once the output has said it is paused.
               QTimer::singleShot(150, form().PlaySlider, [&] {
                 held = {form().PlaySlider->value(), form().PlayTimeLabel->text(),
                         std::filesystem::file_size(part), ProcessCpuTime()};
                 EXPECT_EQ(imports::WavNowPlay(), -4);
               });
               QTimer::singleShot(650, form().PlaySlider, [&] {
                 checked = true;
                 EXPECT_EQ(form().PlaySlider->value(), held.slider);
                 EXPECT_EQ(form().PlayTimeLabel->text(), held.label);
                 EXPECT_EQ(std::filesystem::file_size(part), held.captured);
                 EXPECT_EQ(imports::WavNowPlay(), -4);
                 // Waiting, not polling: well under the half second of wall time.
                 EXPECT_LT(ProcessCpuTime() - held.cpu, std::chrono::milliseconds(200));
                 EXPECT_EQ(form().PlayActive, 1);
                 PressKey(form(), Qt::Key_Space);
               });
             });
  ResetDecoder();
  PressKey(form(), Qt::Key_Space);

  EXPECT_TRUE(checked);
  EXPECT_GE(held.slider, 3);
  const Capture heard = ReadCapture(dir_.file("heard.wav").string());
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

// Plays the open file in the mode of `key` from `from`; once the slider shows
// a page that `reached` accepts, presses `move` and captures what follows into `name` at full
// speed. Returns the page the move went to, as the slider showed it then.
class KeysMove : public KeysPlayback {
 protected:
  int32_t PlayAndMove(int32_t from, std::function<bool(int)> reached, Qt::Key key, Qt::Key move,
                      const std::string& name) {
    setenv("CALENDO_AUDIO_SPEED", "1", 1);
    form().PlaySlider->setValue(from);
    int32_t moved_to = -1;
    WhenSlider(std::move(reached), [&] {
      const int32_t before = form().PlaySlider->value();
      const int32_t ms = testing::PageTimeMs(form(), before);
      expected_page_ = move == Qt::Key_Home
                           ? 0
                           : testing::NearestPageByEveryPage(
                                 form(), move == Qt::Key_Left ? ms - 5000 : ms + 5000);
      CaptureTo(name);
      setenv("CALENDO_AUDIO_SPEED", "0", 1);
      ResetDecoder();
      PressKey(form(), move);
      moved_to = form().PlaySlider->value();
    });
    PressKey(form(), key);
    return moved_to;
  }

  static std::function<bool(int)> AtLeast(int page) {
    return [page](int value) { return value >= page; };
  }

  int32_t expected_page_ = -1;
};

TEST_F(KeysMove, RightAndLeftMoveFiveSecondsToTheNearestPageAndPlayOn) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);

  int32_t page = PlayAndMove(30, AtLeast(32), Qt::Key_Space, Qt::Key_Right, "right.wav");
  EXPECT_EQ(page, expected_page_);
  EXPECT_GT(page, 32 + 20);  // 5 s are more than 20 pages of either mode
  Capture heard = ReadCapture(dir_.file("right.wav").string());
  EXPECT_EQ(heard.rate, 11025u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(page, 119))));
  EXPECT_EQ(form().StartPage, page);

  page = PlayAndMove(80, AtLeast(82), Qt::Key_Space, Qt::Key_Left, "left.wav");
  EXPECT_EQ(page, expected_page_);
  EXPECT_LT(page, 82 - 20);
  heard = ReadCapture(dir_.file("left.wav").string());
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(page, 119))));
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(KeysMove, MovesKeepTheModeThatPlays) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);

  // Cue goes on as cue from the first page.
  EXPECT_EQ(PlayAndMove(60, AtLeast(63), Qt::Key_C, Qt::Key_Home, "home.wav"), 0);
  Capture heard = ReadCapture(dir_.file("home.wav").string());
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(0, 119))));

  // Review goes on backward from five seconds further back.
  const int32_t page = PlayAndMove(
      100, [](int value) { return value <= 97; }, Qt::Key_R, Qt::Key_Left, "review.wav");
  EXPECT_EQ(page, expected_page_);
  heard = ReadCapture(dir_.file("review.wav").string());
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(page, 0))));
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
