#include "wav_event_wnd.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/memory.h"

namespace sondrel {
namespace {

// A new zero-filled block holding the first `n` bytes of `from`; nullptr when
// memory is exhausted.
void* copy_block(const void* from, std::size_t n) {
  void* block = platform::block_alloc(n);
  if (block != nullptr && n != 0) std::memcpy(block, from, n);
  return block;
}

}  // namespace

CWavEventWnd::~CWavEventWnd() {
  // Normally stopped by WAV_MSG_QUIT already; this only frees what is left.
  CloseDevice();
  for (const Record& record : queue_) platform::block_free(record.block);
  queue_.clear();
  if (window_ != platform::kNoWindow) platform::destroy_window(window_);
}

bool CWavEventWnd::Create() {
  worker_ = platform::current_thread_id();
  window_ = platform::create_window(
      "EventWnd", [this](platform::WindowHandle, std::uint32_t message, std::uintptr_t wparam,
                         std::intptr_t lparam) { return WindowProc(message, wparam, lparam); });
  return window_ != platform::kNoWindow;
}

std::intptr_t CWavEventWnd::WindowProc(std::uint32_t message, std::uintptr_t wparam,
                                       std::intptr_t lparam) {
  switch (message) {
    case WAV_MSG_ADD:
      OnAdd(reinterpret_cast<void*>(wparam), add_length(lparam), add_serial(lparam));
      return 1;
    case WAV_MSG_SUBMIT:
      OnSubmit();
      return 1;
    case WAV_MSG_STOP:
    case WAV_MSG_QUIT:
      OnStop();
      return 1;
    case WAV_MSG_PAUSE:
      OnPause(wparam != 0);
      return 1;
    case WAV_MSG_HELLO:
      OnHello(static_cast<platform::WindowHandle>(wparam));
      return 1;
    case platform::kWaveOutDone:
      OnDeviceDone(wparam, reinterpret_cast<platform::WaveHeader*>(lparam));
      return 1;
    case platform::kWaveOutClose:
      OnDeviceClose(wparam);
      return 1;
    default:
      return 0;
  }
}

void CWavEventWnd::OnHello(platform::WindowHandle caller) {
  caller_ = caller;
  platform::post_message(caller_, WAV_MSG_WORKER, window_, 0);
}

void CWavEventWnd::OnAdd(void* block, std::uint32_t length, std::uint32_t serial) {
  if (serial != serial_) received_ = 0;
  serial_ = serial;
  ++received_;
  try {
    queue_.push_back(Record{block, length});
  } catch (const std::bad_alloc&) {
    platform::block_free(block);  // ours from the moment the caller was answered 1
    return;
  }
  if (!submit_pending_) PostSubmit();
}

void CWavEventWnd::PostSubmit() {
  submit_pending_ = true;
  if (!platform::post_message(window_, WAV_MSG_SUBMIT, 0, 0)) submit_pending_ = false;
}

void CWavEventWnd::OnSubmit() {
  submit_pending_ = false;
  if (queue_.empty()) return;
  const Record record = queue_.front();
  queue_.pop_front();
  void* data = record.block;
  std::uint32_t n = record.length;

  if (status_.play_state == kIdle) {
    if (status_.outstanding != -1) {
      platform::block_free(data);
      if (!queue_.empty()) PostSubmit();
      return;
    }
    const auto header = parse_header_block(static_cast<const std::uint8_t*>(data), n);
    if (!header || !OpenDevice(*header)) {
      // Dropped: the engine stays idle, ready for another header block, and
      // tells the caller so that its mirror expects one too.
      platform::block_free(data);
      PostStatus();
      if (!queue_.empty()) PostSubmit();
      return;
    }
    status_.play_state = kPlaying;
    status_.outstanding = 0;
    status_.remaining = header->stream_bytes;
    n = static_cast<std::uint32_t>(
        std::min<std::size_t>(header->stream_bytes, record.length - header->pcm_offset));
    void* pcm = copy_block(static_cast<const std::uint8_t*>(data) + header->pcm_offset, n);
    platform::block_free(data);
    if (pcm == nullptr) {
      CloseDevice();
      PostStatus();
      return;
    }
    data = pcm;
  }

  // A resumed or starved stream plays again; a paused one stays paused.
  if (status_.play_state != kPaused) status_.play_state = kPlaying;
  if (status_.remaining < n) {
    void* cut = copy_block(data, status_.remaining);
    platform::block_free(data);
    if (cut == nullptr) {
      CloseDevice();
      PostStatus();
      return;
    }
    data = cut;
    n = status_.remaining;
  }
  status_.remaining -= n;
  if (!WriteBuffer(data, n)) {
    PostStatus();
    return;
  }
  ++status_.outstanding;
  PostStatus();
  if (!queue_.empty()) PostSubmit();
}

bool CWavEventWnd::WriteBuffer(void* data, std::uint32_t n) {
  void* memory = platform::block_alloc(sizeof(platform::WaveHeader));
  if (memory == nullptr) {
    platform::block_free(data);
    CloseDevice();
    return false;
  }
  auto* header = new (memory) platform::WaveHeader;
  header->data = data;
  header->length = n;
  if (platform::wave_out_prepare(device_, header) != platform::WaveResult::ok) {
    FreeBuffer(header);
    CloseDevice();
    return false;
  }
  try {
    written_.push_back(header);
  } catch (const std::bad_alloc&) {
    FreeBuffer(header);
    CloseDevice();
    return false;
  }
  if (platform::wave_out_write(device_, header) != platform::WaveResult::ok) {
    written_.pop_back();
    FreeBuffer(header);
    CloseDevice();
    return false;
  }
  return true;
}

void CWavEventWnd::FreeBuffer(platform::WaveHeader* header) {
  platform::wave_out_unprepare(device_, header);
  platform::block_free(header->data);
  platform::block_free(header);
}

bool CWavEventWnd::OpenDevice(const HeaderBlock& header) {
  platform::WaveOut device = platform::kNoWaveOut;
  if (platform::wave_out_open(&device, header.format, window_) != platform::WaveResult::ok) {
    return false;
  }
  device_ = device;
  return true;
}

void CWavEventWnd::CloseDevice() {
  if (device_ == platform::kNoWaveOut) return;
  // Reset hands every written buffer back; their done notices, still on
  // their way, name a device that is gone by then and are ignored.
  platform::wave_out_reset(device_);
  for (platform::WaveHeader* header : written_) {
    FreeBuffer(header);
    status_.outstanding = std::max(status_.outstanding - 1, 0);
  }
  written_.clear();
  platform::wave_out_close(device_);
  device_ = platform::kNoWaveOut;
}

void CWavEventWnd::OnDeviceDone(platform::WaveOut device, platform::WaveHeader* header) {
  // Notices come in write order; anything else is from a closed device.
  if (device != device_ || written_.empty() || written_.front() != header) return;
  written_.pop_front();
  FreeBuffer(header);
  status_.outstanding = std::max(status_.outstanding - 1, 0);
  ++status_.completed;
  if (Starved()) status_.play_state = kStarved;
  PostStatus();
  if (status_.remaining == 0 && status_.outstanding == 0) {
    OnStop();
    platform::post_thread_message(worker_, WAV_MSG_STOP, 0, 0);
  }
}

void CWavEventWnd::OnDeviceClose(platform::WaveOut device) {
  if (device == device_) device_ = platform::kNoWaveOut;
}

void CWavEventWnd::OnStop() {
  CloseDevice();
  for (const Record& record : queue_) platform::block_free(record.block);
  queue_.clear();
  status_.outstanding = -1;
  status_.remaining = 0;
  status_.completed = 0;
  status_.play_state = kIdle;
  PostStatus();
}

void CWavEventWnd::OnPause(bool pause) {
  if (device_ == platform::kNoWaveOut) return;
  if (pause) {
    platform::wave_out_pause(device_);
    status_.play_state = kPaused;
  } else {
    platform::wave_out_restart(device_);
    status_.play_state = Starved() ? kStarved : kPlaying;
  }
  PostStatus();
}

bool CWavEventWnd::Starved() const {
  // A block still in the queue is about to be submitted: not starved yet.
  return status_.outstanding == 0 && status_.remaining != 0 && queue_.empty();
}

void CWavEventWnd::PostStatus() {
  if (caller_ == platform::kNoWindow) return;
  StatusCopy copy;
  copy.outstanding = status_.outstanding;
  copy.play_state = status_.play_state;
  copy.completed = status_.completed;
  copy.serial = serial_;
  copy.received = received_;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
  pack_status(copy, wparam, lparam);
  platform::post_message(caller_, WAV_MSG_STATUS, wparam, lparam);
}

}  // namespace sondrel
