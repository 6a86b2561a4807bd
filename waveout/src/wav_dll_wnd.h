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

  std::unique_ptr<CWavThread> thread;                          // none: no engine
  platform::WindowHandle worker_window = platform::kNoWindow;  // CWavEventWnd
  std::uint32_t announced = 0;  // stream bytes announced by the header
  std::uint32_t expected = 0;   // announced bytes not yet handed in
  std::uint32_t serial = 0;     // of the current stream
  std::uint32_t added = 0;      // blocks of the current stream handed in
  StatusCopy mirror;            // the worker's last status for this stream

 private:
  std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

  platform::WindowHandle window_ = platform::kNoWindow;
};

}  // namespace sondrel
