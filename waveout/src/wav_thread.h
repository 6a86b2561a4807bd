// CWavThread: the engine's worker thread. It makes CWavEventWnd, signals the
// caller through the named semaphore, and then runs a message loop that
// passes the engine's thread messages on to CWavEventWnd, until
// WAV_MSG_QUIT.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/messages.h"
#include "platform/semaphore.h"

namespace sondrel {

inline constexpr char kSemaphoreName[] = "WavPlaySemaphore";

class CWavThread {
 public:
  enum class Start { pending, ready, failed, abandoned };

  CWavThread() = default;
  ~CWavThread();
  CWavThread(const CWavThread&) = delete;
  CWavThread& operator=(const CWavThread&) = delete;

  // Starts the thread; false when the system refuses one.
  bool Begin();

  // Waits on `semaphore` at most `timeout` until the worker has its window
  // (true) or has failed (false). On time-out the start is abandoned: a
  // worker that comes up later ends at once.
  bool WaitStarted(platform::NamedSemaphore& semaphore, std::chrono::milliseconds timeout);

  // The worker's queue; valid once WaitStarted returned true.
  platform::ThreadId thread_id() const { return thread_id_.load(); }

  // Waits at most `timeout` for the thread to end and joins it; a thread
  // that does not end in time is left to end by itself.
  bool WaitEnded(std::chrono::milliseconds timeout);

 private:
  void Run();
  void MarkEnded();

  std::thread thread_;
  std::atomic<Start> start_{Start::pending};
  std::atomic<platform::ThreadId> thread_id_{platform::kNoThread};
  std::mutex mutex_;
  std::condition_variable ended_signal_;
  bool ended_ = false;
};

}  // namespace sondrel
