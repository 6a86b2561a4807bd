// The wave-out device family: plays PCM buffers and reports on them by
// messages to a callback window.
//
// Open a device with a PCM format and a callback window; prepare a WaveHeader
// (which describes a buffer the caller keeps), write it, and the device plays
// the written buffers one after another in write order. The device posts to the
// callback window
//   kWaveOutOpen  (wparam = device)              once, from wave_out_open,
//   kWaveOutDone  (wparam = device, lparam = WaveHeader*)  per buffer, in write order,
//   kWaveOutClose (wparam = device)              once, from wave_out_close.
// A header and its data belong to the device from write until its done notice
// is posted (flag kWaveHeaderDone set, kWaveHeaderInQueue cleared); then
// unprepare it and free both. Pause stops playing and holds the done notices
// until restart; reset returns every written buffer as done at once (posting
// their notices before it returns), paused or not; close needs every written
// buffer to be back (reset first).
//
// The device is chosen at open by the environment:
//   CALENDO_AUDIO unset or "default"  the system's default output (PortAudio),
//   CALENDO_AUDIO=null                no sound; buffers finish at the pace of real time,
//   CALENDO_AUDIO=capture:PATH        the bytes played are appended to the WAV file PATH
//                                     (PATH appears, complete, at close; a file of
//                                     another format is replaced); pace of real time,
//   CALENDO_AUDIO_SPEED=N             null and capture run N times real time (0: at once).
//
// Calls for one device may come from any thread, but not at the same time for
// the same device (the usual owner is one worker thread).
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"
#include "platform/messages.h"

namespace platform {

// A PCM wave format record, as stored in a WAV "fmt " chunk of 16 or 18 bytes.
struct WaveFormat {
  std::uint16_t format_tag = 0;  // 1 = PCM
  std::uint16_t channels = 0;
  std::uint32_t samples_per_sec = 0;
  std::uint32_t avg_bytes_per_sec = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
  std::uint16_t extra_size = 0;
};

inline constexpr std::uint16_t kWaveFormatPcm = 1;

inline constexpr std::uint32_t kWaveHeaderDone = 0x01;
inline constexpr std::uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr std::uint32_t kWaveHeaderInQueue = 0x10;

// Describes one buffer. `flags` is the device's while the buffer is written.
struct WaveHeader {
  void* data = nullptr;
  std::uint32_t length = 0;
  std::uint32_t flags = 0;
  std::uint32_t loops = 0;
  std::uintptr_t user = 0;
  WaveHeader* next = nullptr;  // the device's link while written
};

using WaveOut = std::uint64_t;  // device handle; 0 is none, handles are never reused
inline constexpr WaveOut kNoWaveOut = 0;

inline constexpr std::uint32_t kWaveOutOpen = 0x3BB;
inline constexpr std::uint32_t kWaveOutClose = 0x3BC;
inline constexpr std::uint32_t kWaveOutDone = 0x3BD;

enum class WaveResult : std::uint32_t {
  ok = 0,
  error = 1,           // the device failed; wave_out_last_error() says how
  bad_device = 2,      // no such device, or it cannot be opened
  invalid_handle = 5,  // not an open device
  no_memory = 7,
  invalid_param = 11,  // null header, or data missing
  bad_format = 32,     // the device does not play this format
  still_playing = 33,  // buffers are still written (close, unprepare, write twice)
  unprepared = 34,     // write of a header that is not prepared
};

// Opens the device named by the environment (see above) for `format`, posting
// notices to `callback`. On success *device is the handle and kWaveOutOpen is
// posted. Plays PCM with 1 or 2 channels of 8 (unsigned) or 16 (signed) bits.
CALENDO_PLATFORM_API WaveResult wave_out_open(WaveOut* device, const WaveFormat& format,
                                              WindowHandle callback);

// As wave_out_open, for an explicit device: "default", "null" or
// "capture:PATH", with the speed factor of null and capture (0: at once).
CALENDO_PLATFORM_API WaveResult wave_out_open_device(WaveOut* device, const std::string& name,
                                                     unsigned speed, const WaveFormat& format,
                                                     WindowHandle callback);

CALENDO_PLATFORM_API WaveResult wave_out_prepare(WaveOut device, WaveHeader* header);
CALENDO_PLATFORM_API WaveResult wave_out_unprepare(WaveOut device, WaveHeader* header);
// Queues a prepared header behind the ones already written; never blocks.
CALENDO_PLATFORM_API WaveResult wave_out_write(WaveOut device, WaveHeader* header);
CALENDO_PLATFORM_API WaveResult wave_out_pause(WaveOut device);
CALENDO_PLATFORM_API WaveResult wave_out_restart(WaveOut device);
CALENDO_PLATFORM_API WaveResult wave_out_reset(WaveOut device);
// Closes the device (posting kWaveOutClose); still_playing while buffers are out.
CALENDO_PLATFORM_API WaveResult wave_out_close(WaveOut device);

// What the last failing wave_out_* call of this thread said, in the words of
// the layer that failed (PortAudio's own text for the default device).
CALENDO_PLATFORM_API std::string wave_out_last_error();

}  // namespace platform
