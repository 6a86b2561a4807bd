#include "platform/messages.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct ThreadQueue;

// A synchronous send waiting in the owner's queue. The outcome fields are
// guarded by the sender's queue mutex, on whose condition the sender sleeps.
struct SentCall {
  Message message;
  std::shared_ptr<ThreadQueue> sender;
  bool finished = false;
  bool delivered = false;
  std::intptr_t result = 0;
};

struct ThreadQueue {
  explicit ThreadQueue(ThreadId queue_id) : id(queue_id) {}

  const ThreadId id;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Message> posted;
  std::deque<std::shared_ptr<SentCall>> sent;
  bool closed = false;
  int event_fd = -1;  // made on the first wakeup_fd() call
  bool fd_signalled = false;

  // REQUIRES: mutex held. Called after adding a message.
  void signal_locked() {
    wake.notify_all();
    if (event_fd >= 0 && !fd_signalled) {
      const std::uint64_t one = 1;
      if (::write(event_fd, &one, sizeof one) == sizeof one) fd_signalled = true;
    }
  }

  // REQUIRES: mutex held. Called after taking a message out.
  void settle_fd_locked() {
    if (fd_signalled && posted.empty() && sent.empty()) {
      std::uint64_t count = 0;
      if (::read(event_fd, &count, sizeof count) == sizeof count) fd_signalled = false;
    }
  }
};

struct WindowRecord {
  std::shared_ptr<ThreadQueue> queue;
  std::shared_ptr<WindowHandler> handler;
  std::string name;
};

// Lock order: registry before any queue, never the other way.
struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<WindowHandle, WindowRecord> windows;
  std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>> threads;
  WindowHandle next_window = 1;
  ThreadId next_thread = 1;
};

Registry& registry() {
  // Never destroyed: threads may end while the process exits.
  static Registry* instance = new Registry;
  return *instance;
}

void finish_call(SentCall& call, bool delivered, std::intptr_t result) {
  std::lock_guard lock(call.sender->mutex);
  call.finished = true;
  call.delivered = delivered;
  call.result = result;
  call.sender->wake.notify_all();
}

// Closes a queue whose thread is ending: its windows go, waiting senders are
// released without a result, posted messages are dropped.
void end_thread(const std::shared_ptr<ThreadQueue>& queue) {
  std::vector<std::shared_ptr<WindowHandler>> handlers;  // destroyed unlocked
  {
    Registry& reg = registry();
    std::unique_lock lock(reg.mutex);
    reg.threads.erase(queue->id);
    for (auto it = reg.windows.begin(); it != reg.windows.end();) {
      if (it->second.queue == queue) {
        handlers.push_back(std::move(it->second.handler));
        it = reg.windows.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::deque<std::shared_ptr<SentCall>> orphans;
  {
    std::lock_guard lock(queue->mutex);
    queue->closed = true;
    queue->posted.clear();
    orphans.swap(queue->sent);
    if (queue->event_fd >= 0) ::close(queue->event_fd);
    queue->event_fd = -1;
    queue->fd_signalled = false;
  }
  for (auto& call : orphans) finish_call(*call, false, 0);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) end_thread(queue);
  }
};

thread_local QueueHolder this_thread_queue;

const std::shared_ptr<ThreadQueue>& own_queue() {
  if (!this_thread_queue.queue) {
    Registry& reg = registry();
    std::unique_lock lock(reg.mutex);
    auto queue = std::make_shared<ThreadQueue>(reg.next_thread++);
    reg.threads.emplace(queue->id, queue);
    this_thread_queue.queue = std::move(queue);
  }
  return this_thread_queue.queue;
}

// The handler of `window` if the window lives and belongs to `queue`.
std::shared_ptr<WindowHandler> handler_for(WindowHandle window, const ThreadQueue* queue) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  auto found = reg.windows.find(window);
  if (found == reg.windows.end() || found->second.queue.get() != queue) return nullptr;
  return found->second.handler;
}

void handle_sent(ThreadQueue& queue, SentCall& call) {
  auto handler = handler_for(call.message.window, &queue);
  if (!handler) {
    finish_call(call, false, 0);
    return;
  }
  std::intptr_t result = 0;
  try {
    result = (*handler)(call.message.window, call.message.message, call.message.wparam,
                        call.message.lparam);
  } catch (...) {
    finish_call(call, false, 0);
    throw;
  }
  finish_call(call, true, result);
}

// REQUIRES: `lock` holds queue.mutex. Handles every waiting sent message,
// unlocking around each handler.
void handle_sent_messages(ThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
  while (!queue.sent.empty()) {
    auto call = std::move(queue.sent.front());
    queue.sent.pop_front();
    queue.settle_fd_locked();
    lock.unlock();
    handle_sent(queue, *call);
    lock.lock();
  }
}

bool enqueue(ThreadQueue& queue, const Message& message) {
  std::lock_guard lock(queue.mutex);
  if (queue.closed) return false;
  queue.posted.push_back(message);
  queue.signal_locked();
  return true;
}

}  // namespace

ThreadId current_thread_id() {
  return own_queue()->id;
}

WindowHandle create_window(std::string_view name, WindowHandler handler) {
  if (!handler) return kNoWindow;
  auto queue = own_queue();
  Registry& reg = registry();
  std::unique_lock lock(reg.mutex);
  const WindowHandle window = reg.next_window++;
  reg.windows.emplace(
      window, WindowRecord{std::move(queue), std::make_shared<WindowHandler>(std::move(handler)),
                           std::string(name)});
  return window;
}

bool destroy_window(WindowHandle window) {
  const ThreadQueue* queue = own_queue().get();
  std::shared_ptr<WindowHandler> handler;  // destroyed after the lock is released
  Registry& reg = registry();
  std::unique_lock lock(reg.mutex);
  auto found = reg.windows.find(window);
  if (found == reg.windows.end() || found->second.queue.get() != queue) return false;
  handler = std::move(found->second.handler);
  reg.windows.erase(found);
  return true;
}

bool is_window(WindowHandle window) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  return reg.windows.count(window) != 0;
}

ThreadId window_thread(WindowHandle window) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  auto found = reg.windows.find(window);
  return found == reg.windows.end() ? kNoThread : found->second.queue->id;
}

std::string window_name(WindowHandle window) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  auto found = reg.windows.find(window);
  return found == reg.windows.end() ? std::string() : found->second.name;
}

bool post_message(WindowHandle window, std::uint32_t message, std::uintptr_t wparam,
                  std::intptr_t lparam) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  auto found = reg.windows.find(window);
  if (found == reg.windows.end()) return false;
  return enqueue(*found->second.queue, Message{window, message, wparam, lparam});
}

bool post_thread_message(ThreadId thread, std::uint32_t message, std::uintptr_t wparam,
                         std::intptr_t lparam) {
  Registry& reg = registry();
  std::shared_lock lock(reg.mutex);
  auto found = reg.threads.find(thread);
  if (found == reg.threads.end()) return false;
  return enqueue(*found->second, Message{kNoWindow, message, wparam, lparam});
}

void post_quit_message(int exit_code) {
  enqueue(*own_queue(),
          Message{kNoWindow, kQuitMessage,
                  static_cast<std::uintptr_t>(static_cast<std::intptr_t>(exit_code)), 0});
}

std::optional<std::intptr_t> send_message(WindowHandle window, std::uint32_t message,
                                          std::uintptr_t wparam, std::intptr_t lparam) {
  const auto& self = own_queue();
  std::shared_ptr<ThreadQueue> target;
  std::shared_ptr<WindowHandler> handler;
  {
    Registry& reg = registry();
    std::shared_lock lock(reg.mutex);
    auto found = reg.windows.find(window);
    if (found == reg.windows.end()) return std::nullopt;
    target = found->second.queue;
    handler = found->second.handler;
  }
  if (target == self) return (*handler)(window, message, wparam, lparam);
  handler.reset();

  auto call = std::make_shared<SentCall>();
  call->message = Message{window, message, wparam, lparam};
  call->sender = self;
  {
    std::lock_guard lock(target->mutex);
    if (target->closed) return std::nullopt;
    target->sent.push_back(call);
    target->signal_locked();
  }
  std::unique_lock lock(self->mutex);
  while (!call->finished) {
    if (!self->sent.empty()) {
      handle_sent_messages(*self, lock);
      continue;
    }
    self->wake.wait(lock);
  }
  if (!call->delivered) return std::nullopt;
  return call->result;
}

bool get_message(Message& out) {
  ThreadQueue& queue = *own_queue();
  std::unique_lock lock(queue.mutex);
  for (;;) {
    handle_sent_messages(queue, lock);
    if (!queue.posted.empty()) {
      out = queue.posted.front();
      queue.posted.pop_front();
      queue.settle_fd_locked();
      return out.message != kQuitMessage;
    }
    queue.wake.wait(lock);
  }
}

bool peek_message(Message& out, bool remove) {
  ThreadQueue& queue = *own_queue();
  std::unique_lock lock(queue.mutex);
  handle_sent_messages(queue, lock);
  if (queue.posted.empty()) return false;
  out = queue.posted.front();
  if (remove) {
    queue.posted.pop_front();
    queue.settle_fd_locked();
  }
  return true;
}

bool wait_message(std::chrono::milliseconds timeout) {
  ThreadQueue& queue = *own_queue();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(queue.mutex);
  for (;;) {
    handle_sent_messages(queue, lock);
    if (!queue.posted.empty()) return true;
    if (queue.wake.wait_until(lock, deadline) == std::cv_status::timeout) {
      handle_sent_messages(queue, lock);
      return !queue.posted.empty();
    }
  }
}

std::intptr_t dispatch_message(const Message& message) {
  if (message.window == kNoWindow) return 0;
  auto handler = handler_for(message.window, own_queue().get());
  if (!handler) return 0;
  return (*handler)(message.window, message.message, message.wparam, message.lparam);
}

int wakeup_fd() {
  ThreadQueue& queue = *own_queue();
  std::lock_guard lock(queue.mutex);
  if (queue.event_fd < 0) {
    queue.event_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (queue.event_fd < 0) return -1;
    if (!queue.posted.empty() || !queue.sent.empty()) queue.signal_locked();
  }
  return queue.event_fd;
}

std::size_t pending_message_count() {
  ThreadQueue& queue = *own_queue();
  std::lock_guard lock(queue.mutex);
  return queue.posted.size();
}

}  // namespace platform
