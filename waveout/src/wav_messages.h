// The engine's private messages between the caller's thread and the worker,
// and how a status update travels in a message's parameters.
#pragma once

#include <cstdint>

namespace sondrel {

// To the worker thread, which passes each on to CWavEventWnd.
inline constexpr std::uint32_t WAV_MSG_ADD = 2025;    // block address, length | serial << 32
inline constexpr std::uint32_t WAV_MSG_STOP = 2026;   // -
inline constexpr std::uint32_t WAV_MSG_PAUSE = 2027;  // nonzero = pause, 0 = resume
inline constexpr std::uint32_t WAV_MSG_QUIT = 2028;   // stop, close, end the worker
inline constexpr std::uint32_t WAV_MSG_HELLO = 2031;  // caller window
// CWavEventWnd to itself.
inline constexpr std::uint32_t WAV_MSG_SUBMIT = 2030;
// To CWavDllWnd.
inline constexpr std::uint32_t WAV_MSG_WORKER = 2125;  // worker window
inline constexpr std::uint32_t WAV_MSG_STATUS = 2126;  // a StatusCopy, packed

enum PlayState : std::int32_t {
  kIdle = 0,
  kStarved = 1,
  kPlaying = 2,
  kPaused = 3,
};

// WAV_MSG_ADD carries, beside the length, the serial of the stream the caller
// added the block to; statuses echo the serial of the last block the worker
// took, so the caller can tell a status of an earlier stream from a current one.
inline constexpr std::uint32_t kSerialMask = 0xFFFFFF;

inline std::intptr_t pack_add(std::uint32_t length, std::uint32_t serial) {
  return static_cast<std::intptr_t>(std::uint64_t{length} | std::uint64_t{serial & kSerialMask}
                                                                << 32);
}
inline std::uint32_t add_length(std::intptr_t lparam) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(lparam));
}
inline std::uint32_t add_serial(std::intptr_t lparam) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(lparam) >> 32) & kSerialMask;
}

// The status values the caller mirrors, handed over by copy.
struct StatusCopy {
  std::int32_t outstanding = -1;  // buffers at the device; -1 = no stream
  std::int32_t play_state = kIdle;
  std::uint32_t completed = 0;
  std::uint32_t serial = 0;
  // Blocks of the stream `serial` the worker had taken in when it sent this:
  // a starved status with fewer than the caller has handed in is already past.
  std::uint32_t received = 0;
};

static_assert(sizeof(std::intptr_t) == 8, "status packing needs 64-bit message parameters");

inline void pack_status(const StatusCopy& status, std::uintptr_t& wparam, std::intptr_t& lparam) {
  wparam = std::uint64_t{status.completed} | std::uint64_t{status.received} << 32;
  lparam =
      static_cast<std::intptr_t>(static_cast<std::uint32_t>(status.outstanding) |
                                 std::uint64_t{static_cast<std::uint8_t>(status.play_state)} << 32 |
                                 std::uint64_t{status.serial & kSerialMask} << 40);
}

inline StatusCopy unpack_status(std::uintptr_t wparam, std::intptr_t lparam) {
  const auto bits = static_cast<std::uint64_t>(lparam);
  StatusCopy status;
  status.completed = static_cast<std::uint32_t>(wparam);
  status.received = static_cast<std::uint32_t>(std::uint64_t{wparam} >> 32);
  status.outstanding = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  status.play_state = static_cast<std::int32_t>((bits >> 32) & 0xFF);
  status.serial = static_cast<std::uint32_t>(bits >> 40) & kSerialMask;
  return status;
}

}  // namespace sondrel
