#include "desktop/handoff_desktop_window.h"
#include "qt/file_name_bytes.h"

#include <QEvent>

#include "calendo/client/binding.h"

namespace calendo {

HandoffDesktopWindow::HandoffDesktopWindow(QWidget* window) : window_(window) {}

HandoffDesktopWindow::~HandoffDesktopWindow() {
  Withdraw();
}

platform::DesktopWindow HandoffDesktopWindow::Register() {
  if (handle_ != 0) return handle_;
  handle_ = platform::desktop_create_window({});
  if (handle_ == 0) return 0;

  connect(window_, &QWidget::windowTitleChanged, this, [this](const QString& title) {
    if (handle_ != 0 && title_published_) {
      platform::desktop_set_title(handle_, title.toUtf8().toStdString());
    }
  });
  window_->installEventFilter(this);
  platform::desktop_set_front_handler(handle_, [this] { BringToFront(); });

  const int fd = platform::desktop_event_fd(handle_);
  if (fd >= 0) {
    requests_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(requests_.get(), &QSocketNotifier::activated, this, [this] {
      if (handle_ != 0) platform::desktop_process_pending(handle_);
    });
  }
  return handle_;
}

void HandoffDesktopWindow::PublishTitle() {
  if (handle_ == 0) return;
  title_published_ = true;
  platform::desktop_set_title(handle_, window_->windowTitle().toUtf8().toStdString());
}

bool HandoffDesktopWindow::AttachMsgCtl(CopyDataHandler handler) {
  if (handle_ == 0) return false;
  if (msg_ctl_ == nullptr) {
    // The control is freed by the library that made it, even if the binding
    // table is pointed elsewhere meanwhile (tests do that).
    auto* destroy = reinterpret_cast<void (*)(MsgCtl*)>(binding::BindExport(
        imports::MsgCtlDestroy.library(), imports::MsgCtlDestroy.export_name()));
    msg_ctl_ = imports::MsgCtlCreate(&HandoffDesktopWindow::OnCopyData, this);
    if (msg_ctl_ == nullptr) return false;
    destroy_msg_ctl_ = destroy;
  }
  on_copy_data_ = std::move(handler);
  return imports::MsgCtlAttach(msg_ctl_, handle_) == 1;
}

void HandoffDesktopWindow::Withdraw() {
  if (msg_ctl_ != nullptr) destroy_msg_ctl_(msg_ctl_);
  msg_ctl_ = nullptr;
  destroy_msg_ctl_ = nullptr;
  requests_.reset();
  if (handle_ != 0) {
    window_->removeEventFilter(this);
    platform::desktop_destroy_window(handle_);
  }
  handle_ = 0;
  title_published_ = false;
}

bool HandoffDesktopWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::WindowActivate && handle_ != 0) {
    platform::desktop_activate(handle_);
  }
  return QObject::eventFilter(watched, event);
}

void HandoffDesktopWindow::OnCopyData(void* user, int32_t first, const char* text) {
  auto* self = static_cast<HandoffDesktopWindow*>(user);
  if (self->on_copy_data_) self->on_copy_data_(first, FileNameFromBytes(text));
}

// The sender asked for it: the window comes up on top, restored if it was
// minimized, and takes the focus.
void HandoffDesktopWindow::BringToFront() {
  if (window_->isMinimized())
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  window_->raise();
  window_->activateWindow();
}

}  // namespace calendo
