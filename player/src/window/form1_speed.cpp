// The Speed menu: the tempo of play from 0.5x to 2.0x with the pitch kept
// (the keys [ and ] step it by 0.1), and how far a resume after a pause goes
// back. Both last for the run of the program. Cue and review keep their
// double rate whatever the speed.
#include <QActionGroup>
#include <QMenuBar>

#include "window/form1.h"

namespace calendo {
namespace {

constexpr int32_t kSlowestTenths = 5;
constexpr int32_t kFastestTenths = 20;
constexpr std::array<int32_t, 5> kRewindChoices = {0, 1, 2, 3, 5};

struct SpeedMenuTexts {
  const char* speed;
  const char* rewind;
  const char* off;
  const char* seconds;  // %1 is the number
};

constexpr SpeedMenuTexts kSpeedMenuJapanese = {"速度", "再開時に戻す", "しない", "%1 秒"};
constexpr SpeedMenuTexts kSpeedMenuEnglish = {"Speed", "Rewind on resume", "Off", "%1 s"};

QString SpeedText(int32_t tenths) {
  return QString::number(tenths / 10.0, 'f', 1) + QStringLiteral("×");
}

}  // namespace

void Form1::CreateSpeedMenu() {
  const SpeedMenuTexts& texts = lang_code_ == "J" ? kSpeedMenuJapanese : kSpeedMenuEnglish;
  SpeedMenu = menuBar()->addMenu(QString::fromUtf8(texts.speed));
  auto* speeds = new QActionGroup(this);
  for (int32_t tenths = kSlowestTenths; tenths <= kFastestTenths; ++tenths) {
    QAction* action = SpeedMenu->addAction(SpeedText(tenths));
    action->setCheckable(true);
    speeds->addAction(action);
    speed_actions_.push_back(action);
    connect(action, &QAction::triggered, this,
            [this, tenths] { RunHandler([this, tenths] { SetSpeedTenths(tenths); }); });
  }
  SpeedMenu->addSeparator();
  RewindMenu = SpeedMenu->addMenu(QString::fromUtf8(texts.rewind));
  auto* rewinds = new QActionGroup(this);
  for (const int32_t seconds : kRewindChoices) {
    QAction* action =
        RewindMenu->addAction(seconds == 0 ? QString::fromUtf8(texts.off)
                                           : QString::fromUtf8(texts.seconds).arg(seconds));
    action->setCheckable(true);
    rewinds->addAction(action);
    rewind_actions_.push_back(action);
    connect(action, &QAction::triggered, this,
            [this, seconds] { RunHandler([this, seconds] { SetRewindSeconds(seconds); }); });
  }
  CreateSkipSilenceItem();
  CheckSpeedMenuItems();
}

void Form1::CheckSpeedMenuItems() {
  speed_actions_[static_cast<std::size_t>(speed_tenths_ - kSlowestTenths)]->setChecked(true);
  for (std::size_t i = 0; i < kRewindChoices.size(); ++i) {
    if (kRewindChoices[i] == rewind_seconds_) rewind_actions_[i]->setChecked(true);
  }
}

void Form1::SetSpeedTenths(int32_t tenths) {
  tenths = std::clamp(tenths, kSlowestTenths, kFastestTenths);
  if (tenths == speed_tenths_) return;
  speed_tenths_ = tenths;
  CheckSpeedMenuItems();
  FitTimeLabel();
  if (!PlayFileName.isEmpty() && !TotalTimeText.isEmpty()) {
    int32_t shown = PlaySlider->value();
    TimeDisplay(shown);
  }
  // A playback in play mode goes on at the new speed from the page heard;
  // a paused one does so when it resumes.
  if (PlayActive != 0 && !paused_ && PlayingMode() == 0 && stream_speed_tenths_ != speed_tenths_) {
    MoveToPage(PlaySlider->value());
  }
}

void Form1::SetRewindSeconds(int32_t seconds) {
  if (std::find(kRewindChoices.begin(), kRewindChoices.end(), seconds) == kRewindChoices.end()) {
    return;
  }
  rewind_seconds_ = seconds;
  CheckSpeedMenuItems();
}

// The label keeps its designed width at 1.0x; with a speed after the time it
// grows to the right, as far as the window allows, to hold the longest time.
void Form1::FitTimeLabel() {
  if (time_label_width_ == 0) time_label_width_ = PlayTimeLabel->width();
  int width = time_label_width_;
  if (speed_tenths_ != kNormalSpeedTenths) {
    const QString longest = QStringLiteral("[88 : 88 : 88 / 88 : 88 : 88]") + SpeedSuffix();
    const int frame = PlayTimeLabel->width() - PlayTimeLabel->contentsRect().width();
    const int needed = PlayTimeLabel->fontMetrics().horizontalAdvance(longest) + frame;
    width = std::clamp(needed, time_label_width_, client_->width() - PlayTimeLabel->x());
  }
  PlayTimeLabel->resize(width, PlayTimeLabel->height());
}

QString Form1::SpeedSuffix() const {
  if (speed_tenths_ == kNormalSpeedTenths) return {};
  return QStringLiteral("  ") + SpeedText(speed_tenths_);
}

}  // namespace calendo
