// The transport buttons, the slider and the timer: the short handlers around
// playback. The work is done by DecodePlayX (playback_decode.cpp) and by the
// open sequence (playback_open.cpp).
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>

#include "qt/file_kind_name.h"
#include "qt/file_name_bytes.h"
#include "window/form1.h"
#include "window/time_text.h"

namespace calendo {
namespace {

// Runs PlaySlider_MouseDown on any press of a mouse button on the slider, on
// its groove as well as on its handle. The slider takes the press first, so
// the handler reads the value the press gave it, and no event (a release
// arriving during the handler's wait) can reach the slider ahead of it.
class SliderPressFilter : public QObject {
 public:
  SliderPressFilter(Form1& form, QSlider* slider) : QObject(&form), form_(form), slider_(slider) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (watched != slider_ || !press || delivering_) return QObject::eventFilter(watched, event);
    delivering_ = true;
    QCoreApplication::sendEvent(slider_, event);
    delivering_ = false;
    form_.RunHandler([this] { form_.PlaySlider_MouseDown(); });
    return true;
  }

 private:
  Form1& form_;
  QSlider* slider_;
  bool delivering_ = false;
};

}  // namespace

void Form1::ConnectPlaybackHandlers() {
  connect(M_fileopen, &QAction::triggered, this,
          [this] { RunHandler([this] { M_fileopen_Click(); }); });
  connect(PlayX, &QPushButton::clicked, this, [this] { RunHandler([this] { PlayX_Click(); }); });
  connect(CueX, &QPushButton::clicked, this, [this] { RunHandler([this] { CueX_Click(); }); });
  connect(RevX, &QPushButton::clicked, this, [this] { RunHandler([this] { RevX_Click(); }); });
  connect(StopX, &QPushButton::clicked, this, [this] { RunHandler([this] { StopX_Click(); }); });
  connect(Cancelx, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Cancelx_Click(); }); });
  PlaySlider->installEventFilter(new SliderPressFilter(*this, PlaySlider));
  // A tick runs its handler from a posted call, not from inside the timer's
  // own delivery: Qt does not deliver a timer again while its slot runs, and
  // the handler may play a whole file, during which the timer can be started
  // again (a file handed over, a press on the slider).
  connect(Timer1, &QTimer::timeout, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { RunHandler([this] { Timer1_Timer(); }); }, Qt::QueuedConnection);
  });
}

// A playback that a key moved (Left, Right, Home) ends and goes on here, from
// the slider's new page in the same mode.
void Form1::StartPlayback(int16_t mode) {
  for (std::optional<int16_t> next = mode; next; next = TakeSeekRestart()) {
    Timer1->stop();
    imports::WavStop();
    Wait(0.1f);
    PlayMode = *next;
    int16_t result = 0;
    DecodePlayX(PlayFileName, StartPage, PlayMode, result);
  }
}

void Form1::PlayX_Click() {
  StartPlayback(0);
}

void Form1::CueX_Click() {
  StartPlayback(1);
}

void Form1::RevX_Click() {
  StartPlayback(-1);
}

void Form1::StopX_Click() {
  PlayActive = 0;
  imports::WavStop();
  imports::WavDestroy();
  ComControl(READY);
  Wait(0.5f);
  StartPage = PlaySlider->value();
}

// The output is only stopped here; the playback loop destroys it as it ends.
void Form1::PlaySlider_MouseDown() {
  PlayActive = 0;
  imports::WavStop();
  Wait(0.1f);
  Timer1->start();
  StartPage = PlaySlider->value();
}

void Form1::Timer1_Timer() {
  // A file handed over during a conversion waits for its end: playing it now
  // would decode through the decoder's one state while the conversion does.
  if (OpenPending == kTrue && ConvActive == 1) return;
  if (OpenPending == kTrue) {
    OpenPending = kFalse;
    Timer1->stop();
    PlaySlider->setEnabled(true);
    M_transwav->menuAction()->setEnabled(true);
    const QFileInfo file(PlayFileName);
    setWindowTitle(MsgText[kMsgTitle] + QStringLiteral(" - ") +
                   (NamedFileExists(PlayFileName) ? ShownFileName(file.fileName()) : QString()));
    FileKind = FileKindOfName(PlayFileName);
    Splp = imports::play_splpget(FileNameBytes(PlayFileName).constData(), FileKind);
    if (Splp.rate_code[0] == KESTRUNE_WRONG_KIND) {
      MsgAnswer = QString::number(
          host_.MsgBox(MsgText[kMsgWrongFormat], platform::kMbIconExclamation, MsgText[kMsgTitle]));
      imports::WavStop();
      imports::WavDestroy();
      Wait(0.1f);
      ComControl(NO_FILE);
      M_transwav->menuAction()->setEnabled(false);
      PlayFileName.clear();
      setWindowTitle(MsgText[kMsgTitle]);
      PlayTimeLabel->setText(QString());
      PlaySlider->setEnabled(false);
      PlaySlider->setValue(0);
      return;
    }
    // Refused as File > Open refuses it: the window does not go on showing
    // a file it could not open, with its slider and conversion menu enabled.
    if (Splp.rate_code[0] == KESTRUNE_CANNOT_OPEN || !TakePageCount()) {
      MsgAnswer = QString::number(
          host_.MsgBox(MsgText[kMsgCannotOpen], platform::kMbIconExclamation, MsgText[kMsgTitle]));
      ForgetOpenFile();
      PlaySlider->setValue(0);
      return;
    }
    Wait(0.1f);
    BuildSplpTable();
    TimeMs = PageCount == 0
                 ? 0
                 : imports::get_time(SplpTable.data(), static_cast<uint32_t>(PageCount - 1),
                                     static_cast<int32_t>(Splp.page_ms[0]),
                                     static_cast<int32_t>(Splp.page_ms[1]));
    TotalTimeText = strFormatTime(TimeMs);
    int32_t first_page = 0;
    TimeDisplay(first_page);
    PlaySlider->setValue(0);
    ComControl(READY);
    TookOpenedFile(false);
    Wait(0.1f);
    int32_t start_page = 0;
    int16_t mode = 0;  // a fresh play mode; PlayMode stays as it is
    int16_t result = 0;
    DecodePlayX(PlayFileName, start_page, mode, result);
    if (const std::optional<int16_t> next = TakeSeekRestart()) StartPlayback(*next);
  }
  StartPage = PlaySlider->value();
  TimeDisplay(StartPage);
}

void Form1::Cancelx_Click() {
  ConvActive = 0;
  ProgressBar1->setValue(0);
  ProgressBar1->setVisible(false);
  PlaySlider->setVisible(true);
  // The conversion removes its temporary file when it sees the flag at its
  // next checkpoint; ConvFileName may name the file it was to replace.
}

}  // namespace calendo
