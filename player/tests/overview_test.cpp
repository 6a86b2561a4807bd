// The waveform overview: the strip's places map to the pages under them,
// View > Waveform grows the window by the strip or gives back the window as
// designed, and an open file is measured in the background and moved in by
// a press on the strip.
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "overview/overview_analysis.h"
#include "overview/waveform_strip.h"
#include "playback_fixture.h"

namespace calendo {
namespace {

// The page whose samples hold `sample`, counted here from the starts.
uint32_t PageHolding(const std::vector<uint64_t>& starts, double sample) {
  uint32_t page = 0;
  while (page + 2 < starts.size() && static_cast<double>(starts[page + 1]) <= sample) ++page;
  return page;
}

TEST(WaveformStrip, APressAndADragChooseThePagesUnderThem) {
  testing::TestApplication();
  WaveformStrip strip;
  strip.resize(200, WaveformStrip::kHeight);
  auto peaks = std::make_shared<WaveformPeaks>();
  peaks->page_starts = {0, 1000, 3000, 3500, 8000, 10000};
  peaks->total_samples = 10000;
  peaks->mins.assign(40, -100);
  peaks->maxs.assign(40, 100);
  peaks->rms.assign(40, 50);
  peaks->lp.assign(40, 0);
  QSignalSpy chosen(&strip, &WaveformStrip::Chosen);
  QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(5, 10));  // no overview yet
  EXPECT_EQ(chosen.count(), 0);
  strip.SetPeaks(peaks, {});

  for (const int x : {0, 19, 20, 65, 69, 70, 150, 199}) {
    SCOPED_TRACE(x);
    chosen.clear();
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(x, 10));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].value<uint32_t>(),
              PageHolding(peaks->page_starts, (x + 0.5) / 200 * 10000));
  }
  // A drag chooses where it began and where it was let go.
  chosen.clear();
  QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(180, 10), QPointF(180, 10), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&strip, &move);
  QTest::mouseRelease(&strip, Qt::LeftButton, {}, QPoint(180, 10));
  ASSERT_EQ(chosen.count(), 2);
  EXPECT_EQ(chosen[0][0].value<uint32_t>(), 0u);
  EXPECT_EQ(chosen[1][0].value<uint32_t>(), 4u);
}

class OverviewWindow : public testing::PlaybackTest {
 protected:
  // Runs the window's events until the open file's overview is whole.
  bool WaitForOverview() {
    for (int i = 0; i < 400 && !form().OverviewWork->Complete(); ++i) form().Wait(0.02f);
    return form().OverviewWork->Complete();
  }
};

TEST_F(OverviewWindow, TheViewMenuGrowsTheWindowByTheStripOrGivesTheDesignedWindow) {
  form().show();
  QCoreApplication::processEvents();
  const int designed = form().menuBar()->sizeHint().height() + form().ClientArea()->height();
  ASSERT_TRUE(form().ViewWaveform->isChecked());
  EXPECT_EQ(form().height(), designed + WaveformStrip::kHeight);
  EXPECT_EQ(form().Overview->y(), form().ClientArea()->height());
  form().ViewWaveform->trigger();
  EXPECT_FALSE(form().ViewWaveform->isChecked());
  EXPECT_EQ(form().height(), designed);
  EXPECT_EQ(form().width(), form().ClientArea()->width());
  EXPECT_TRUE(form().Overview->isHidden());
  form().ViewWaveform->trigger();
  EXPECT_EQ(form().height(), designed + WaveformStrip::kHeight);
}

TEST_F(OverviewWindow, AnOpenFileIsMeasuredAndAPressMovesTheSliderThere) {
  Open(WriteVqr("memo.vqr", 90, [](int p) { return p % 4 == 1; }));
  ASSERT_EQ(form().PageCount, 90);
  ASSERT_TRUE(WaitForOverview());
  const auto peaks = form().OverviewWork->Peaks();
  ASSERT_EQ(peaks->page_starts.size(), 91u);
  EXPECT_EQ(peaks->size(), (peaks->total_samples + 255) / 256);

  form().show();
  WaveformStrip& strip = *form().Overview;
  const int x = strip.width() * 3 / 4;
  QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(x, 10));
  const double sample = (x + 0.5) / strip.width() * static_cast<double>(peaks->total_samples);
  EXPECT_EQ(form().PlaySlider->value(), static_cast<int>(PageHolding(peaks->page_starts, sample)));
  EXPECT_EQ(form().StartPage, form().PlaySlider->value());
  EXPECT_TRUE(host_.boxes.empty());

  // Another file replaces the overview.
  Open(WriteVqr("short.vqr", 12));
  ASSERT_TRUE(WaitForOverview());
  EXPECT_EQ(form().OverviewWork->Peaks()->page_starts.size(), 13u);
}

}  // namespace
}  // namespace calendo
