// A player takes a file from a second start of the real program: in the
// middle of a playback it stops, and the timer opens and plays the new file
// from its first page; a relative path is the file in the sender's folder.
#include "handoff_processes.h"
#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::SameSound;

class HandoffPlayback : public testing::PlaybackTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing::ScratchDesktopDirectory().empty());
    PlaybackTest::SetUp();
  }
};

TEST_F(HandoffPlayback, PlayingPlayerStopsAndPlaysTheHandedFileFromPageZero) {
  const std::string first = WriteVqr("first.vqr", 40);
  const std::string second = WriteVqr("second.vqr", 6, [](int page) { return page % 3 == 2; });
  const auto expected = Heard(second, 0, Pages(0, 5));

  // The first file plays at the pace of real time; the second start comes
  // once it reached page 2, and what follows is captured apart, at full speed.
  setenv("CALENDO_AUDIO_SPEED", "1", 1);
  Open(first);
  ASSERT_TRUE(form().PlayX->isEnabled());
  pid_t sender = 0;
  WhenSlider([](int page) { return page >= 2; },
             [&] {
               CaptureTo("second.wav");
               setenv("CALENDO_AUDIO_SPEED", "0", 1);
               sender = testing::StartPlayer(CALENDO_PROGRAM, {second});
             });
  // The player never resets its decoder; the expected sound starts from a
  // reset one, so the test resets it as the timer opens the handed file.
  QObject::connect(form().Timer1, &QTimer::timeout, form().Timer1, [this] {
    if (form().OpenPending == kTrue) ResetDecoder();
  });
  ResetDecoder();
  form().PlayX->click();

  // The first playback and the second run nested in that click; wait for the
  // second one to have been heard in full.
  ASSERT_TRUE(
      testing::ServeUntil([&] { return form().PlayActive == 0 && form().OpenPending == kFalse; },
                          std::chrono::seconds(20), [this] { pump_.ProcessEventsOrWait(); }));
  ASSERT_NE(sender, 0) << "the first file never reached page 2";
  EXPECT_EQ(testing::WaitForPlayer(sender, std::chrono::seconds(20),
                                   [this] { pump_.ProcessEventsOrWait(); }),
            0);

  EXPECT_EQ(form().PlayFileName, QString::fromStdString(second));
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - second.vqr"));
  const Capture heard_second = ReadCapture(dir_.file("second.wav").string());
  EXPECT_TRUE(SameSound(heard_second.samples, expected));
  // The first file was cut short.
  const Capture heard_first = ReadCapture(dir_.file("heard.wav").string());
  EXPECT_LT(heard_first.samples.size(), Heard(first, 0, Pages(0, 39)).size());
  EXPECT_TRUE(host_.boxes.empty());
}

// The sender runs in another folder and names the file by a relative path.
TEST_F(HandoffPlayback, RelativePathFromAnotherFolderOpensAndPlays) {
  std::filesystem::create_directory(dir_.file("elsewhere"));
  const std::string path = WriteVqr("elsewhere/memo.vqr", 5);
  ASSERT_NE(std::filesystem::current_path(), dir_.file("elsewhere"));
  const auto expected = Heard(path, 0, Pages(0, 4));
  ResetDecoder();

  const pid_t sender =
      testing::StartPlayer(CALENDO_PROGRAM, {"memo.vqr"}, {}, dir_.file("elsewhere").string());
  ASSERT_NE(sender, 0);
  EXPECT_EQ(testing::WaitForPlayer(sender, std::chrono::seconds(20),
                                   [this] { pump_.ProcessEventsOrWait(); }),
            0);
  // The hand-off arrived before the sender ended; the timer opens and plays.
  ASSERT_TRUE(testing::ServeUntil(
      [&] { return form().OpenPending == kFalse && form().PlayActive == 0 && Ready(); },
      std::chrono::seconds(20), [this] { pump_.ProcessEventsOrWait(); }));

  EXPECT_EQ(form().PlayFileName, QString::fromStdString(path));
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - memo.vqr"));
  EXPECT_TRUE(SameSound(ReadCapture(dir_.file("heard.wav").string()).samples, expected));
  EXPECT_TRUE(host_.boxes.empty());
}

}  // namespace
}  // namespace calendo
