#include "calendo/client/pending_file_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

#include "calendo/pending_file.h"

namespace calendo::client {
namespace {

constexpr int kRemovalSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kFilling, kArmed };

// A name the handler removes: written only while kFilling, read by the
// handler only while kArmed.
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots");

Slot g_slots[kSignalRemovalSlots];

extern "C" void RemoveAndEnd(int signal_number) {
  for (Slot& slot : g_slots) {
    if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlink(slot.path);
  }
  // Ended as without the handler: the signal is raised again, taken when the
  // handler returns.
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

sigset_t RemovalSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kRemovalSignals) sigaddset(&set, signal_number);
  return set;
}

class SignalWatcher final : public PendingFileWatcher {
 public:
  void hold() noexcept override {
    if (depth_++ > 0) return;
    const sigset_t held = RemovalSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  void release() noexcept override {
    if (--depth_ > 0) return;
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

  int watch(const char* temp_path) noexcept override {
    const std::size_t length = std::strlen(temp_path);
    if (length >= PATH_MAX) return -1;
    for (int ticket = 0; ticket < kSignalRemovalSlots; ++ticket) {
      Slot& slot = g_slots[ticket];
      int expected = kFree;
      if (!slot.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire))
        continue;
      std::memcpy(slot.path, temp_path, length + 1);
      slot.state.store(kArmed, std::memory_order_release);
      return ticket;
    }
    return -1;
  }
  void forget(int ticket) noexcept override {
    if (ticket >= 0 && ticket < kSignalRemovalSlots)
      g_slots[ticket].state.store(kFree, std::memory_order_release);
  }

 private:
  // Per thread: holds nest, and the mask restored is the thread's own.
  static thread_local int depth_;
  static thread_local sigset_t previous_;
};

thread_local int SignalWatcher::depth_ = 0;
thread_local sigset_t SignalWatcher::previous_;

bool IgnoredAtStart(int signal_number) {
  struct sigaction current {};
  return ::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void RemovePendingFilesOnSignals() {
  static SignalWatcher watcher;
  set_pending_file_watcher(&watcher);
  struct sigaction removal {};
  removal.sa_handler = RemoveAndEnd;
  removal.sa_mask = RemovalSignals();  // one removal at a time
  removal.sa_flags = SA_RESTART;
  for (const int signal_number : kRemovalSignals) {
    if (!IgnoredAtStart(signal_number)) ::sigaction(signal_number, &removal, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace calendo::client
