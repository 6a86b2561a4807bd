// Windows and per-thread message queues: the message plumbing of the platform.
//
// A window is a handle bound to the thread that created it and to a handler
// that the owning thread runs for the window's messages. Every thread gets one
// message queue, made at its first call into this file. Messages are posted to
// a window (they land in the owner's queue) or to a thread (window 0), and are
// taken out with get_message (blocking), wait_message + peek_message
// (non-blocking), then run with dispatch_message. send_message calls the
// handler synchronously: directly on the owner thread, otherwise it blocks
// until the owner has handled the message; a thread that waits in
// send_message or takes messages handles the messages sent to it meanwhile,
// so two threads that send to each other do not deadlock.
//
// Each queue has a wake-up file descriptor (wakeup_fd) that is readable while
// messages (posted or sent) wait, so an event loop can watch it and run
// `while (peek_message(m)) dispatch_message(m);` when it fires.
//
// Handles are never reused. Posting or sending to a destroyed window or to a
// thread that has ended fails cleanly (false / no result); messages still
// queued when a thread ends are discarded, and windows of an ended thread are
// destroyed with it. All functions are thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace platform {

// Window handle; 0 is no window. Fits a message parameter.
using WindowHandle = std::uintptr_t;
inline constexpr WindowHandle kNoWindow = 0;

// Thread queue id; 0 is no thread.
using ThreadId = std::uint64_t;
inline constexpr ThreadId kNoThread = 0;

// Message numbers below kUserMessage belong to the platform.
inline constexpr std::uint32_t kQuitMessage = 0x0012;
inline constexpr std::uint32_t kUserMessage = 0x0400;

struct Message {
  WindowHandle window = kNoWindow;  // kNoWindow for a thread message
  std::uint32_t message = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
};

// Runs on the window's own thread, for dispatched and sent messages.
using WindowHandler =
    std::function<std::intptr_t(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t)>;

// The calling thread's queue id (making its queue if it has none yet).
CALENDO_PLATFORM_API ThreadId current_thread_id();

// Creates a hidden window owned by the calling thread. `name` is kept for
// window_name. Returns kNoWindow when `handler` is empty.
CALENDO_PLATFORM_API WindowHandle create_window(std::string_view name, WindowHandler handler);

// Destroys a window; only its owner thread may. Messages already queued for
// it are dropped when they come to be dispatched. False for an unknown handle
// or a call from another thread.
CALENDO_PLATFORM_API bool destroy_window(WindowHandle window);

CALENDO_PLATFORM_API bool is_window(WindowHandle window);
// Owner thread of a live window; kNoThread otherwise.
CALENDO_PLATFORM_API ThreadId window_thread(WindowHandle window);
// Name given at creation; empty for an unknown handle.
CALENDO_PLATFORM_API std::string window_name(WindowHandle window);

// Appends a message to the queue of the window's owner. False when the window
// does not exist (or its thread has ended).
CALENDO_PLATFORM_API bool post_message(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wparam, std::intptr_t lparam);

// Appends a thread message (window kNoWindow). False when no live thread has
// that id.
CALENDO_PLATFORM_API bool post_thread_message(ThreadId thread, std::uint32_t message,
                                              std::uintptr_t wparam, std::intptr_t lparam);

// Posts kQuitMessage to the calling thread; get_message returns false on it.
CALENDO_PLATFORM_API void post_quit_message(int exit_code);

// Runs the window's handler and returns its result; blocks across threads
// until the owner has handled the message. nullopt when the window does not
// exist, or is destroyed or its thread ends before handling it.
CALENDO_PLATFORM_API std::optional<std::intptr_t> send_message(WindowHandle window,
                                                               std::uint32_t message,
                                                               std::uintptr_t wparam,
                                                               std::intptr_t lparam);

// Waits for the next posted message of the calling thread and takes it.
// Returns false when it is kQuitMessage (its wparam holds the exit code).
CALENDO_PLATFORM_API bool get_message(Message& out);

// Takes (or, with remove = false, copies) the oldest posted message without
// waiting. False when none waits. Handles waiting sent messages first.
CALENDO_PLATFORM_API bool peek_message(Message& out, bool remove = true);

// Waits until a posted message waits or `timeout` passes; handles sent
// messages meanwhile. True when a posted message waits.
CALENDO_PLATFORM_API bool wait_message(std::chrono::milliseconds timeout);

// Runs the handler of message.window, which must be a live window of the
// calling thread, and returns its result; 0 (nothing run) otherwise, and for
// thread messages.
CALENDO_PLATFORM_API std::intptr_t dispatch_message(const Message& message);

// The calling thread's wake-up descriptor: readable while messages wait in its
// queue. Owned by the platform (do not close or read it); valid until the
// thread ends. -1 if it cannot be made.
CALENDO_PLATFORM_API int wakeup_fd();

// Number of posted messages waiting in the calling thread's queue.
CALENDO_PLATFORM_API std::size_t pending_message_count();

}  // namespace platform
