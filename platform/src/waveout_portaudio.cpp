// The default device: the system's default output through PortAudio.
//
// PortAudio is initialised per open device (its own count makes nested
// initialisations cheap) so that a device plugged in later is found at the
// next open. The sound systems it probes (ALSA, JACK) print diagnostics on
// standard error even when nothing is wrong; those never reach the user's
// terminal: standard error points to /dev/null while PortAudio initialises,
// opens and closes, and ALSA's own error printer is replaced for good.
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#ifdef CALENDO_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include "waveout_device.h"

namespace platform::waveout {
namespace {

std::mutex& portaudio_mutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

#ifdef CALENDO_HAVE_ALSA
void ignore_alsa_error(const char*, int, const char*, int, const char*, ...) {}
#endif

// Points file descriptor 2 at /dev/null for its lifetime. Process-wide: what
// another thread writes to standard error meanwhile is lost too, which is why
// it only spans the few PortAudio calls that probe the sound systems.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

std::string portaudio_text(PaError error) {
  std::string text = "PortAudio: ";
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0') {
      return text + host->errorText;
    }
  }
  return text + Pa_GetErrorText(error);
}

class PortAudioDevice final : public Device {
 public:
  PortAudioDevice(BufferQueue& queue, std::size_t frame_bytes, std::uint8_t silence)
      : queue_(queue), frame_bytes_(frame_bytes), silence_(silence) {}
  ~PortAudioDevice() override {
    // A destructor has no one to report to.
    [[maybe_unused]] const calendo::Status stopped = stop();
  }

  // REQUIRES: PortAudio initialised for this device (balanced by stop()).
  bool start(const WaveFormat& format, OpenFailure& failure) {
    initialised_ = true;
    const PaDeviceIndex output = Pa_GetDefaultOutputDevice();
    if (output == paNoDevice) {
      failure = {WaveResult::bad_device,
                 portaudio_text(paDeviceUnavailable) + " (no default output device)"};
      return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(output);
    PaStreamParameters parameters{};
    parameters.device = output;
    parameters.channelCount = format.channels;
    parameters.sampleFormat = format.bits_per_sample == 8 ? paUInt8 : paInt16;
    // The higher of the device's latencies: voice playback wants no dropouts
    // more than it wants a prompt start.
    parameters.suggestedLatency = info != nullptr ? info->defaultHighOutputLatency : 0.1;
    PaError error =
        Pa_OpenStream(&stream_, nullptr, &parameters, format.samples_per_sec,
                      paFramesPerBufferUnspecified, paNoFlag, &PortAudioDevice::play, this);
    if (error != paNoError) {
      stream_ = nullptr;
      failure = {error == paInvalidSampleRate || error == paSampleFormatNotSupported ||
                         error == paInvalidChannelCount
                     ? WaveResult::bad_format
                     : WaveResult::bad_device,
                 portaudio_text(error)};
      return false;
    }
    error = Pa_StartStream(stream_);
    if (error != paNoError) {
      failure = {WaveResult::bad_device, portaudio_text(error)};
      return false;
    }
    return true;
  }

  void wake() override {}  // the stream runs all the time, silent while starved

  calendo::Status stop() override {
    if (!initialised_) return {};
    std::lock_guard lock(portaudio_mutex());
    QuietStderr quiet;
    calendo::Status stopped;
    if (stream_ != nullptr) {
      const PaError aborted = Pa_AbortStream(stream_);
      if (aborted != paNoError && aborted != paStreamIsStopped)
        stopped = device_fault(portaudio_text(aborted));
      const PaError closed = Pa_CloseStream(stream_);
      if (closed != paNoError && stopped.ok()) stopped = device_fault(portaudio_text(closed));
      stream_ = nullptr;
    }
    Pa_Terminate();
    initialised_ = false;
    return stopped;
  }

 private:
  // PortAudio's real-time callback: no allocation, no waiting.
  static int play(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* self_pointer) {
    auto* self = static_cast<PortAudioDevice*>(self_pointer);
    auto* out = static_cast<std::uint8_t*>(output);
    const std::size_t bytes = frames * self->frame_bytes_;
    const std::size_t played = self->queue_.pull(out, bytes);
    if (played < bytes) std::memset(out + played, self->silence_, bytes - played);
    return paContinue;
  }

  BufferQueue& queue_;
  const std::size_t frame_bytes_;
  const std::uint8_t silence_;
  PaStream* stream_ = nullptr;
  bool initialised_ = false;
};

}  // namespace

std::unique_ptr<Device> open_portaudio_device(const WaveFormat& format, BufferQueue& queue,
                                              OpenFailure& failure) {
  std::unique_ptr<PortAudioDevice> device;
  bool started = false;
  {
    std::lock_guard lock(portaudio_mutex());
    QuietStderr quiet;
#ifdef CALENDO_HAVE_ALSA
    snd_lib_error_set_handler(&ignore_alsa_error);
#endif
    const PaError initialised = Pa_Initialize();
    if (initialised != paNoError) {
      failure = {WaveResult::bad_device, portaudio_text(initialised)};
      return nullptr;
    }
    device = std::make_unique<PortAudioDevice>(queue, format.block_align,
                                               format.bits_per_sample == 8 ? 0x80 : 0x00);
    started = device->start(format, failure);
  }
  if (!started) return nullptr;  // the device's destructor closes PortAudio again
  return device;
}

}  // namespace platform::waveout
