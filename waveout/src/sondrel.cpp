// The six exports of libsondrel.
#include "sondrel.h"

#include <chrono>
#include <memory>

#include "platform/memory.h"
#include "platform/semaphore.h"
#include "wav_dll_wnd.h"
#include "wav_header.h"
#include "wav_messages.h"
#include "wav_thread.h"

namespace {

using namespace std::chrono_literals;
using sondrel::CWavDllWnd;

constexpr auto kStartTimeout = 5s;
constexpr auto kEndTimeout = 5s;

// Made by the first WavCreate, deleted by WavDestroy; never destroyed at
// process exit, when a worker may still run.
CWavDllWnd* dll_wnd = nullptr;

bool post_to_worker(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
  if (dll_wnd == nullptr || !dll_wnd->thread) return false;
  return platform::post_thread_message(dll_wnd->thread->thread_id(), message, wparam, lparam);
}

}  // namespace

extern "C" {

int32_t WavCreate(void) {
  if (dll_wnd == nullptr) {
    auto made = std::make_unique<CWavDllWnd>();
    if (!made->Create()) return 0;
    dll_wnd = made.release();
  }
  if (dll_wnd->thread) return 0;
  auto semaphore = platform::NamedSemaphore::open(sondrel::kSemaphoreName, 0, 100);
  if (!semaphore) return 0;
  auto thread = std::make_unique<sondrel::CWavThread>();
  if (!thread->Begin()) return 0;
  if (!thread->WaitStarted(**semaphore, kStartTimeout)) {
    thread->WaitEnded(kEndTimeout);
    return 0;
  }
  dll_wnd->Attach(std::move(thread));
  if (!post_to_worker(sondrel::WAV_MSG_HELLO, dll_wnd->handle(), 0)) {
    dll_wnd->thread->WaitEnded(kEndTimeout);
    dll_wnd->thread.reset();
    return 0;
  }
  return 1;
}

int32_t WavAddPlayData(void** block, uint32_t length) {
  if (dll_wnd == nullptr || !dll_wnd->thread || block == nullptr) return 0;
  void* address = *block;
  // The engine frees what it takes, so it takes only live blocks that hold
  // the bytes they are said to hold.
  if (!platform::block_is_live(address) || platform::block_size(address) < length) return 0;

  CWavDllWnd& engine = *dll_wnd;
  if (!engine.HasStream()) {
    const auto header =
        sondrel::parse_header_block(static_cast<const std::uint8_t*>(address), length);
    if (!header) return 0;
    const std::int64_t pcm_given = static_cast<std::int64_t>(length - header->pcm_offset);
    const std::int64_t left = std::int64_t{header->stream_bytes} - pcm_given;
    const std::uint32_t serial = (engine.serial() + 1) & sondrel::kSerialMask;
    if (!post_to_worker(sondrel::WAV_MSG_ADD, reinterpret_cast<std::uintptr_t>(address),
                        sondrel::pack_add(length, serial))) {
      return 0;
    }
    engine.StartStream(serial, left < 0 ? 0 : static_cast<std::uint32_t>(left));
    return 1;
  }
  if (engine.StreamComplete()) return 0;
  if (!post_to_worker(sondrel::WAV_MSG_ADD, reinterpret_cast<std::uintptr_t>(address),
                      sondrel::pack_add(length, engine.serial()))) {
    return 0;
  }
  engine.ContinueStream(length);
  return 1;
}

int32_t WavPause(int32_t pause) {
  return post_to_worker(sondrel::WAV_MSG_PAUSE, pause != 0 ? 1 : 0, 0) ? 1 : 0;
}

int32_t WavStop(void) {
  return post_to_worker(sondrel::WAV_MSG_STOP, 0, 0) ? 1 : 0;
}

int32_t WavNowPlay(void) {
  if (dll_wnd == nullptr || !dll_wnd->thread) return SONDREL_NOW_NO_ENGINE;
  const sondrel::StatusCopy& mirror = dll_wnd->mirror();
  switch (mirror.play_state) {
    case sondrel::kIdle:
      return SONDREL_NOW_IDLE;
    case sondrel::kStarved:
      // Starved means every block handed in has played: a report sent before
      // the worker took in the newest ones is already past.
      if (mirror.received != dll_wnd->added()) return static_cast<int32_t>(mirror.completed);
      return SONDREL_NOW_STARVED;
    case sondrel::kPaused:
      return SONDREL_NOW_PAUSED;
    default:
      return static_cast<int32_t>(mirror.completed);
  }
}

void WavDestroy(void) {
  if (dll_wnd == nullptr) return;
  if (dll_wnd->thread) {
    post_to_worker(sondrel::WAV_MSG_QUIT, 0, 0);
    dll_wnd->thread->WaitEnded(kEndTimeout);
    dll_wnd->thread.reset();
  }
  delete dll_wnd;
  dll_wnd = nullptr;
}

}  // extern "C"
