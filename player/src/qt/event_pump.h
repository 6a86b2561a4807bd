// "Let pending window events run": the one procedure through which the
// window's loops (start-up, Wait, playback, conversion) hand control to the
// events of the window thread.
//
// It runs Qt's events and the platform messages of the thread (the queue of
// platform/messages.h, whose wake-up descriptor is watched by a socket
// notifier, so the wave output's status messages arrive through the same
// call). Further descriptors, such as the desktop's request channel of the
// window, can be watched alike.
//
// Threads: the thread that made the pump, which must be the Qt GUI thread;
// REQUIRES: the QApplication exists before the pump is made.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QSocketNotifier>

namespace calendo {

class EventPump : public QObject {
  Q_OBJECT

 public:
  // How long ProcessEventsOrWait waits at most when nothing is pending.
  static constexpr std::chrono::milliseconds kIdleWait{5};

  explicit EventPump(QObject* parent = nullptr);
  ~EventPump() override;

  // Runs every pending event and platform message once; never waits.
  void ProcessEvents();

  // The same for polling loops: when nothing is pending, waits up to
  // `max_wait` for the next event (a message, a click, a timer) instead of
  // returning at once, so that a loop around it does not spin a core.
  void ProcessEventsOrWait(std::chrono::milliseconds max_wait = kIdleWait);

  // Runs `on_ready` inside event processing whenever `fd` is readable.
  void Watch(int fd, std::function<void()> on_ready);

 private:
  void DispatchPlatformMessages();

  std::unique_ptr<QSocketNotifier> platform_notifier_;
  std::vector<std::unique_ptr<QSocketNotifier>> watched_;
};

}  // namespace calendo
