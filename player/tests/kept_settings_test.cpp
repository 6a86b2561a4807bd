// Kept settings: what the store keeps and refuses, and that a window's
// settings, recent files and positions survive a restart of the window.
#include <QDir>
#include <QMenuBar>
#include <QStandardPaths>

#include "command_options.h"
#include "keyboard.h"
#include "overview/waveform_strip.h"
#include "settings/kept_settings.h"

namespace calendo {
namespace {

using testing::PressKey;
using testing::SameSound;

TEST(KeptSettingsStore, RecentListsAtMostEightTheLatestFirstAndPositionsPerFile) {
  testkit::TempDir dir;
  const QString ini = QString::fromStdString(dir.file("calendo.ini").string());
  {
    const std::unique_ptr<KeptSettings> kept = KeptSettings::InFile(ini);
    for (int i = 0; i < 10; ++i) kept->AddRecent(QStringLiteral("/r/%1.vqr").arg(i));
    kept->AddRecent(QStringLiteral("/r/3.vqr"));  // again: to the front, once
    kept->RemoveRecent(QStringLiteral("/r/9.vqr"));
    kept->SetPosition(QStringLiteral("/r/a,b\tc.vqr"), 17);
    kept->SetPosition(QStringLiteral("/r/x.vqr"), 5);
    kept->SetPosition(QStringLiteral("/r/x.vqr"), 6);
    kept->SetSpeedTenths(13);
    kept->SetWaveformShown(false);
  }
  const std::unique_ptr<KeptSettings> kept = KeptSettings::InFile(ini);
  EXPECT_EQ(kept->Recent(), (QStringList{"/r/3.vqr", "/r/8.vqr", "/r/7.vqr", "/r/6.vqr", "/r/5.vqr",
                                         "/r/4.vqr", "/r/2.vqr"}));
  EXPECT_EQ(kept->Position(QStringLiteral("/r/a,b\tc.vqr")), 17);
  EXPECT_EQ(kept->Position(QStringLiteral("/r/x.vqr")), 6);
  EXPECT_EQ(kept->Position(QStringLiteral("/r/y.vqr")), std::nullopt);
  EXPECT_EQ(kept->SpeedTenths(), 13);
  EXPECT_EQ(kept->RewindSeconds(), std::nullopt);
  EXPECT_EQ(kept->WaveformShown(), false);
  EXPECT_EQ(kept->VolumeDb(), std::nullopt);
}

TEST(KeptSettingsStore, ASpoiltFileReadsAsNothing) {
  testkit::TempDir dir;
  const std::string ini = dir.file("calendo.ini").string();
  std::ofstream(ini) << "[play]\nspeed_tenths=fast\nrewind_seconds=\nvolume_db=loud\nskip_silence="
                        "2\neven_loudness=x\n[view]\n"
                        "waveform=maybe\n[files]\npositions=-4\tx, "
                        "garbage\nrecent=\n\xff\xfe\x00\n";
  const std::unique_ptr<KeptSettings> kept = KeptSettings::InFile(QString::fromStdString(ini));
  EXPECT_EQ(kept->SpeedTenths(), std::nullopt);
  EXPECT_EQ(kept->RewindSeconds(), std::nullopt);
  EXPECT_EQ(kept->VolumeDb(), std::nullopt);
  EXPECT_EQ(kept->WaveformShown(), std::nullopt);
  EXPECT_EQ(kept->SkipSilence(), std::nullopt);
  EXPECT_EQ(kept->EvenLoudness(), std::nullopt);
  EXPECT_EQ(kept->Position(QStringLiteral("x")), std::nullopt);
  EXPECT_TRUE(kept->Recent().isEmpty());
}

TEST(KeptSettingsStore, TheUsersFileFollowsXdgConfigHomeAndNoSettingsWritesNothing) {
  testkit::TempDir dir;
  const char* before = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = before == nullptr ? std::string() : before;
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(KeptSettings::UserFilePath(),
            QString::fromStdString((dir.path() / "calendo" / "calendo.ini").string()));
  {
    const std::unique_ptr<KeptSettings> kept = KeptSettings::InMemory();
    kept->SetSpeedTenths(7);
    kept->AddRecent(QStringLiteral("/r/a.vqr"));
    kept->Sync();
    EXPECT_EQ(kept->SpeedTenths(), 7);
    EXPECT_EQ(kept->Recent(), QStringList{QStringLiteral("/r/a.vqr")});
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  setenv("XDG_CONFIG_HOME", saved.c_str(), 1);

  QStringList arguments{"calendo", "--no-settings", "memo.vqr"};
  EXPECT_TRUE(TakeNoSettingsOption(arguments));
  EXPECT_EQ(arguments, (QStringList{"calendo", "memo.vqr"}));
  EXPECT_FALSE(TakeNoSettingsOption(arguments));
  QStringList later{"calendo", "memo.vqr", "--no-settings"};
  EXPECT_FALSE(TakeNoSettingsOption(later));
  EXPECT_EQ(later.size(), 3);
}

class KeptWindow : public testing::KeyboardTest {
 protected:
  // A new window in place of the one there is, keeping settings in `ini_`.
  void Restart() {
    form_.reset();
    form_ = std::make_unique<Form1>(host_, pump_, "E");
    form_->KeepSettingsIn(KeptSettings::InFile(ini_));
    form_->Form_Load();
    ASSERT_TRUE(testing::ShowActive(form()));
  }

  QStringList RecentCaptions() {
    QStringList captions;
    for (const QAction* action : form().RecentMenu->actions()) captions.push_back(action->text());
    return captions;
  }

  QAction* RecentAction(const std::string& path) {
    for (QAction* action : form().RecentMenu->actions()) {
      if (action->data().toString() == QString::fromStdString(path)) return action;
    }
    return nullptr;
  }

  const QString ini_ = QString::fromStdString(dir_.file("settings/calendo.ini").string());
};

TEST_F(KeptWindow, SettingsRecentFilesAndPositionsSurviveARestart) {
  Restart();
  EXPECT_EQ(RecentCaptions(), QStringList{QStringLiteral("(none)")});
  const std::string first = WriteVqr("first.vqr", 120, [](int p) { return p % 3 == 2; });
  std::filesystem::create_directories(dir_.file("later"));
  const std::string second = WriteVqr("later/second.vqr", 60);
  form().SetSpeedTenths(13);
  form().SetRewindSeconds(2);
  form().SetTimeStampForm(StampForm::tenths);
  PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  PressKey(form(), Qt::Key_Up, Qt::ControlModifier);
  form().ViewWaveform->trigger();
  ASSERT_EQ(form().VolumeDb(), 6);
  ASSERT_FALSE(form().ViewWaveform->isChecked());
  Open(first);
  host_.text_answers.push_back(QStringLiteral("0:06"));
  PressKey(form(), Qt::Key_G, Qt::ControlModifier);
  const int32_t first_page = form().PlaySlider->value();
  ASSERT_GT(first_page, 0);
  Open(second);
  form().PlaySlider->setValue(30);

  Restart();
  EXPECT_EQ(form().SpeedTenths(), 13);
  EXPECT_EQ(form().RewindSeconds(), 2);
  EXPECT_EQ(form().TimeStampForm(), StampForm::tenths);
  EXPECT_EQ(form().VolumeDb(), 6);
  EXPECT_TRUE(form().VolumeMenu->actions()[2]->isChecked());
  EXPECT_FALSE(form().ViewWaveform->isChecked());
  EXPECT_TRUE(form().Overview->isHidden());
  EXPECT_EQ(form().height(), form().menuBar()->sizeHint().height() + form().ClientArea()->height());
  EXPECT_EQ(RecentCaptions(), (QStringList{"&1 " + QString::fromStdString(second),
                                           "&2 " + QString::fromStdString(first)}));

  // Opened again, each goes on where it was left; Home still goes to the start.
  Open(first);
  EXPECT_EQ(host_.open_requests.back().initial_dir,
            QString::fromStdString(dir_.file("later").string()));
  EXPECT_EQ(form().PlaySlider->value(), first_page);
  EXPECT_TRUE(form().PlayTimeLabel->text().startsWith(LabelAt(first_page)));
  PressKey(form(), Qt::Key_Home);
  EXPECT_EQ(form().PlaySlider->value(), 0);

  // File > Recent opens and plays from the page kept.
  form().SetSpeedTenths(10);
  form().SetVolumeDb(0);
  form().ViewWaveform->trigger();
  ResetDecoder();
  RecentAction(second)->trigger();
  const testing::Capture heard = ReadCapture(dir_.file("heard.wav").string());
  EXPECT_TRUE(SameSound(heard.samples, Heard(second, 0, Pages(30, 59))));
  EXPECT_EQ(form().PlayFileName, QString::fromStdString(second));
  EXPECT_TRUE(host_.boxes.empty());

  // Home was the last place in the first file, the end in the second.
  Restart();
  EXPECT_EQ(form().Kept()->Position(QString::fromStdString(first)), 0);
  EXPECT_EQ(form().Kept()->Position(QString::fromStdString(second)), 0);
  EXPECT_EQ(form().SpeedTenths(), 10);
  EXPECT_EQ(form().VolumeDb(), 0);
  EXPECT_TRUE(form().ViewWaveform->isChecked());
  EXPECT_FALSE(form().Overview->isHidden());
}

TEST_F(KeptWindow, SkipSilenceAndEvenLoudnessSurviveARestart) {
  Restart();
  EXPECT_FALSE(form().SkipsSilence());
  EXPECT_FALSE(form().EvensLoudness());
  form().SkipSilence->trigger();
  form().EvenLoudness->trigger();
  Restart();
  EXPECT_TRUE(form().SkipsSilence());
  EXPECT_TRUE(form().SkipSilence->isChecked());
  EXPECT_TRUE(form().EvensLoudness());
  EXPECT_TRUE(form().EvenLoudness->isChecked());
  form().SkipSilence->trigger();
  Restart();
  EXPECT_FALSE(form().SkipsSilence());
  EXPECT_FALSE(form().SkipSilence->isChecked());
  EXPECT_TRUE(form().EvensLoudness());
  form().EvenLoudness->trigger();
  Restart();
  EXPECT_FALSE(form().EvensLoudness());
  EXPECT_FALSE(form().EvenLoudness->isChecked());
}

TEST_F(KeptWindow, ARecentFileNoLongerThereIsSaidAndTakenOff) {
  Restart();
  const std::string gone = WriteVqr("gone.vqr", 20);
  const std::string kept = WriteVqr("kept.vqr", 20);
  Open(gone);
  Open(kept);
  std::filesystem::remove(gone);
  RecentAction(gone)->trigger();
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_TRUE(host_.boxes[0].text.contains(QStringLiteral("can no longer be found")));
  EXPECT_TRUE(host_.boxes[0].text.contains(QString::fromStdString(gone)));
  EXPECT_EQ(RecentAction(gone), nullptr);
  EXPECT_EQ(form().PlayFileName, QString::fromStdString(kept));  // the window as it was
  EXPECT_TRUE(Ready());
  Restart();
  EXPECT_EQ(form().Kept()->Recent(), QStringList{QString::fromStdString(kept)});
}

TEST_F(KeptWindow, AWindowGivenNoSettingsKeepsNothing) {
  const std::string path = WriteVqr("memo.vqr", 20);
  Open(path);
  form().SetSpeedTenths(15);
  form().SetSkipSilence(true);
  form().SetEvenLoudness(true);
  form_.reset();
  EXPECT_FALSE(std::filesystem::exists(ini_.toStdString()));
  EXPECT_FALSE(std::filesystem::exists(KeptSettings::UserFilePath().toStdString()));
  form_ = std::make_unique<Form1>(host_, pump_, "E");
  form_->Form_Load();
  EXPECT_FALSE(form().SkipsSilence());
  EXPECT_FALSE(form().EvensLoudness());
}

}  // namespace
}  // namespace calendo
