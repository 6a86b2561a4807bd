// Go to, loop, steps and stamps from the keyboard: each lands on the page it
// names, a playback goes on from there in its mode (heard through the capture
// device), and none of them acts during a conversion.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include "keyboard.h"
#include "window/time_stamp.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::PressKey;
using testing::SameSound;

bool EveryThirdLp(int page) {
  return page % 3 == 2;
}

class GoKeys : public testing::KeyboardTest {
 protected:
  // The first page whose time is `ms` or later, found by trying every page.
  int32_t FirstPageAtOrPast(int64_t ms) {
    for (int32_t page = 0; page < form().PageCount; ++page) {
      if (testing::PageTimeMs(form(), page) >= ms) return page;
    }
    return -1;
  }

  void GoTo(const QString& text) {
    host_.text_answers.push_back(text);
    PressKey(form(), Qt::Key_G, Qt::ControlModifier);
  }

  static QString Clipboard() { return QGuiApplication::clipboard()->text(); }
};

TEST_F(GoKeys, GoToWhileStoppedLandsOnTheFirstPageOfThatTimeAndPlaysFromIt) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  for (const char* text : {"0:07.5", "12", "[00:00:03]", "0:00:00", "0:09.2"}) {
    GoTo(QString::fromUtf8(text));
    const int32_t page = FirstPageAtOrPast(*ParseTypedTime(QString::fromUtf8(text)));
    EXPECT_EQ(form().PlaySlider->value(), page) << text;
    EXPECT_EQ(form().StartPage, page) << text;
    EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(page)) << text;
  }
  EXPECT_EQ(form().PlayActive, 0);
  const int32_t page = form().PlaySlider->value();
  ASSERT_GT(page, 40);

  ResetDecoder();
  PressKey(form(), Qt::Key_Space);
  const Capture heard = ReadCapture(dir_.file("heard.wav").string());
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(page, 119))));
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_TRUE(Ready());
}

TEST_F(GoKeys, TimesPastTheEndAndTextsThatAreNoTimeChangeNothing) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  GoTo(QStringLiteral("0:05"));
  const int32_t page = form().PlaySlider->value();
  const QString label = form().PlayTimeLabel->text();
  ASSERT_GT(page, 0);

  GoTo(QStringLiteral("1:00:00"));
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_TRUE(host_.boxes[0].text.contains(QStringLiteral("01:00:00 lies past the end")))
      << host_.boxes[0].text.toStdString();
  GoTo(QStringLiteral("five"));
  ASSERT_EQ(host_.boxes.size(), 2u);
  EXPECT_TRUE(host_.boxes[1].text.contains(QStringLiteral("\"five\" is not a time")));
  PressKey(form(), Qt::Key_G, Qt::ControlModifier);  // cancelled: no answer scripted
  EXPECT_EQ(host_.boxes.size(), 2u);
  EXPECT_EQ(form().PlaySlider->value(), page);
  EXPECT_EQ(form().PlayTimeLabel->text(), label);

  // The length itself is the last page; a millisecond more is refused.
  const int32_t length = testing::PageTimeMs(form(), 119);
  GoTo(QString::number(length / 1000.0, 'f', 3));
  EXPECT_EQ(form().PlaySlider->value(), 119);
  GoTo(QString::number((length + 1) / 1000.0, 'f', 3));
  ASSERT_EQ(host_.boxes.size(), 3u);
  EXPECT_TRUE(host_.boxes[2].text.endsWith(" past the end of the recording (" +
                                           strFormatTime(length).remove(QLatin1Char(' ')) + ")."))
      << host_.boxes[2].text.toStdString();
  EXPECT_EQ(form().PlaySlider->value(), 119);
  EXPECT_TRUE(Ready());
}

TEST_F(GoKeys, GoToAndStepsWhilePlayingGoOnFromThePageInTheSameMode) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  setenv("CALENDO_AUDIO_SPEED", "1", 1);
  form().PlaySlider->setValue(10);
  int32_t moved_to = -1;
  WhenSlider([](int page) { return page >= 12; },
             [&] {
               CaptureTo("cue.wav");
               setenv("CALENDO_AUDIO_SPEED", "0", 1);
               ResetDecoder();
               GoTo(QStringLiteral("0:08"));
               moved_to = form().PlaySlider->value();
             });
  PressKey(form(), Qt::Key_C);
  EXPECT_EQ(moved_to, FirstPageAtOrPast(8000));
  Capture heard = ReadCapture(dir_.file("cue.wav").string());
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(moved_to, 119))));

  // Shift+Left in play: a second back from the page heard.
  setenv("CALENDO_AUDIO_SPEED", "1", 1);
  form().PlaySlider->setValue(40);
  int32_t expected = -1;
  WhenSlider([](int page) { return page >= 42; },
             [&] {
               CaptureTo("play.wav");
               setenv("CALENDO_AUDIO_SPEED", "0", 1);
               ResetDecoder();
               expected = testing::NearestPageByEveryPage(
                   form(), testing::PageTimeMs(form(), form().PlaySlider->value()) - 1000);
               PressKey(form(), Qt::Key_Left, Qt::ShiftModifier);
               moved_to = form().PlaySlider->value();
             });
  PressKey(form(), Qt::Key_Space);
  EXPECT_EQ(moved_to, expected);
  heard = ReadCapture(dir_.file("play.wav").string());
  EXPECT_EQ(heard.rate, 11025u);
  EXPECT_TRUE(SameSound(heard.samples, Heard(path, 0, Pages(moved_to, 119))));
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_TRUE(Ready());
}

TEST_F(GoKeys, StepsMoveOneAndThirtySecondsWithinTheRecording) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  int32_t page = 0;
  const struct {
    Qt::Key key;
    Qt::KeyboardModifier modifier;
    int32_t ms;
  } steps[] = {
      {Qt::Key_Right, Qt::ShiftModifier, 1000}, {Qt::Key_Right, Qt::ShiftModifier, 1000},
      {Qt::Key_Left, Qt::ShiftModifier, -1000}, {Qt::Key_Right, Qt::ControlModifier, 30000},
      {Qt::Key_Left, Qt::ShiftModifier, -1000}, {Qt::Key_Left, Qt::ControlModifier, -30000},
      {Qt::Key_Left, Qt::ShiftModifier, -1000}};
  for (const auto& step : steps) {
    page = testing::NearestPageByEveryPage(form(), testing::PageTimeMs(form(), page) + step.ms);
    PressKey(form(), step.key, step.modifier);
    EXPECT_EQ(form().PlaySlider->value(), page) << step.ms;
    EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(page));
  }
  EXPECT_EQ(page, 0);  // the last steps ran into the start
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));
}

// Plays from page 10 with a loop from `start` to `end`; captures the first
// repeat into repeat.wav and stops once the second repeat has begun. Returns
// the page each repeat began at.
class GoLoop : public GoKeys {
 protected:
  std::vector<int32_t> PlayLoop(int32_t first_mark, int32_t second_mark) {
    form().PlaySlider->setValue(first_mark);
    PressKey(form(), Qt::Key_L);
    EXPECT_EQ(form().LoopStartMark(), first_mark);
    form().PlaySlider->setValue(second_mark);
    PressKey(form(), Qt::Key_L);
    const auto [start, end] = std::minmax(first_mark, second_mark);
    EXPECT_EQ(form().LoopPages(), std::make_pair(start, end));

    setenv("CALENDO_AUDIO_SPEED", "4", 1);
    form().PlaySlider->setValue(10);
    std::vector<int32_t> repeats;
    int32_t previous = 10;
    bool stopping = false;
    const QMetaObject::Connection watch = QObject::connect(
        form().PlaySlider, &QSlider::valueChanged, form().PlaySlider, [&, start, end](int page) {
          const int32_t before = std::exchange(previous, page);
          if (before >= end && page < start + 1) {
            repeats.push_back(page);
            CaptureTo(repeats.size() == 1 ? "repeat.wav" : "rest.wav");
            ResetDecoder();
          } else if (repeats.size() == 2 && page > repeats[1] + 2 && !stopping) {
            stopping = true;
            QTimer::singleShot(0, form().PlaySlider, [this] {
              form().RunHandler([this] { PressKey(form(), Qt::Key_Escape); });
            });
          }
        });
    PressKey(form(), Qt::Key_Space);
    QObject::disconnect(watch);
    EXPECT_TRUE(stopping);
    return repeats;
  }

  // The capture `name` is the sound of the pages from `first` on, all of
  // them up to `whole` at least and none past `at_most`.
  ::testing::AssertionResult HeardFrom(const std::string& path, const std::string& name,
                                       int32_t first, int32_t whole, int32_t at_most) {
    const Capture heard = ReadCapture(dir_.file(name).string());
    const std::vector<int16_t> most = Heard(path, 0, Pages(first, at_most));
    const std::size_t least = Heard(path, 0, Pages(first, whole)).size();
    if (heard.samples.size() < least || heard.samples.size() > most.size()) {
      return ::testing::AssertionFailure() << heard.samples.size() << " samples heard, " << least
                                           << " to " << most.size() << " expected";
    }
    return SameSound(heard.samples, {most.begin(), most.begin() + heard.samples.size()});
  }
};

TEST_F(GoLoop, TheStretchRepeatsFromItsFirstPage) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  const std::vector<int32_t> repeats = PlayLoop(20, 40);
  ASSERT_EQ(repeats.size(), 2u);
  EXPECT_EQ(repeats[0], 20);
  EXPECT_EQ(repeats[1], 20);
  // The repeat plays the loop's pages from its first, and is cut off once the
  // slider shows the loop's end (the page before it still sounding then).
  EXPECT_TRUE(HeardFrom(path, "repeat.wav", 20, 38, 45));
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());

  // A third L ends the loop.
  PressKey(form(), Qt::Key_L);
  EXPECT_EQ(form().LoopPages(), std::nullopt);
  EXPECT_EQ(form().LoopStartMark(), std::nullopt);
}

TEST_F(GoLoop, EachRepeatStartsTheRewindBeforeTheLoop) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  Open(path);
  form().SetRewindSeconds(2);
  const int32_t lead_in =
      testing::NearestPageByEveryPage(form(), testing::PageTimeMs(form(), 30) - 2000);
  ASSERT_LT(lead_in, 20);
  // Marked end first: the marks are taken in order.
  const std::vector<int32_t> repeats = PlayLoop(45, 30);
  ASSERT_EQ(repeats.size(), 2u);
  EXPECT_EQ(repeats[0], lead_in);
  EXPECT_EQ(repeats[1], lead_in);
  EXPECT_TRUE(HeardFrom(path, "repeat.wav", lead_in, 43, 50));
}

TEST_F(GoKeys, CtrlTCopiesTheHeardTimeAsAStampThatCtrlGTakesBack) {
  const std::string path = WriteVqr("memo.vqr", 120, EveryThirdLp);
  QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
  PressKey(form(), Qt::Key_T, Qt::ControlModifier);  // no file open
  EXPECT_EQ(Clipboard(), QStringLiteral("untouched"));

  Open(path);
  GoTo(QStringLiteral("0:07.3"));
  PressKey(form(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(Clipboard(), QStringLiteral("[00:00:07]"));
  PressKey(form(), Qt::Key_Home);
  GoTo(Clipboard());
  EXPECT_EQ(form().PlaySlider->value(), FirstPageAtOrPast(7000));

  GoTo(QStringLiteral("0:07.3"));
  form().SetTimeStampForm(StampForm::tenths);
  PressKey(form(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(Clipboard().startsWith(QStringLiteral("[00:00:07."))) << Clipboard().toStdString();
  const int64_t tenths = *ParseTypedTime(Clipboard());
  EXPECT_GE(tenths, 7300);
  PressKey(form(), Qt::Key_Home);
  GoTo(Clipboard());
  EXPECT_EQ(form().PlaySlider->value(), FirstPageAtOrPast(tenths));

  // The recording's clock: the file's time plus the time heard.
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2024, 5, 6), QTime(10, 0, 0)),
                               QFileDevice::FileModificationTime));
  file.close();
  GoTo(QStringLiteral("0:07.3"));
  form().SetTimeStampForm(StampForm::wall_clock);
  PressKey(form(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(Clipboard(), QStringLiteral("[2024-05-06 10:00:07]"));
  PressKey(form(), Qt::Key_Home);
  GoTo(Clipboard());
  EXPECT_EQ(form().PlaySlider->value(), FirstPageAtOrPast(7000));
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(GoKeys, DuringAConversionTheNewKeysDoNothing) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  ASSERT_TRUE(Ready());
  QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
  host_.text_answers.push_back(QStringLiteral("0:02"));

  host_.save_answers.push_back(QString::fromStdString(dir_.file("memo.wav").string()));
  bool pressed = false;
  bool acted = false;
  QObject::connect(form().ProgressBar1, &QProgressBar::valueChanged, form().ProgressBar1,
                   [&](int value) {
                     if (pressed || value < 2) return;
                     pressed = true;
                     const std::pair<Qt::Key, Qt::KeyboardModifier> keys[] = {
                         {Qt::Key_G, Qt::ControlModifier},   {Qt::Key_T, Qt::ControlModifier},
                         {Qt::Key_L, Qt::NoModifier},        {Qt::Key_L, Qt::NoModifier},
                         {Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, Qt::ControlModifier},
                         {Qt::Key_Left, Qt::ControlModifier}};
                     for (const auto& [key, modifier] : keys) {
                       PressKey(form(), key, modifier);
                       acted = acted || form().PlayActive != 0 || form().ConvActive != 1 ||
                               form().PlaySlider->value() != 0 || form().LoopStartMark() ||
                               !host_.text_prompts.empty() || Clipboard() != "untouched";
                     }
                   });
  form().Trans_wav16bit->trigger();
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(acted);
  EXPECT_EQ(host_.text_answers.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));
  EXPECT_TRUE(Ready());
}

}  // namespace
}  // namespace calendo
