// What the player plays is what the file holds: the captured sound of each
// mode equals the decoder's blocks for the pages in the order that mode plays
// them, at the rate the mode announces.
#include "playback_fixture.h"

namespace calendo {
namespace {

using testing::Capture;
using testing::SameSound;

class PlaybackHeard : public testing::PlaybackTest {
 protected:
  // Opens `path`, moves the slider to `page` and presses `button`; returns
  // what was captured.
  Capture PlayFrom(const std::string& path, int page, QPushButton* Form1::*button) {
    Open(path);
    form().PlaySlider->setValue(page);
    ResetDecoder();
    (form().*button)->click();
    return ReadCapture(dir_.file("heard.wav").string());
  }

  // Mixed SP and LP pages.
  static bool EveryThirdLp(int page) { return page % 3 == 2; }
};

TEST_F(PlaybackHeard, PlayFromPageZeroPlaysEveryPageAndReturnsToTheStart) {
  const std::string path = WriteVqr("memo.vqr", 10, EveryThirdLp);
  const auto expected = Heard(path, 0, Pages(0, 9));
  const Capture heard = PlayFrom(path, 0, &Form1::PlayX);
  EXPECT_EQ(heard.rate, 11025u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0));
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(PlaybackHeard, PlayFromAMiddlePageStartsThere) {
  const std::string path = WriteVqr("memo.vqr", 12, EveryThirdLp);
  const auto expected = Heard(path, 0, Pages(5, 11));
  const Capture heard = PlayFrom(path, 5, &Form1::PlayX);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().StartPage, 5);
}

TEST_F(PlaybackHeard, CuePlaysForwardAtTwiceTheRate) {
  const std::string path = WriteVqr("memo.vqr", 9, EveryThirdLp);
  const auto expected = Heard(path, 0, Pages(2, 8));
  const Capture heard = PlayFrom(path, 2, &Form1::CueX);
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackHeard, ReviewPlaysThePagesInDescendingOrderAtTwiceTheRate) {
  const std::string path = WriteVqr("memo.vqr", 14, EveryThirdLp);
  const auto expected = Heard(path, 0, Pages(11, 0));
  const Capture heard = PlayFrom(path, 11, &Form1::RevX);
  EXPECT_EQ(heard.rate, 22050u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_EQ(form().PlayTimeLabel->text(), LabelAt(0));
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackHeard, ReviewFromPageOnePlaysPagesOneAndZero) {
  const std::string path = WriteVqr("memo.vqr", 5, EveryThirdLp);
  const auto expected = Heard(path, 0, {1, 0});
  const Capture heard = PlayFrom(path, 1, &Form1::RevX);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackHeard, ReviewFromPageZeroPlaysNoPageAndFreesTheModeButtons) {
  const std::string path = WriteVqr("memo.vqr", 5);
  const Capture heard = PlayFrom(path, 0, &Form1::RevX);
  // At most the stream-start silence reached the output.
  EXPECT_LE(heard.samples.size(), testing::kStreamStartSamples);
  for (const int16_t sample : heard.samples) ASSERT_EQ(sample, 0);
  EXPECT_TRUE(form().PlayX->isEnabled());
  EXPECT_TRUE(form().CueX->isEnabled());
  EXPECT_TRUE(form().RevX->isEnabled());
  EXPECT_EQ(form().PlayActive, 0);
}

TEST_F(PlaybackHeard, PlayFromTheLastPagePlaysItAndFinishes) {
  const std::string path = WriteVqr("memo.vqr", 6, EveryThirdLp);
  const auto expected = Heard(path, 0, {5});
  const Capture heard = PlayFrom(path, 5, &Form1::PlayX);
  EXPECT_TRUE(SameSound(heard.samples, expected));
  EXPECT_EQ(form().PlaySlider->value(), 0);
  EXPECT_TRUE(Ready());
}

TEST_F(PlaybackHeard, VqmLongPlayAnnouncesEightAndSixteenKilohertz) {
  const std::string path = WriteVqm("memo.vqm", 6, true);
  const auto expected = Heard(path, 1, Pages(0, 5));
  Capture heard = PlayFrom(path, 0, &Form1::PlayX);
  EXPECT_EQ(heard.rate, 8000u);
  EXPECT_TRUE(SameSound(heard.samples, expected));

  CaptureTo("cue.wav");
  ResetDecoder();
  form().CueX->click();
  heard = ReadCapture(dir_.file("cue.wav").string());
  EXPECT_EQ(heard.rate, 16000u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
}

TEST_F(PlaybackHeard, VqmShortPlayAnnouncesElevenKilohertz) {
  const std::string path = WriteVqm("memo.vqm", 4, false);
  const auto expected = Heard(path, 1, Pages(0, 3));
  const Capture heard = PlayFrom(path, 0, &Form1::PlayX);
  EXPECT_EQ(heard.rate, 11025u);
  EXPECT_TRUE(SameSound(heard.samples, expected));
}

TEST_F(PlaybackHeard, EveryBlockIsFreedOnceThePlaybackHasEnded) {
  const std::size_t before = platform::live_block_count();
  const std::string path = WriteVqr("memo.vqr", 8, EveryThirdLp);
  PlayFrom(path, 0, &Form1::PlayX);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (platform::live_block_count() != before && std::chrono::steady_clock::now() < deadline) {
    pump_.ProcessEventsOrWait();
  }
  EXPECT_EQ(platform::live_block_count(), before);
}

}  // namespace
}  // namespace calendo
