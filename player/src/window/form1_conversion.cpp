// The conversion commands of the menu: stop playback, ask for the WAV file,
// confirm replacing one, run the conversion (conversion_trans_vqr_wav.cpp).
#include <QFileInfo>

#include "qt/file_name_bytes.h"
#include "window/form1.h"

namespace calendo {

void Form1::ConnectConversionHandlers() {
  connect(Trans_wav8bit, &QAction::triggered, this,
          [this] { RunHandler([this] { Trans_wav8bit_Click(); }); });
  connect(Trans_wav16bit, &QAction::triggered, this,
          [this] { RunHandler([this] { Trans_wav16bit_Click(); }); });
}

void Form1::CreateDriveObj() {
  DriveObj = std::make_unique<clsDrive>(*drive_system_);
}

void Form1::Trans_wav8bit_Click() {
  ConvertMenuCommand(1);
}

void Form1::Trans_wav16bit_Click() {
  ConvertMenuCommand(2);
}

QString Form1::CrExstr(const QString& name, const QString& ext) {
  if (name.right(3) == ext) return name;
  return name.left(name.size() > 3 ? name.size() - 3 : 0) + ext;
}

// Runs with run-time errors ignored: a statement that fails is skipped.
void Form1::ConvertMenuCommand(int16_t format) {
  ResumeNext step;
  step([&] { imports::WavStop(); });
  step([&] { imports::WavDestroy(); });
  PlayActive = 0;
  ConvActive = 0;
  step([&] { ComControl(READY); });
  step([&] { PlaySlider->setValue(0); });
  step([&] { Wait(0.1f); });
  step([&] { pump_.ProcessEvents(); });

  while (true) {
    step([&] {
      CommonDialog1.FileName =
          CrExstr(ShownFileName(QFileInfo(PlayFileName).fileName()), QStringLiteral("wav"));
    });
    step([&] { CommonDialog1.Filter = QStringLiteral("wav file(*.wav)|*.wav"); });
    step([&] { CommonDialog1.InitDir = QFileInfo(PlayFileName).absolutePath(); });
    try {
      CommonDialog1.ShowSave();
    } catch (const RuntimeError& error) {
      if (error.number() == kErrDialogCancelled) return;
    }
    // A dialog without its cancel error reports a cancel by an empty name.
    if (CommonDialog1.FileName.isEmpty()) return;
    // A name typed without the extension still makes a WAV file.
    if (!CommonDialog1.FileName.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
      CommonDialog1.FileName += QStringLiteral(".wav");
    }
    ConvFileName = CommonDialog1.FileName;

    const QFileInfo existing(ConvFileName);
    if (!existing.exists() || existing.size() == 0) break;
    int32_t answer = 0;
    step([&] {
      answer = host_.MsgBox(MsgText[kMsgReplace], platform::kMbYesNo, MsgText[kMsgTitle]);
    });
    MsgAnswer = QString::number(answer);
    if (answer == platform::kIdNo) continue;
    // Replaced only once the new file is complete (TransVqrWav).
    break;
  }

  step([&] { ComControl(CONVERTING); });
  step([&] { ProgressBar1->setVisible(true); });
  int16_t result = 0;
  step([&] { TransVqrWav(PlayFileName, ConvFileName, format, result); });
  step([&] { ProgressBar1->setVisible(false); });
  step([&] { ComControl(READY); });
}

}  // namespace calendo
