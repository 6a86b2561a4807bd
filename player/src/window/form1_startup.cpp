// Start-up and shut-down of Form1, and the default handling of run-time errors.
#include <unistd.h>

#include "platform/dialogs.h"
#include "qt/file_kind_name.h"
#include "window/form1.h"

namespace calendo {
void Form1::Form_Load() {
  ResumeNext step;  // every statement below runs with errors ignored

  step([&] { FillMsgText(MsgText, lang_code_); });
  step([&] { OpenFailed = kFalse; });

  step([&] { HandOffToRunningPlayer(); });
  step([&] {
    if (host_.PrevInstance()) host_.EndProcess();
  });
  step([&] { CreateDriveObj(); });

  // The wave output starts from nothing.
  step([&] { imports::WavStop(); });
  step([&] { imports::WavDestroy(); });

  step([&] { SetOuterHeightTwips(2400); });
  step([&] { SetTopTwips(PlayX, ScaleHeightTwips() * 85.0f / 115.0f); });
  for (QWidget* control :
       {static_cast<QWidget*>(RevX), static_cast<QWidget*>(CueX), static_cast<QWidget*>(StopX),
        static_cast<QWidget*>(EXITX), static_cast<QWidget*>(Cancelx)}) {
    step([&] { SetTopTwips(control, TopTwips(PlayX)); });
  }

  step([&] { F1->setTitle(MsgText[kMsgMenuFile]); });
  step([&] { M_fileopen->setText(MsgText[kMsgMenuOpen]); });
  step([&] { M_transwav->setTitle(MsgText[kMsgMenuConvert]); });
  step([&] { Trans_wav8bit->setText(MsgText[kMsgMenuSave8bit]); });
  step([&] { Trans_wav16bit->setText(MsgText[kMsgMenuSave16bit]); });
  step([&] { EXIT0->setText(MsgText[kMsgExit]); });
  step([&] { EXITX->setText(MsgText[kMsgExit]); });
  step([&] { Cancelx->setText(MsgText[kMsgCancel]); });

  step([&] { OpenErrText = MsgText[kMsgCannotOpen]; });
  step([&] { ConvFileName = QStringLiteral(" "); });
  step([&] { PlayFileName = QStringLiteral(" "); });
  step([&] { PlayFileName = host_.CommandLine(); });

  step([&] { pump_.ProcessEvents(); });

  step([&] { setWindowTitle(MsgText[kMsgTitle]); });
  step([&] { PlayTimeLabel->setText(QStringLiteral(" ")); });
  step([&] { Timer1->stop(); });
  step([&] { Timer1->setInterval(100); });
  step([&] { PlaySlider->setPageStep(1); });
  step([&] { PlaySlider->setValue(0); });
  step([&] { PlaySlider->setEnabled(false); });
  step([&] { ProgressBar1->setVisible(false); });
  step([&] { ProgressBar1->setValue(0); });
  step([&] { CommonDialog1.CancelError = true; });
  step([&] { M_transwav->menuAction()->setEnabled(false); });

  step([&] { pump_.ProcessEvents(); });

  // A recorder file named on the command line opens at the timer's first tick.
  step([&] {
    if (const std::optional<Container> container = RecorderContainerOfName(PlayFileName)) {
      FileKind = file_kind_of(*container);
      Timer1->start();
      OpenPending = kTrue;
    }
  });

  load_skipped_ = step.skipped();
}

void Form1::Form_Unload(int16_t& /*Cancel*/) {
  EndProgram();
}

void Form1::EXITX_Click() {
  EndProgram();
}

void Form1::EXIT0_Click() {
  EndProgram();
}

void Form1::Form_Terminate() {
  ending_ = true;
  hide();
  imports::WavStop();
  imports::WavDestroy();
  Wait(0.1f);
}

void Form1::EndProgram() {
  // From here on no other handler starts: events that run during the last
  // wait must not begin new work in a program that is going away.
  ending_ = true;
  hide();
  imports::WavStop();
  imports::WavDestroy();
  Wait(0.1f);  // the wave output's worker finishes meanwhile
  // The process ends here without unwinding, so the conversions' files are
  // removed by name. The file under ConvFileName is the user's own until a
  // conversion completes: it stays.
  for (const std::string& temp : conversion_temp_files) ::unlink(temp.c_str());
  SaveKeptSettings();
  WithdrawFromDesktop();
  host_.EndProcess();
}

void Form1::DefaultErrorHandling(int32_t number, const std::string& description) {
  ending_ = true;
  host_.MsgBox(QStringLiteral("Run-time error '%1':\n\n%2")
                   .arg(number)
                   .arg(QString::fromStdString(description)),
               platform::kMbOk | platform::kMbIconStop, QString::fromLatin1(kProgramTitle));
  ResumeNext step;
  step([&] { hide(); });
  step([&] { imports::WavStop(); });
  step([&] { imports::WavDestroy(); });
  step([&] { Wait(0.1f); });
  step([&] { WithdrawFromDesktop(); });
  host_.EndProcess();
}

}  // namespace calendo
