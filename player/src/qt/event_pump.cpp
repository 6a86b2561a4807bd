#include "qt/event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "platform/messages.h"

namespace calendo {

EventPump::EventPump(QObject* parent) : QObject(parent) {
  const int fd = platform::wakeup_fd();
  if (fd >= 0) {
    platform_notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(platform_notifier_.get(), &QSocketNotifier::activated, this,
            [this] { DispatchPlatformMessages(); });
  }
}

EventPump::~EventPump() = default;

void EventPump::DispatchPlatformMessages() {
  platform::Message message;
  while (platform::peek_message(message)) platform::dispatch_message(message);
}

void EventPump::ProcessEvents() {
  DispatchPlatformMessages();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EventPump::ProcessEventsOrWait(std::chrono::milliseconds max_wait) {
  DispatchPlatformMessages();
  // A timer of its own bounds the wait (calls nest: a handler run here may
  // wait too); pending events run without any wait.
  QTimer bound;
  bound.setSingleShot(true);
  bound.setTimerType(Qt::PreciseTimer);
  bound.start(max_wait);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void EventPump::Watch(int fd, std::function<void()> on_ready) {
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(notifier.get(), &QSocketNotifier::activated, this,
          [callback = std::move(on_ready)] { callback(); });
  watched_.push_back(std::move(notifier));
}

}  // namespace calendo
