// CWavDllWnd: the engine's hidden window in the caller's thread. It holds the
// worker and mirrors the stream's state from the worker's status messages,
// so the exports answer without asking the worker. Caller's thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/messages.h"
#include "wav_messages.h"
#include "wav_thread.h"

namespace sondrel {

class CWavDllWnd {
 public:
  CWavDllWnd() = default;
  ~CWavDllWnd();
  CWavDllWnd(const CWavDllWnd&) = delete;
  CWavDllWnd& operator=(const CWavDllWnd&) = delete;

  // Creates the hidden window "DllWnd" on the calling thread.
  bool Create();
  platform::WindowHandle handle() const { return window_; }

  // A new engine: the worker `thread` is running, no stream has begun and the
  // worker's window is not known yet.
  void Attach(std::unique_ptr<CWavThread> worker);
  // The first block of a new stream was posted with `serial`; `expected` of
  // the announced bytes are still to come.
  void StartStream(std::uint32_t serial, std::uint32_t expected);
  // A further block of `length` bytes of the stream was posted.
  void ContinueStream(std::uint32_t length);
  // No stream: the next block must carry a header.
  void ResetStream();

  bool HasStream() const { return mirror_.outstanding != -1; }
  bool StreamComplete() const { return expected_ == 0; }
  std::uint32_t serial() const { return serial_; }
  std::uint32_t added() const { return added_; }
  const StatusCopy& mirror() const { return mirror_; }

  std::unique_ptr<CWavThread> thread;  // none: no engine

 private:
  std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

  platform::WindowHandle window_ = platform::kNoWindow;
  platform::WindowHandle worker_window_ = platform::kNoWindow;  // CWavEventWnd
  std::uint32_t expected_ = 0;                                  // announced bytes not yet handed in
  std::uint32_t serial_ = 0;                                    // of the current stream
  std::uint32_t added_ = 0;  // blocks of the current stream handed in
  StatusCopy mirror_;        // the worker's last status for this stream
};

}  // namespace sondrel
