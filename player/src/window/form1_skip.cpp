// Speed > Skip silence: while it is checked, each pause the overview found
// sounds 0.25 s long in play, cue and review, whatever the speed; the slider
// and the time label keep the recording's time and jump over what is cut.
// Off by default, kept with the settings. Until the overview of the open file is whole, nothing
// is skipped. A playback that runs goes on from the page heard with the new
// choice; a conversion is never shortened.
#include <QMenu>

#include "overview/overview_analysis.h"
#include "playback/playback_skip.h"
#include "window/form1.h"

namespace calendo {
namespace {

constexpr const char* kSkipSilenceJapanese = "無音を飛ばす";
constexpr const char* kSkipSilenceEnglish = "Skip silence";

}  // namespace

void Form1::CreateSkipSilenceItem() {
  SpeedMenu->addSeparator();
  SkipSilence = SpeedMenu->addAction(
      QString::fromUtf8(lang_code_ == "J" ? kSkipSilenceJapanese : kSkipSilenceEnglish));
  SkipSilence->setCheckable(true);
  SkipSilence->setChecked(false);
  connect(SkipSilence, &QAction::toggled, this,
          [this](bool on) { RunHandler([this, on] { SetSkipSilence(on); }); });
}

void Form1::SetSkipSilence(bool on) {
  if (SkipSilence->isChecked() != on) SkipSilence->setChecked(on);
  if (skip_silence_ == on) return;
  skip_silence_ = on;
  // MoveToPage leaves a conversion alone and goes on only after a playback.
  if (PlayActive != 0 && !paused_) MoveToPage(PlaySlider->value());
}

std::unique_ptr<PlaybackSkip> Form1::SkipForPlayback(int16_t mode) const {
  if (!skip_silence_ || OverviewWork == nullptr || !OverviewWork->Complete()) return nullptr;
  std::shared_ptr<const WaveformPeaks> peaks = OverviewWork->Peaks();
  if (!peaks || OverviewWork->Pauses().empty()) return nullptr;
  const double tempo = mode == 0 ? speed_tenths_ / 10.0 : 2.0;
  return std::make_unique<PlaybackSkip>(std::move(peaks), OverviewWork->Pauses(), tempo);
}

}  // namespace calendo
