// The Loudness menu: Loudness > Even plays a recording at the one gain that
// brings it to -16 LUFS with its true peak under -1 dBTP, the gain
// calendo-convert --normalize gives the same file. While the item is
// checked, the overview's worker measures it once the overview is whole,
// whether the strip shows or not; until then, and for silence, the gain is 1.
// A change is heard from the next block handed to the sound device, combined
// with the Volume's gain; conversions are not affected.
#include <cmath>

#include <QMenuBar>

#include "overview/overview_analysis.h"
#include "window/form1.h"

namespace calendo {
namespace {

struct LoudnessMenuTexts {
  const char* loudness;
  const char* even;
};

constexpr LoudnessMenuTexts kLoudnessMenuJapanese = {"ラウドネス", "均一にする"};
constexpr LoudnessMenuTexts kLoudnessMenuEnglish = {"Loudness", "Even"};

}  // namespace

void Form1::CreateLoudnessMenu() {
  const LoudnessMenuTexts& texts = lang_code_ == "J" ? kLoudnessMenuJapanese : kLoudnessMenuEnglish;
  LoudnessMenu = menuBar()->addMenu(QString::fromUtf8(texts.loudness));
  EvenLoudness = LoudnessMenu->addAction(QString::fromUtf8(texts.even));
  EvenLoudness->setCheckable(true);
  EvenLoudness->setChecked(false);
  connect(EvenLoudness, &QAction::toggled, this,
          [this](bool on) { RunHandler([this, on] { SetEvenLoudness(on); }); });
}

void Form1::SetEvenLoudness(bool on) {
  if (EvenLoudness->isChecked() != on) EvenLoudness->setChecked(on);
  even_loudness_ = on;
  if (OverviewWork != nullptr) OverviewWork->SetLoudnessWanted(on);
}

double Form1::PlaybackGain() const {
  double gain = volume_db_ == 0 ? 1.0 : std::pow(10.0, volume_db_ / 20.0);
  if (even_loudness_ && OverviewWork != nullptr && OverviewWork->LoudnessMeasured()) {
    const Gain& even = OverviewWork->EvenGain();
    if (even.measurable) gain *= even.factor;
  }
  return gain;
}

}  // namespace calendo
