#include "wav_thread.h"

#include <pthread.h>

#include <algorithm>
#include <system_error>

#include "platform/memory.h"
#include "platform/semaphore.h"
#include "wav_event_wnd.h"
#include "wav_messages.h"

namespace sondrel {
namespace {

bool is_engine_message(std::uint32_t message) {
  return message == WAV_MSG_ADD || message == WAV_MSG_STOP || message == WAV_MSG_PAUSE ||
         message == WAV_MSG_QUIT || message == WAV_MSG_HELLO;
}

}  // namespace

CWavThread::~CWavThread() {
  if (thread_.joinable()) thread_.detach();
}

bool CWavThread::Begin() {
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool CWavThread::WaitStarted(platform::NamedSemaphore& semaphore,
                             std::chrono::milliseconds timeout) {
  // The semaphore is shared by name with every engine of this user, so a
  // count may belong to another process's worker: it only wakes us, and the
  // worker's own start state decides. Waiting in slices also covers a count
  // taken by someone else.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const Start state = start_.load();
    if (state != Start::pending) return state == Start::ready;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    const auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                     std::chrono::milliseconds(50));
    semaphore.wait_for(std::chrono::duration_cast<std::chrono::milliseconds>(slice) +
                       std::chrono::milliseconds(1));
  }
  Start expected = Start::pending;
  if (start_.compare_exchange_strong(expected, Start::abandoned)) return false;
  return expected == Start::ready;
}

bool CWavThread::WaitEnded(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  std::unique_lock lock(mutex_);
  if (!ended_signal_.wait_for(lock, timeout, [this] { return ended_; })) return false;
  lock.unlock();
  thread_.join();
  return true;
}

void CWavThread::MarkEnded() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  ended_signal_.notify_all();
}

void CWavThread::Run() {
  ::pthread_setname_np(::pthread_self(), "sondrel-worker");
  thread_id_ = platform::current_thread_id();
  {
    CWavEventWnd window;
    const bool made = window.Create();
    Start expected = Start::pending;
    const bool ours = start_.compare_exchange_strong(expected, made ? Start::ready : Start::failed);
    if (auto semaphore = platform::NamedSemaphore::open(kSemaphoreName, 0, 100)) {
      (*semaphore)->release();
    }
    if (made && ours) {
      platform::Message message;
      while (platform::get_message(message)) {
        if (message.window != platform::kNoWindow) {
          platform::dispatch_message(message);
          continue;
        }
        if (!is_engine_message(message.message)) continue;
        platform::send_message(window.handle(), message.message, message.wparam, message.lparam);
        if (message.message == WAV_MSG_QUIT) break;
      }
    }
    // Blocks added after the quit (never by the exports, which forget the
    // worker first) would otherwise be lost with the queue.
    platform::Message left;
    while (platform::peek_message(left)) {
      if (left.window == platform::kNoWindow && left.message == WAV_MSG_ADD) {
        platform::block_free(reinterpret_cast<void*>(left.wparam));
      }
    }
  }
  MarkEnded();
}

}  // namespace sondrel
