// CWavEventWnd: the worker's hidden window. It owns the wave-out device and
// every block the engine has taken over, and runs the stream: queueing,
// submitting, the device's notices, stop and pause. Lives on the worker
// thread only; it reports to the caller's window by WAV_MSG_STATUS.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/messages.h"
#include "platform/waveout.h"
#include "wav_header.h"
#include "wav_messages.h"

namespace sondrel {

class CWavEventWnd {
 public:
  CWavEventWnd() = default;
  ~CWavEventWnd();
  CWavEventWnd(const CWavEventWnd&) = delete;
  CWavEventWnd& operator=(const CWavEventWnd&) = delete;

  // Creates the hidden window "EventWnd" on the calling thread.
  bool Create();
  platform::WindowHandle handle() const { return window_; }

 private:
  struct Record {
    void* block;
    std::uint32_t length;
  };

  // The status block: the stream's state as the worker knows it.
  struct Status {
    std::uint32_t remaining = 0;  // announced bytes not yet submitted
    std::int32_t outstanding = -1;
    std::int32_t play_state = kIdle;
    std::uint32_t completed = 0;
  };

  std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
  void OnAdd(void* block, std::uint32_t length, std::uint32_t serial);
  void OnSubmit();
  void OnStop();
  void OnPause(bool pause);
  void OnHello(platform::WindowHandle caller);
  void OnDeviceDone(platform::WaveOut device, platform::WaveHeader* header);
  void OnDeviceClose(platform::WaveOut device);

  // Opens the device for the header's format; false when it cannot play it.
  bool OpenDevice(const HeaderBlock& header);
  // Resets and closes the device; every buffer written to it is freed.
  void CloseDevice();
  // Submits `data` (n bytes, the engine's block) as the next buffer; false
  // when the device failed (it is closed then and `data` is freed).
  bool WriteBuffer(void* data, std::uint32_t n);
  void FreeBuffer(platform::WaveHeader* header);
  void PostSubmit();
  // Every block taken in has played, and the stream wants more.
  bool Starved() const;
  void PostStatus();

  platform::WindowHandle window_ = platform::kNoWindow;
  platform::ThreadId worker_ = platform::kNoThread;
  platform::WindowHandle caller_ = platform::kNoWindow;
  platform::WaveOut device_ = platform::kNoWaveOut;
  std::deque<Record> queue_;
  std::deque<platform::WaveHeader*> written_;  // at the device, in write order
  bool submit_pending_ = false;
  std::uint32_t serial_ = 0;    // of the last block taken
  std::uint32_t received_ = 0;  // blocks taken in of the stream serial_
  Status status_;
};

}  // namespace sondrel
