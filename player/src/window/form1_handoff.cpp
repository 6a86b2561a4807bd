// Handing a file to a player that already runs, and receiving one.
#include <algorithm>
#include <limits>
#include <vector>

#include <QDir>

#include "qt/file_kind_name.h"
#include "qt/file_name_bytes.h"
#include "window/form1.h"

namespace calendo {
namespace {

// GetWindow's relation 2: the next window below in the z-order.
platform::DesktopWindow NextWindowBelow(platform::DesktopWindow window) {
  return platform::desktop_next_window(window);
}

// The window's title as GetWindowTextA reads it: a buffer of length + 1 zero
// characters, filled up to its last.
QString TitleOf(platform::DesktopWindow window) {
  const int32_t length = platform::desktop_title_length(window);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  platform::desktop_title_text(window, buffer.data(), length + 1);
  return QString::fromUtf8(buffer.data());
}

// Two bytes a character, 2 for an empty text, as far as 16 bits reach. The
// receiver reads the text to its zero byte whatever the count says.
uint16_t HandOffByteCount(const QString& text) {
  const qsizetype count = text.isEmpty() ? 2 : 2 * text.size();
  return static_cast<uint16_t>(std::min<qsizetype>(count, std::numeric_limits<uint16_t>::max()));
}

// The command line as the running player takes it: the relative path of a
// recorder file is made absolute against this process's folder, which the
// running player does not share. A text it would not open goes as it is.
QString HandOffText(const QString& command_line) {
  if (!RecorderContainerOfName(command_line) || QDir::isAbsolutePath(command_line)) {
    return command_line;
  }
  return QDir::current().absoluteFilePath(command_line);
}

}  // namespace

uint32_t Form1::DesktopHandle() const {
  return desktop_window_ ? desktop_window_->handle() : 0;
}

// Looks for a running player below this window, attaches the window's
// copy-data receiver and, when a player is found, hands it the command line
// and ends this process. Each step runs with errors ignored.
void Form1::HandOffToRunningPlayer() {
  ResumeNext step;
  if (!desktop_window_) desktop_window_ = std::make_unique<HandoffDesktopWindow>(this);
  platform::DesktopWindow current = desktop_window_->Register();

  // Only windows below this one are visited; their titles are compared with
  // the program's title, exactly and case-sensitively, over its length.
  const QString& prefix = MsgText[kMsgTitle];
  platform::DesktopWindow found = 0;
  while (true) {
    const platform::DesktopWindow next = NextWindowBelow(current);
    if (next != 0 && TitleOf(next).left(prefix.size()) == prefix) {
      found = next;
      break;
    }
    current = next;
    if (current == 0) break;
  }

  step([&] {
    desktop_window_->AttachMsgCtl([this](int32_t first, const QString& text) {
      RunHandler([&] { MsgCtl_OnCopyData(first, text); });
    });
  });

  // Only a window that stays, with its receiver attached, may be taken for a
  // running player by another start. Two programs started at the same moment
  // then never pick each other, where both would wait for an answer that
  // neither gives and end.
  if (found != 0) HandOffTo(found);
  desktop_window_->PublishTitle();
}

void Form1::HandOffTo(uint32_t found) {
  ResumeNext step;
  step([&] {
    const QString text = HandOffText(host_.CommandLine());
    const QByteArray bytes = FileNameBytes(text);
    imports::SendCopyData(found, bytes.constData(), HandOffByteCount(text));
  });
  step([&] { platform::desktop_bring_to_front(found); });
  // Nothing of this process stays on the desktop: it ends without showing.
  desktop_window_->Withdraw();
  host_.EndProcess();
}

// Another start of the program handed its command line over: stop, then open
// a recorder file at the next timer tick, or go back to the idle look when the
// text is empty.
void Form1::MsgCtl_OnCopyData(int32_t /*first*/, const QString& text) {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);

  // The timer goes first: a tick due during the wait below would open the
  // file this hand-off replaces (and play it, or show its message, while the
  // sender still waits for its answer).
  Timer1->stop();
  imports::WavStop();
  imports::WavDestroy();
  Wait(0.1f);

  LeaveTrackedFile();
  PlayFileName = text;

  if (!text.isEmpty()) {
    if (RecorderContainerOfName(text)) {
      OpenPending = kTrue;
      Timer1->start();
    }
    return;
  }

  OpenFailed = kTrue;
  ComControl(NO_FILE);
  M_transwav->menuAction()->setEnabled(false);
  setWindowTitle(MsgText[kMsgTitle]);
  PlayTimeLabel->setText(QString());
  PlaySlider->setEnabled(false);
  PlaySlider->setValue(0);
}

void Form1::WithdrawFromDesktop() {
  if (desktop_window_) desktop_window_->Withdraw();
}

}  // namespace calendo
