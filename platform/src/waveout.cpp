// The wave-out family: handles, header bookkeeping and notices, over one
// device of the kinds in waveout_device.h.
//
// Each open device has a notice thread that posts kWaveOutDone for finished
// buffers in the order they finished (which is write order), so that neither
// the audio callback nor the pacing thread ever posts a message itself.
#include "platform/waveout.h"

#include <pthread.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "waveout_device.h"
#include "waveout_queue.h"

namespace platform {
namespace {

thread_local std::string last_error;

WaveResult fail(WaveResult result, std::string text) {
  last_error = std::move(text);
  return result;
}

std::atomic_ref<std::uint32_t> flags_of(WaveHeader* header) {
  return std::atomic_ref<std::uint32_t>(header->flags);
}

class OpenDevice {
 public:
  OpenDevice(WaveOut handle, WindowHandle callback) : handle_(handle), callback_(callback) {}

  WaveOut handle() const { return handle_; }
  WindowHandle callback() const { return callback_; }
  waveout::BufferQueue& queue() { return queue_; }
  waveout::Device& device() { return *device_; }
  void attach(std::unique_ptr<waveout::Device> device) {
    device_ = std::move(device);
    notifier_ = std::thread([this] { run_notifier(); });
  }

  void write(WaveHeader* header) {
    outstanding_.fetch_add(1, std::memory_order_relaxed);
    queue_.write(header);
    device_->wake();
  }

  void pause() {
    std::lock_guard lock(notice_mutex_);
    paused_ = true;
    queue_.set_paused(true);
  }

  void restart() {
    {
      std::lock_guard lock(notice_mutex_);
      paused_ = false;
      queue_.set_paused(false);
      post_done_locked();
    }
    device_->wake();
  }

  void reset() {
    queue_.return_all();
    std::lock_guard lock(notice_mutex_);
    post_done_locked();
  }

  // Buffers written whose done notice has not been posted.
  std::uint64_t outstanding() const { return outstanding_.load(std::memory_order_relaxed); }

  // Stops the device and the notice thread; false (with `error`) when the
  // device did not finish cleanly.
  calendo::Status shut_down() {
    calendo::Status stopped = device_->stop();
    {
      std::lock_guard lock(notice_mutex_);
      closing_ = true;
    }
    queue_.wake_done_waiter();
    notifier_.join();
    return stopped;
  }

 private:
  // REQUIRES: notice_mutex_ held.
  void post_done_locked() {
    while (WaveHeader* header = queue_.pop_done()) {
      flags_of(header).fetch_or(kWaveHeaderDone);
      flags_of(header).fetch_and(~kWaveHeaderInQueue);
      outstanding_.fetch_sub(1, std::memory_order_relaxed);
      post_message(callback_, kWaveOutDone, static_cast<std::uintptr_t>(handle_),
                   reinterpret_cast<std::intptr_t>(header));
    }
  }

  void run_notifier() {
    ::pthread_setname_np(::pthread_self(), "wave-notice");
    for (;;) {
      queue_.wait_for_done();
      std::lock_guard lock(notice_mutex_);
      if (closing_) return;
      if (!paused_) post_done_locked();
    }
  }

  const WaveOut handle_;
  const WindowHandle callback_;
  waveout::BufferQueue queue_;
  std::unique_ptr<waveout::Device> device_;
  std::atomic<std::uint64_t> outstanding_{0};
  std::mutex notice_mutex_;
  bool paused_ = false;
  bool closing_ = false;
  std::thread notifier_;
};

struct DeviceTable {
  std::mutex mutex;
  std::unordered_map<WaveOut, std::shared_ptr<OpenDevice>> devices;
  WaveOut next = 1;
};

DeviceTable& table() {
  static DeviceTable* instance = new DeviceTable;
  return *instance;
}

std::shared_ptr<OpenDevice> find_device(WaveOut handle) {
  DeviceTable& devices = table();
  std::lock_guard lock(devices.mutex);
  auto found = devices.devices.find(handle);
  return found == devices.devices.end() ? nullptr : found->second;
}

WaveResult no_device(WaveOut handle) {
  return fail(WaveResult::invalid_handle,
              "wave-out device " + std::to_string(handle) + " is not open");
}

// Empty when the devices play `format`, else what is wrong with it.
std::string format_problem(const WaveFormat& format) {
  if (format.format_tag != kWaveFormatPcm) {
    return "format tag " + std::to_string(format.format_tag) + " is not PCM (1)";
  }
  if (format.channels != 1 && format.channels != 2) {
    return std::to_string(format.channels) + " channels: only 1 or 2 are played";
  }
  if (format.bits_per_sample != 8 && format.bits_per_sample != 16) {
    return std::to_string(format.bits_per_sample) + " bits per sample: only 8 or 16 are played";
  }
  if (format.block_align != format.channels * format.bits_per_sample / 8) {
    return "block align " + std::to_string(format.block_align) + " does not match " +
           std::to_string(format.channels) + " channels of " +
           std::to_string(format.bits_per_sample) + " bits";
  }
  if (format.samples_per_sec < 1000 || format.samples_per_sec > 384000) {
    return "sample rate " + std::to_string(format.samples_per_sec) +
           " Hz is outside 1000 to 384000 Hz";
  }
  return {};
}

}  // namespace

WaveResult wave_out_open_device(WaveOut* device, const std::string& name, unsigned speed,
                                const WaveFormat& format, WindowHandle callback) {
  if (device == nullptr) return fail(WaveResult::invalid_param, "no place for the handle");
  *device = kNoWaveOut;
  if (std::string problem = format_problem(format); !problem.empty()) {
    return fail(WaveResult::bad_format, problem);
  }
  if (!is_window(callback)) return fail(WaveResult::invalid_param, "callback window is gone");

  WaveOut handle;
  {
    DeviceTable& devices = table();
    std::lock_guard lock(devices.mutex);
    handle = devices.next++;
  }
  auto open = std::make_shared<OpenDevice>(handle, callback);
  waveout::OpenFailure failure;
  std::unique_ptr<waveout::Device> made;
  constexpr std::string_view kCapture = "capture:";
  if (name.empty() || name == "default") {
    made = waveout::open_portaudio_device(format, open->queue(), failure);
  } else if (name == "null") {
    made = waveout::open_null_device(format, open->queue(), speed, failure);
  } else if (name.starts_with(kCapture)) {
    made = waveout::open_capture_device(format, open->queue(), speed, name.substr(kCapture.size()),
                                        failure);
  } else {
    return fail(WaveResult::bad_device,
                "unknown audio device \"" + name + "\" (default, null or capture:PATH)");
  }
  if (!made) return fail(failure.result, failure.text);
  open->attach(std::move(made));
  {
    DeviceTable& devices = table();
    std::lock_guard lock(devices.mutex);
    devices.devices.emplace(handle, open);
  }
  post_message(callback, kWaveOutOpen, static_cast<std::uintptr_t>(handle), 0);
  *device = handle;
  return WaveResult::ok;
}

WaveResult wave_out_open(WaveOut* device, const WaveFormat& format, WindowHandle callback) {
  const char* name = std::getenv("CALENDO_AUDIO");
  unsigned speed = 1;
  if (const char* text = std::getenv("CALENDO_AUDIO_SPEED"); text != nullptr && *text != '\0') {
    const std::string_view value(text);
    const auto parsed = std::from_chars(value.data(), value.data() + value.size(), speed);
    if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size()) {
      if (device != nullptr) *device = kNoWaveOut;
      return fail(WaveResult::bad_device,
                  "CALENDO_AUDIO_SPEED=" + std::string(value) + " is not a whole number");
    }
  }
  return wave_out_open_device(device, name == nullptr ? "default" : name, speed, format, callback);
}

WaveResult wave_out_prepare(WaveOut device, WaveHeader* header) {
  if (!find_device(device)) return no_device(device);
  if (header == nullptr || (header->data == nullptr && header->length != 0)) {
    return fail(WaveResult::invalid_param, "header without data");
  }
  if (flags_of(header).load() & kWaveHeaderInQueue) {
    return fail(WaveResult::still_playing, "header is written");
  }
  flags_of(header).fetch_or(kWaveHeaderPrepared);
  return WaveResult::ok;
}

WaveResult wave_out_unprepare(WaveOut device, WaveHeader* header) {
  if (!find_device(device)) return no_device(device);
  if (header == nullptr) return fail(WaveResult::invalid_param, "no header");
  if (flags_of(header).load() & kWaveHeaderInQueue) {
    return fail(WaveResult::still_playing, "header is still written");
  }
  flags_of(header).fetch_and(~kWaveHeaderPrepared);
  return WaveResult::ok;
}

WaveResult wave_out_write(WaveOut device, WaveHeader* header) {
  auto open = find_device(device);
  if (!open) return no_device(device);
  if (header == nullptr) return fail(WaveResult::invalid_param, "no header");
  const std::uint32_t flags = flags_of(header).load();
  if (!(flags & kWaveHeaderPrepared)) return fail(WaveResult::unprepared, "header not prepared");
  if (flags & kWaveHeaderInQueue) return fail(WaveResult::still_playing, "header already written");
  flags_of(header).store((flags & ~kWaveHeaderDone) | kWaveHeaderInQueue);
  open->write(header);
  return WaveResult::ok;
}

WaveResult wave_out_pause(WaveOut device) {
  auto open = find_device(device);
  if (!open) return no_device(device);
  open->pause();
  return WaveResult::ok;
}

WaveResult wave_out_restart(WaveOut device) {
  auto open = find_device(device);
  if (!open) return no_device(device);
  open->restart();
  return WaveResult::ok;
}

WaveResult wave_out_reset(WaveOut device) {
  auto open = find_device(device);
  if (!open) return no_device(device);
  open->reset();
  return WaveResult::ok;
}

WaveResult wave_out_close(WaveOut device) {
  auto open = find_device(device);
  if (!open) return no_device(device);
  if (open->outstanding() != 0) {
    return fail(WaveResult::still_playing,
                std::to_string(open->outstanding()) + " buffers are still written");
  }
  {
    DeviceTable& devices = table();
    std::lock_guard lock(devices.mutex);
    devices.devices.erase(device);
  }
  const calendo::Status clean = open->shut_down();
  post_message(open->callback(), kWaveOutClose, static_cast<std::uintptr_t>(device), 0);
  if (!clean.ok()) return fail(WaveResult::error, clean.fault().message);
  return WaveResult::ok;
}

std::string wave_out_last_error() {
  return last_error;
}

}  // namespace platform
