// File > Open: choose a recorder file, read its parameters and its SP/LP
// table, and set the window up to play it.
#include <limits>

#include <QDir>
#include <QFileInfo>

#include "qt/file_kind_name.h"
#include "qt/file_name_bytes.h"
#include "window/form1.h"
#include "window/time_text.h"

namespace calendo {

bool Form1::TakePageCount() {
  // The table keeps one entry past the last page, and its size is an int32.
  if (Splp.page_count >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return false;
  PageCount = static_cast<int32_t>(Splp.page_count);
  return true;
}

void Form1::BuildSplpTable() {
  // One entry per page and one more: the time shown while the output drains
  // may name the page after the last, which counts as an SP page of nothing.
  SplpTable.assign(static_cast<std::size_t>(PageCount) + 1, 0);
  imports::pb_splptblmk(FileNameBytes(PlayFileName).constData(), SplpTable.data(),
                        static_cast<uint32_t>(PageCount), FileKind);
  PlaySlider->setMaximum(PageCount - 1);
  StartOverview();
}

void Form1::ForgetOpenFile() {
  ComControl(NO_FILE);
  M_transwav->menuAction()->setEnabled(false);
  PlayFileName.clear();
  OpenFailed = kTrue;
  PlaySlider->setEnabled(false);
  PlayTimeLabel->setText(QString());
  setWindowTitle(MsgText[kMsgTitle]);
  ClearOverview();
}

void Form1::M_fileopen_Click() {
  ResumeNext step;  // every statement below runs with errors ignored

  step([&] { LeaveTrackedFile(); });
  step([&] { imports::WavStop(); });
  step([&] { imports::WavDestroy(); });
  step([&] { Wait(0.1f); });
  step([&] { PlaySlider->setEnabled(true); });
  step([&] { PlaySlider->setValue(0); });
  step([&] { PlayMode = 0; });

  step([&] { CommonDialog1.Flags = 4; });
  step([&] {
    CommonDialog1.Filter = QStringLiteral("Orvo IC Recorder files(*.vqr;*.vqm)|*.vqr;*.vqm");
  });
  step([&] { CommonDialog1.InitDir = OpenDialogFolder(); });
  bool cancelled = false;
  try {
    CommonDialog1.ShowOpen();
  } catch (const RuntimeError& error) {
    cancelled = error.number() == kErrDialogCancelled;
  }
  if (cancelled) return;

  step([&] { PlayFileName = CommonDialog1.FileName; });
  step([&] {
    setWindowTitle(MsgText[kMsgTitle] + QStringLiteral(" - ") +
                   ShownFileName(QFileInfo(PlayFileName).fileName()));
  });
  step([&] { FileKind = FileKindOfName(PlayFileName); });
  step([&] { M_transwav->menuAction()->setEnabled(true); });
  step([&] { Splp = imports::play_splpget(FileNameBytes(PlayFileName).constData(), FileKind); });

  if (Splp.rate_code[0] == KESTRUNE_WRONG_KIND) {
    step([&] {
      MsgAnswer = QString::number(
          host_.MsgBox(MsgText[kMsgWrongFormat], platform::kMbIconExclamation, MsgText[kMsgTitle]));
    });
    step([&] { ForgetOpenFile(); });
    return;
  }
  // A file too long to index is refused like one that cannot be opened.
  if (Splp.rate_code[0] == KESTRUNE_CANNOT_OPEN || !TakePageCount()) {
    step([&] {
      MsgAnswer = QString::number(
          host_.MsgBox(OpenErrText, platform::kMbIconExclamation, MsgText[kMsgTitle]));
    });
    step([&] { ForgetOpenFile(); });
    return;
  }
  if (PageCount == 0) {
    step([&] {
      MsgAnswer = QString::number(host_.MsgBox(OpenErrText, platform::kMbCancelTryContinue,
                                               QStringLiteral("FileOpenError")));
    });
    step([&] { ComControl(NO_FILE); });
    step([&] { M_transwav->menuAction()->setEnabled(false); });
    return;
  }

  step([&] { PageStatus = 0; });
  step([&] { Wait(0.1f); });
  step([&] { ComControl(NO_FILE); });  // the buttons wait while the table is built
  step([&] { BuildSplpTable(); });
  step([&] {
    TimeMs = imports::get_time(SplpTable.data(), static_cast<uint32_t>(PageCount - 1),
                               static_cast<int32_t>(Splp.page_ms[0]),
                               static_cast<int32_t>(Splp.page_ms[1]));
  });
  step([&] { TotalTimeText = strFormatTime(TimeMs); });
  step([&] {
    int32_t first_page = 0;
    TimeDisplay(first_page);
  });
  step([&] { PlaySlider->setValue(0); });
  step([&] { ComControl(READY); });
  step([&] { TookOpenedFile(true); });
}

}  // namespace calendo
