// Settings kept from one run to the next (KeptSettings): speed, rewind, skip
// silence, volume, even loudness, the waveform switch and stamp form are
// taken at start and written at the end (the key map only read); File > Recent and the Open
// dialog's folder follow every open; the page reached in a recording is followed while it is open
// and written when another one is opened or the program ends, so that the next open of it goes on
// from there.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "window/form1.h"

namespace calendo {
namespace {

struct KeptTexts {
  const char* recent;
  const char* none;
  const char* gone;  // %1 the path
};

constexpr KeptTexts kKeptJapanese = {
    "最近使ったファイル", "(なし)",
    "録音ファイル「%1」が見つかりません。最近使ったファイルの一覧から外しました。"};
constexpr KeptTexts kKeptEnglish = {
    "Recent", "(none)",
    "The recording \"%1\" can no longer be found. It has been taken off the Recent list."};

}  // namespace

void Form1::KeepSettingsIn(std::unique_ptr<KeptSettings> settings) {
  kept_ = std::move(settings);
  if (!kept_) return;
  const KeyMapResult keys = ReadKeyMap(kept_->KeyEntries());
  for (const QString& problem : keys.problems) {
    std::fprintf(stderr, "calendo: %s\n", problem.toLocal8Bit().constData());
  }
  ApplyKeyMap(keys.map);
  if (const std::optional<int32_t> tenths = kept_->SpeedTenths()) SetSpeedTenths(*tenths);
  if (const std::optional<int32_t> seconds = kept_->RewindSeconds()) SetRewindSeconds(*seconds);
  if (const std::optional<int32_t> db = kept_->VolumeDb()) SetVolumeDb(*db);
  if (const std::optional<bool> on = kept_->SkipSilence()) SetSkipSilence(*on);
  if (const std::optional<bool> on = kept_->EvenLoudness()) SetEvenLoudness(*on);
  if (const std::optional<bool> shown = kept_->WaveformShown()) ViewWaveform->setChecked(*shown);
  if (const std::optional<int32_t> form = kept_->StampForm()) {
    SetTimeStampForm(static_cast<StampForm>(*form));  // one out of range is ignored
  }
  if (RecentMenu == nullptr) {
    const KeptTexts& texts = lang_code_ == "J" ? kKeptJapanese : kKeptEnglish;
    RecentMenu = new QMenu(QString::fromUtf8(texts.recent), F1);
    F1->insertMenu(sepa1, RecentMenu);
    connect(PlaySlider, &QSlider::valueChanged, this, [this](int page) {
      if (!tracked_file_.isEmpty() && ConvActive == 0 &&
          QFileInfo(PlayFileName).absoluteFilePath() == tracked_file_) {
        tracked_page_ = page;
      }
    });
  }
  FillRecentMenu();
}

void Form1::FillRecentMenu() {
  if (RecentMenu == nullptr || !kept_) return;
  const KeptTexts& texts = lang_code_ == "J" ? kKeptJapanese : kKeptEnglish;
  RecentMenu->clear();
  const QStringList recent = kept_->Recent();
  if (recent.isEmpty()) RecentMenu->addAction(QString::fromUtf8(texts.none))->setEnabled(false);
  for (qsizetype i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QString caption = QDir::toNativeSeparators(path);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = RecentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(caption));
    action->setData(path);
    connect(action, &QAction::triggered, this,
            [this, path] { RunHandler([this, path] { OpenRecent(path); }); });
  }
}

void Form1::OpenRecent(const QString& path) {
  if (!kept_ || ConvActive != 0 || ending_) return;
  if (!QFileInfo(path).isFile()) {
    const KeptTexts& texts = lang_code_ == "J" ? kKeptJapanese : kKeptEnglish;
    kept_->RemoveRecent(path);
    // Taken off before the box shows: the menu must not offer it meanwhile.
    FillRecentMenu();
    host_.MsgBox(QString::fromUtf8(texts.gone).arg(QDir::toNativeSeparators(path)),
                 platform::kMbIconExclamation, MsgText[kMsgTitle]);
    return;
  }
  MsgCtl_OnCopyData(0, path);
}

QString Form1::OpenDialogFolder() const {
  // The folder of the file open now, where the next one most likely lies;
  // else the one the dialog last opened from; else where the program started.
  const QString open_file = PlayFileName.trimmed();
  if (!open_file.isEmpty() && QFileInfo(open_file).absoluteDir().exists())
    return QFileInfo(open_file).absolutePath();
  if (kept_) {
    const QString folder = kept_->OpenFolder();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  }
  return QDir::currentPath();
}

void Form1::TookOpenedFile(bool from_dialog) {
  if (!kept_ || PlayFileName.isEmpty()) return;
  const QFileInfo file(PlayFileName);
  const QString path = file.absoluteFilePath();
  if (from_dialog) kept_->SetOpenFolder(file.absolutePath());
  kept_->AddRecent(path);
  FillRecentMenu();
  // A kept page past the end belongs to another file of that name.
  const std::optional<int32_t> page = kept_->Position(path);
  if (page && *page > 0 && *page < PageCount) {
    PlaySlider->setValue(*page);
    StartPage = PlaySlider->value();
    int32_t shown = StartPage;
    TimeDisplay(shown);
  }
  tracked_file_ = path;
  tracked_page_ = PlaySlider->value();
  kept_->Sync();
}

void Form1::LeaveTrackedFile() {
  if (!kept_ || tracked_file_.isEmpty()) return;
  kept_->SetPosition(tracked_file_, tracked_page_);
  tracked_file_.clear();
  kept_->Sync();
}

void Form1::SaveKeptSettings() {
  if (!kept_) return;
  kept_->SetSpeedTenths(speed_tenths_);
  kept_->SetRewindSeconds(rewind_seconds_);
  kept_->SetVolumeDb(volume_db_);
  kept_->SetSkipSilence(skip_silence_);
  kept_->SetEvenLoudness(even_loudness_);
  kept_->SetWaveformShown(ViewWaveform->isChecked());
  kept_->SetStampForm(static_cast<int32_t>(stamp_form_));
  if (!tracked_file_.isEmpty()) kept_->SetPosition(tracked_file_, tracked_page_);
  kept_->Sync();
}

}  // namespace calendo
