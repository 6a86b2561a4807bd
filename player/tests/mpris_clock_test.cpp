// The times the desktop is told: the recording's sound as the exported WAV
// file holds it (samples ÷ rate), not the label's nominal time per page; and
// the rate, which must stay within its bounds whatever a caller sends.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion_fixture.h"
#include "mpris/audio_clock.h"
#include "mpris/mpris_adaptors.h"
#include "scripted_host.h"
#include "test_app.h"

namespace calendo {
namespace {

// A record of the standard layout: SP 1360 3-bit codes, LP 2046 2-bit codes.
SplpInfo StandardSplp(int16_t sp_rate, int16_t lp_rate) {
  SplpInfo splp{};
  splp.rate_code[0] = sp_rate;
  splp.rate_code[1] = lp_rate;
  splp.code_bits[0] = 3;
  splp.code_bits[1] = 2;
  splp.code_bytes[0] = 510;
  splp.code_bytes[1] = 511;
  splp.extra_bits[1] = 4;
  splp.page_ms[0] = 123;
  splp.page_ms[1] = 255;
  return splp;
}

TEST(AudioClock, CountsTheSamplesOfTheExportedFileToTheMicrosecond) {
  // SP pages at 11025 Hz, 1360 samples each: an hour of the label's 123 ms
  // pages is ten seconds longer in sound.
  const std::vector<uint8_t> sp(29268, 0);
  const AudioClock sp_clock(StandardSplp(11, 7), sp);
  EXPECT_EQ(sp_clock.sample_rate(), 11025u);
  EXPECT_EQ(sp_clock.PageStartUs(1), 123356);    // 1360 / 11025 s, rounded
  EXPECT_EQ(sp_clock.PageStartUs(81), 9991837);  // 9.9918367 s
  EXPECT_EQ(sp_clock.LengthUs(), 3610383673);    // 29268 × 1360 / 11025 s
  EXPECT_EQ(sp_clock.PageStartUs(-5), 0);
  EXPECT_EQ(sp_clock.PageStartUs(99999), sp_clock.LengthUs());

  // LP only, rate code 7: 2338 samples at 8000 Hz; rate code 8: 2048.
  const std::vector<uint8_t> lp(10, 1);
  EXPECT_EQ(AudioClock(StandardSplp(11, 7), lp).LengthUs(), 10 * 292250);
  EXPECT_EQ(AudioClock(StandardSplp(11, 8), lp).LengthUs(), 10 * 256000);

  // Both modes: 11025 Hz, SP 1360 and LP 3215 samples a page.
  const std::vector<uint8_t> mixed = {0, 1, 1, 0};
  const AudioClock mixed_clock(StandardSplp(11, 7), mixed);
  EXPECT_EQ(mixed_clock.sample_rate(), 11025u);
  EXPECT_EQ(mixed_clock.PageStartUs(3), 706576);  // (1360 + 2 × 3215) / 11025 s
  EXPECT_EQ(mixed_clock.LengthUs(), 829932);

  // A table of no pages is a clock of no time.
  EXPECT_EQ(AudioClock(StandardSplp(11, 7), {}).LengthUs(), 0);
  EXPECT_EQ(AudioClock(StandardSplp(11, 7), {}).NearestPage(5000), 0);
}

TEST(AudioClock, NearestPageFindsThePageWhoseStartLiesNearest) {
  const std::vector<uint8_t> table = {0, 1, 0, 0, 1, 1, 0};
  const AudioClock clock(StandardSplp(11, 7), table);
  for (int32_t page = 0; page < clock.pages(); ++page) {
    EXPECT_EQ(clock.NearestPage(clock.PageStartUs(page)), page) << page;
    EXPECT_EQ(clock.NearestPage(clock.PageStartUs(page) + 1), page) << page;
  }
  // Halfway between two starts: the earlier page.
  EXPECT_EQ(clock.NearestPage((clock.PageStartUs(1) + clock.PageStartUs(2)) / 2), 1);
  EXPECT_EQ(clock.NearestPage(-1), 0);
  EXPECT_EQ(clock.NearestPage(std::numeric_limits<int64_t>::max()), 6);
}

// The adaptor on a window with a recording open, without a bus.
class MprisAdaptor : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* audio = std::getenv("CALENDO_AUDIO")) saved_audio_ = audio;
    setenv("CALENDO_AUDIO", "null", 1);
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    form_->Form_Load();
    testing::WriteVqr(recorder_, testing::MakePages(200, [](int) { return false; }));
    testing::PutOpened(*form_, recorder_);
    form_->TotalTimeText = QStringLiteral("00:24");
    adaptor_ = new MprisPlayerAdaptor(&holder_, *form_);
  }
  void TearDown() override {
    form_.reset();
    binding::SetLibraryDirectory({});
    if (saved_audio_) {
      setenv("CALENDO_AUDIO", saved_audio_->c_str(), 1);
    } else {
      unsetenv("CALENDO_AUDIO");
    }
  }
  void RunQueued() { QCoreApplication::processEvents(); }

  QApplication& app_ = testing::TestApplication();
  testing::ScriptedHost host_;
  EventPump pump_;
  testkit::TempDir dir_;
  std::filesystem::path recorder_ = dir_.file("memo.vqr");
  std::unique_ptr<Form1> form_;
  QObject holder_;
  MprisPlayerAdaptor* adaptor_ = nullptr;  // owned by holder_
  std::optional<std::string> saved_audio_;
};

TEST_F(MprisAdaptor, LengthPositionAndSeeksAreInTheSoundsOwnTime) {
  EXPECT_EQ(adaptor_->Metadata().value(QStringLiteral("mpris:length")).toLongLong(), 24671202);
  form_->PlaySlider->setValue(81);
  EXPECT_EQ(adaptor_->Position(), 9991837);

  std::vector<qlonglong> seeked;
  QObject::connect(adaptor_, &MprisPlayerAdaptor::Seeked,
                   [&](qlonglong at) { seeked.push_back(at); });
  // 20 s of sound is page 162.13; the label's 20 s would be page 162.6.
  adaptor_->SetPosition(adaptor_->TrackId(), 20'000'000);
  RunQueued();
  EXPECT_EQ(form_->PlaySlider->value(), 162);
  EXPECT_EQ(adaptor_->Position(), 19983673);
  adaptor_->Seek(-10'000'000);
  RunQueued();
  EXPECT_EQ(form_->PlaySlider->value(), 81);
  adaptor_->Seek(std::numeric_limits<qlonglong>::max());
  RunQueued();
  EXPECT_EQ(form_->PlaySlider->value(), 199);
  adaptor_->Seek(std::numeric_limits<qlonglong>::min());
  RunQueued();
  EXPECT_EQ(form_->PlaySlider->value(), 0);
  EXPECT_EQ(seeked, (std::vector<qlonglong>{19983673, 9991837, 24547846, 0}));

  // Past the end: nothing moves.
  adaptor_->SetPosition(adaptor_->TrackId(), 24671203);
  RunQueued();
  EXPECT_EQ(form_->PlaySlider->value(), 0);
}

TEST_F(MprisAdaptor, RateIsDoubleInCueAndReviewAndStaysWithinItsBounds) {
  EXPECT_EQ(adaptor_->Rate(), 1.0);
  form_->PlayActive = 1;
  for (const int16_t mode : {int16_t{1}, int16_t{-1}}) {
    form_->PlayMode = mode;
    EXPECT_EQ(adaptor_->Rate(), 2.0) << mode;
  }
  form_->PlayMode = 0;
  EXPECT_EQ(adaptor_->Rate(), 1.0);
  form_->PlayActive = 0;
  EXPECT_GE(2.0, adaptor_->MinimumRate());
  EXPECT_LE(2.0, adaptor_->MaximumRate());

  for (const double huge : {std::numeric_limits<double>::infinity(), 1e19, 2.15e8}) {
    adaptor_->SetRate(0.5);
    RunQueued();
    adaptor_->SetRate(huge);
    RunQueued();
    EXPECT_EQ(form_->SpeedTenths(), 20) << huge;
  }
  adaptor_->SetRate(0.1);
  RunQueued();
  EXPECT_EQ(form_->SpeedTenths(), 5);
  for (const double none : {std::nan(""), 0.0, -1.0, -std::numeric_limits<double>::infinity()}) {
    adaptor_->SetRate(none);
    RunQueued();
    EXPECT_EQ(form_->SpeedTenths(), 5) << none;
  }
}

}  // namespace
}  // namespace calendo
