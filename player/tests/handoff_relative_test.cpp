// A second start of the real program in another folder, given a relative
// path: the running player opens the file that path names in the sender's
// folder, and plays it.
#include "handoff_processes.h"
#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::SameSound;

class HandoffRelative : public testing::PlaybackTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(CALENDO_LIB_DIR) + "/libravlet.so")) {
      GTEST_SKIP() << "libravlet.so is not built";
    }
    ASSERT_FALSE(testing::ScratchDesktopDirectory().empty());
    PlaybackTest::SetUp();
  }
};

TEST_F(HandoffRelative, RelativePathFromAnotherFolderOpensAndPlays) {
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
