#include "wav_dll_wnd.h"

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

std::intptr_t CWavDllWnd::WindowProc(std::uint32_t message, std::uintptr_t wparam,
                                     std::intptr_t lparam) {
  switch (message) {
    case WAV_MSG_WORKER:
      worker_window = static_cast<platform::WindowHandle>(wparam);
      return 1;
    case WAV_MSG_STATUS: {
      const StatusCopy status = unpack_status(wparam, lparam);
      // A status the worker sent before it took this stream's first block
      // speaks of an earlier stream.
      if (status.serial != (serial & kSerialMask)) return 1;
      mirror.outstanding = status.outstanding;
      mirror.play_state = status.play_state;
      mirror.completed = status.completed;
      mirror.received = status.received;
      if (status.play_state == kIdle) {
        announced = 0;
        expected = 0;
        mirror.outstanding = -1;
      }
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace sondrel
