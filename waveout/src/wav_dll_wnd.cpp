#include "wav_dll_wnd.h"

#include <utility>

namespace sondrel {

CWavDllWnd::~CWavDllWnd() {
  if (window_ != platform::kNoWindow) platform::destroy_window(window_);
}

bool CWavDllWnd::Create() {
  window_ = platform::create_window(
      "DllWnd", [this](platform::WindowHandle, std::uint32_t message, std::uintptr_t wparam,
                       std::intptr_t lparam) { return WindowProc(message, wparam, lparam); });
  return window_ != platform::kNoWindow;
}

void CWavDllWnd::Attach(std::unique_ptr<CWavThread> worker) {
  thread = std::move(worker);
  worker_window_ = platform::kNoWindow;
  expected_ = 0;
  added_ = 0;
  serial_ = 0;
  mirror_ = StatusCopy{};
}

void CWavDllWnd::StartStream(std::uint32_t serial, std::uint32_t expected) {
  serial_ = serial;
  expected_ = expected;
  added_ = 1;
  mirror_ = StatusCopy{};
  mirror_.outstanding = 0;
}

void CWavDllWnd::ContinueStream(std::uint32_t length) {
  expected_ = length > expected_ ? 0 : expected_ - length;
  ++added_;
}

void CWavDllWnd::ResetStream() {
  expected_ = 0;
  mirror_.outstanding = -1;
}

std::intptr_t CWavDllWnd::WindowProc(std::uint32_t message, std::uintptr_t wparam,
                                     std::intptr_t lparam) {
  switch (message) {
    case WAV_MSG_WORKER:
      worker_window_ = static_cast<platform::WindowHandle>(wparam);
      return 1;
    case WAV_MSG_STATUS: {
      const StatusCopy status = unpack_status(wparam, lparam);
      // A status the worker sent before it took this stream's first block
      // speaks of an earlier stream.
      if (status.serial != (serial_ & kSerialMask)) return 1;
      mirror_.outstanding = status.outstanding;
      mirror_.play_state = status.play_state;
      mirror_.completed = status.completed;
      mirror_.received = status.received;
      if (status.play_state == kIdle) ResetStream();
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace sondrel
