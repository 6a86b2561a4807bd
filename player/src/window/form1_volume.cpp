// The Volume menu: playback louder by 0 to +12 dB in steps of 3, in every
// mode and at any speed; Ctrl+Up and Ctrl+Down step it. A change is heard
// from the next block handed to the sound device. Conversions are not
// affected, and the keys do nothing while one runs.
#include <QActionGroup>
#include <QMenuBar>
#include <QShortcut>

#include "playback/volume_gain.h"
#include "window/form1.h"

namespace calendo {
namespace {

constexpr char kVolumeJapanese[] = "音量";
constexpr char kVolumeEnglish[] = "Volume";

QString StepText(int32_t db) {
  return db == 0 ? QStringLiteral("0 dB") : QStringLiteral("+%1 dB").arg(db);
}

}  // namespace

void Form1::CreateVolumeMenu() {
  VolumeMenu =
      menuBar()->addMenu(QString::fromUtf8(lang_code_ == "J" ? kVolumeJapanese : kVolumeEnglish));
  auto* steps = new QActionGroup(this);
  for (const int32_t db : kVolumeStepsDb) {
    QAction* action = VolumeMenu->addAction(StepText(db));
    action->setCheckable(true);
    steps->addAction(action);
    volume_actions_.push_back(action);
    connect(action, &QAction::triggered, this,
            [this, db] { RunHandler([this, db] { SetVolumeDb(db); }); });
  }
  CheckVolumeMenuItems();

  for (const QKeyCombination key :
       {QKeyCombination(Qt::CTRL, Qt::Key_Up), QKeyCombination(Qt::CTRL, Qt::Key_Down)}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setAutoRepeat(false);
    const int32_t direction = key.key() == Qt::Key_Up ? 1 : -1;
    connect(shortcut, &QShortcut::activated, this, [this, direction] {
      RunHandler([this, direction] {
        if (ConvActive == 0) StepVolume(direction);
      });
    });
  }
}

void Form1::CheckVolumeMenuItems() {
  for (std::size_t i = 0; i < kVolumeStepsDb.size(); ++i) {
    if (kVolumeStepsDb[i] == volume_db_) volume_actions_[i]->setChecked(true);
  }
}

void Form1::SetVolumeDb(int32_t db) {
  if (!IsVolumeStep(db)) return;
  volume_db_ = db;
  CheckVolumeMenuItems();
}

void Form1::StepVolume(int32_t direction) {
  const auto at = std::find(kVolumeStepsDb.begin(), kVolumeStepsDb.end(), volume_db_);
  const auto index = static_cast<int32_t>(at - kVolumeStepsDb.begin()) + direction;
  if (index < 0 || index >= static_cast<int32_t>(kVolumeStepsDb.size())) return;
  SetVolumeDb(kVolumeStepsDb[static_cast<std::size_t>(index)]);
}

}  // namespace calendo
