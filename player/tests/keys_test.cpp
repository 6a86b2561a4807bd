// The window's keys in every state of the window: no key but Ctrl+Q ends the
// program, no control keeps the focus, and a key acts only as its enabled
// button would.
#include <QAbstractButton>

#include "keyboard.h"

namespace calendo {
namespace {

using testing::PressKey;
using testing::SameSound;

class Keys : public testing::KeyboardTest {
 protected:
  static bool FocusOnAButton() {
    return qobject_cast<QAbstractButton*>(QApplication::focusWidget()) != nullptr;
  }
};

// The report that started it all: after Review, which disables its own
// button, the focus went to EXIT and the next Space ended the program.
TEST_F(Keys, SpaceInEveryStateNeverEndsTheProgram) {
  // No file: nothing to play.
  PressKey(form(), Qt::Key_Space);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(host_.boxes.empty());

  const std::string path = WriteVqr("memo.vqr", 8, [](int page) { return page % 3 == 2; });
  Open(path);
  ASSERT_TRUE(Ready());
  // Review from the first page plays nothing and gives the buttons back.
  PressKey(form(), Qt::Key_R);
  EXPECT_TRUE(Ready());
  EXPECT_FALSE(FocusOnAButton());

  // Stopped: Space plays the file, and inside that playback Space pauses and
  // resumes, Escape stops.
  const auto expected = Heard(path, 0, Pages(0, 7));
  ResetDecoder();
  PressKey(form(), Qt::Key_Space);
  EXPECT_TRUE(SameSound(ReadCapture(dir_.file("heard.wav").string()).samples, expected));
  EXPECT_TRUE(Ready());
  EXPECT_FALSE(FocusOnAButton());

  setenv("CALENDO_AUDIO_SPEED", "1", 1);
  bool pressed_while_playing = false;
  WhenSlider([](int page) { return page >= 1; },
             [&] {
               pressed_while_playing = form().PlayActive != 0;
               PressKey(form(), Qt::Key_Space);
               PressKey(form(), Qt::Key_Space);
               PressKey(form(), Qt::Key_Escape);
             });
  PressKey(form(), Qt::Key_C);
  EXPECT_TRUE(pressed_while_playing);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
  EXPECT_FALSE(FocusOnAButton());
  EXPECT_TRUE(form().isVisible());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(Keys, DuringAConversionOnlyWhatItsButtonsAllowHappens) {
  const std::string path = WriteVqr("memo.vqr", 40);
  Open(path);
  ASSERT_TRUE(Ready());

  // The same conversion twice, the second with every key pressed while it runs.
  const std::string quiet = dir_.file("quiet.wav").string();
  host_.save_answers.push_back(QString::fromStdString(quiet));
  form().Trans_wav16bit->trigger();
  ASSERT_TRUE(std::filesystem::exists(quiet));

  const std::string keyed = dir_.file("keyed.wav").string();
  host_.save_answers.push_back(QString::fromStdString(keyed));
  bool pressed = false;
  bool acted = false;
  QObject::connect(form().ProgressBar1, &QProgressBar::valueChanged, form().ProgressBar1,
                   [&](int value) {
                     if (pressed || value < 2) return;
                     pressed = true;
                     for (const Qt::Key key : {Qt::Key_Space, Qt::Key_C, Qt::Key_R, Qt::Key_Escape,
                                               Qt::Key_Left, Qt::Key_Right, Qt::Key_Home}) {
                       PressKey(form(), key);
                       acted = acted || form().PlayActive != 0 || form().ConvActive != 1 ||
                               !form().Cancelx->isVisible() || form().PlaySlider->value() != 0;
                     }
                   });
  form().Trans_wav16bit->trigger();
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(acted);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));
  std::ifstream a(quiet, std::ios::binary);
  std::ifstream b(keyed, std::ios::binary);
  const std::string quiet_bytes((std::istreambuf_iterator<char>(a)), {});
  const std::string keyed_bytes((std::istreambuf_iterator<char>(b)), {});
  EXPECT_GT(quiet_bytes.size(), 44u);
  EXPECT_TRUE(quiet_bytes == keyed_bytes);
  EXPECT_TRUE(Ready());
}

TEST_F(Keys, ArrowsAndHomeWhileStoppedMoveTheSliderAndTheTimeOnly) {
  const std::string path = WriteVqr("memo.vqr", 120, [](int page) { return page % 3 == 2; });
  Open(path);
  int32_t page = 0;
  for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left}) {
    const int32_t ms = testing::PageTimeMs(form(), page) + (key == Qt::Key_Right ? 5000 : -5000);
    const int32_t expected = testing::NearestPageByEveryPage(form(), ms);
    PressKey(form(), key);
    EXPECT_NE(form().PlaySlider->value(), page);
    page = expected;
    EXPECT_EQ(form().PlaySlider->value(), page);
    EXPECT_EQ(form().StartPage, page);
    EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(page));
  }
  PressKey(form(), Qt::Key_Home);
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0));
  PressKey(form(), Qt::Key_Left);
  EXPECT_EQ(form().PlaySlider->value(), 0);
  // The end holds: the last page is as far as Right goes.
  for (int i = 0; i < 40; ++i) PressKey(form(), Qt::Key_Right);
  EXPECT_EQ(form().PlaySlider->value(), 119);

  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));
}

// Ctrl+Q leaves as the EXIT button does: the file of a conversion that runs is
// removed, and the process ends.
TEST_F(Keys, CtrlQEndsTheProgramAsTheExitButton) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The process that runs the statement starts this test afresh, in a folder
  // of its own; it inherits the name of the parent's file.
  if (std::getenv("CALENDO_TEST_HALF_WAV") == nullptr) {
    setenv("CALENDO_TEST_HALF_WAV", dir_.file("half.wav").c_str(), 1);
    std::ofstream(std::getenv("CALENDO_TEST_HALF_WAV")) << "RIFF";
  }
  const std::string half = std::getenv("CALENDO_TEST_HALF_WAV");
  host_.exit_code = 0;
  EXPECT_EXIT(
      {
        form().ConvActive = 1;
        form().conversion_temp_files.push_back(half);
        PressKey(form(), Qt::Key_Q);  // Q alone is no key of the window
        if (!std::filesystem::exists(half)) std::_Exit(5);
        PressKey(form(), Qt::Key_Q, Qt::ControlModifier);
        std::_Exit(6);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(std::filesystem::exists(half));
  unsetenv("CALENDO_TEST_HALF_WAV");
}

}  // namespace
}  // namespace calendo
