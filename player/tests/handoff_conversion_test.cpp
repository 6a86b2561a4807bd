// A file handed over (or dropped) while a conversion runs waits for the
// conversion's end: played at once, it would decode while the conversion
// decodes, through the decoder's one state, and spoil the WAV file.
#include "handoff_processes.h"
#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::SameSound;

class HandoffConversion : public testing::PlaybackTest {
 protected:
  std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
};

TEST_F(HandoffConversion, HandedFilePlaysOnceTheConversionHasEnded) {
  const std::string converted = WriteVqr("long.vqr", 4000);
  const std::string handed = WriteVqr("handed.vqr", 4);
  Open(converted);

  const std::string quiet = dir_.file("quiet.wav").string();
  host_.save_answers.push_back(QString::fromStdString(quiet));
  form().Trans_wav16bit->trigger();

  const std::string busy = dir_.file("busy.wav").string();
  host_.save_answers.push_back(QString::fromStdString(busy));
  bool handed_over = false;
  bool played_during_conversion = false;
  QObject::connect(
      form().ProgressBar1, &QProgressBar::valueChanged, form().ProgressBar1, [&](int value) {
        if (form().ConvActive == 1 && form().PlayActive != 0) {
          played_during_conversion = true;
        }
        if (handed_over || value < 15) return;
        handed_over = true;
        form().RunHandler([&] { form().MsgCtl_OnCopyData(0, QString::fromStdString(handed)); });
      });
  QObject::connect(form().PlaySlider, &QSlider::valueChanged, form().PlaySlider, [&] {
    if (form().ConvActive == 1) played_during_conversion = true;
  });
  form().Trans_wav16bit->trigger();
  ASSERT_TRUE(handed_over);
  EXPECT_FALSE(played_during_conversion);
  EXPECT_TRUE(ReadAll(quiet) == ReadAll(busy));

  // Then the handed file opens and plays.
  const auto expected = Heard(handed, 0, Pages(0, 3));
  ResetDecoder();
  ASSERT_TRUE(testing::ServeUntil(
      [&] { return form().OpenPending == kFalse && form().PlayActive == 0 && Ready(); },
      std::chrono::seconds(20), [this] { pump_.ProcessEventsOrWait(); }));
  EXPECT_EQ(form().windowTitle(), QStringLiteral("Calendo - handed.vqr"));
  EXPECT_TRUE(SameSound(ReadCapture(dir_.file("heard.wav").string()).samples, expected));
}

}  // namespace
}  // namespace calendo
