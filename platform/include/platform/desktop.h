// The user's top-level windows as one program finds another: a registry of
// windows in z-order with their titles, requests between them (copy-data,
// bring to front) and the previous-instance lock.
//
// Everything lives in one per-user directory: $CALENDO_DESKTOP_DIR when set
// (tests point it at a scratch folder), else $XDG_RUNTIME_DIR/calendo, else
// /tmp/calendo-$UID. It is created with mode 0700; one that is a symbolic
// link, owned by another user or readable by others is refused. Each window
// has an entry there (process, activation stamp, title) and a Unix-domain
// socket on which it receives requests. Peers of another user are refused.
//
// Ownership and threads: a window belongs to the thread that created it. Only
// that thread may change it, and its handlers run only on that thread, inside
// desktop_process_pending() (or desktop_wait_and_process()). The pollable
// descriptor of desktop_event_fd() tells an event loop when to call it; a Qt
// program hangs a QSocketNotifier on it. Queries and requests may be made from
// any thread. A handler may call back into this layer, including the pending
// processing itself (nested event loops are fine).
//
// Window handles are 32-bit, never 0, unique on the user's desktop while the
// window lives. Entries left by processes that died are skipped and removed by
// the walk. No function here throws.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendo/fault.h"
#include "platform/export.h"

namespace platform {

// Handle of a top-level window on the user's desktop; 0 means none.
using DesktopWindow = uint32_t;

// ---- The per-user directory ------------------------------------------------

// The per-user directory, created if missing; a Fault that says why when it
// cannot be made or is refused.
CALENDO_PLATFORM_API calendo::Result<std::string> desktop_directory();

// ---- Windows of this process (owner thread only) ---------------------------

// A copy-data message as the receiving window sees it.
struct DesktopCopyData {
  uint32_t first;         // the message's identifier field, chosen by the sender
  std::string_view text;  // the bytes before the terminating zero; valid during the call
};
using DesktopCopyDataHandler = std::function<void(const DesktopCopyData&)>;
using DesktopFrontHandler = std::function<void()>;

// Registers a new top-level window of the calling thread with `title`, at the
// top of the z-order. Returns 0 (and says why in `why`, when given) when the
// directory is refused or the socket cannot be made.
CALENDO_PLATFORM_API DesktopWindow desktop_create_window(std::string_view title,
                                                         calendo::Fault* why = nullptr);

// Removes the window from the desktop. Requests still waiting are answered as
// failed. False for a handle this process does not own.
CALENDO_PLATFORM_API bool desktop_destroy_window(DesktopWindow window);

// Replaces the title that other programs read (cut at a zero byte). Call it on
// every title change. False for a foreign handle or a title over 65535 bytes.
CALENDO_PLATFORM_API bool desktop_set_title(DesktopWindow window, std::string_view title);

// Moves the window to the top of the z-order; call it when the window is
// activated. Bring-to-front requests do this themselves.
CALENDO_PLATFORM_API bool desktop_activate(DesktopWindow window);

// Adds a handler that runs for every copy-data message the window receives,
// in the order handlers were added. Returns its id (never 0), 0 on failure.
CALENDO_PLATFORM_API uint32_t desktop_add_copy_data_handler(DesktopWindow window,
                                                            DesktopCopyDataHandler handler);
CALENDO_PLATFORM_API bool desktop_remove_copy_data_handler(DesktopWindow window,
                                                           uint32_t handler_id);

// The handler that carries out a bring-to-front request (raise, restore,
// activate the real window); an empty function removes it.
CALENDO_PLATFORM_API bool desktop_set_front_handler(DesktopWindow window,
                                                    DesktopFrontHandler handler);

// A descriptor that polls readable while the window has requests to process;
// -1 for a foreign handle. It stays owned by the window.
CALENDO_PLATFORM_API int desktop_event_fd(DesktopWindow window);

// Reads what has arrived, runs the handlers of every complete request and
// answers each sender. Never blocks. Returns the number of requests handled,
// -1 for a foreign handle or a call from a thread that does not own it.
CALENDO_PLATFORM_API int desktop_process_pending(DesktopWindow window);

// Waits up to `timeout` for at least one request and processes it (and any
// others pending). Returns the number handled (0 on timeout), -1 as above.
CALENDO_PLATFORM_API int desktop_wait_and_process(DesktopWindow window,
                                                  std::chrono::milliseconds timeout);

// ---- The z-order walk (any thread) -----------------------------------------

// The topmost live window, 0 when there is none.
CALENDO_PLATFORM_API DesktopWindow desktop_top_window();

// The next live window below `window` in the z-order, 0 at the bottom or for
// an unknown handle.
CALENDO_PLATFORM_API DesktopWindow desktop_next_window(DesktopWindow window);

// All live windows, topmost first.
CALENDO_PLATFORM_API std::vector<DesktopWindow> desktop_windows();

// The window's title, nothing for an unknown window.
CALENDO_PLATFORM_API std::optional<std::string> desktop_title(DesktopWindow window);

// Length of the title in bytes; 0 for an unknown window.
CALENDO_PLATFORM_API int32_t desktop_title_length(DesktopWindow window);

// Copies at most size - 1 bytes of the title and a zero into `buffer` (nothing
// when size < 1). Returns the number of title bytes copied.
CALENDO_PLATFORM_API int32_t desktop_title_text(DesktopWindow window, char* buffer, int32_t size);

// ---- Requests to a window (any thread) -------------------------------------

enum class DesktopDelivery {
  handled,     // the receiver ran its handlers before answering
  no_handler,  // delivered, but the receiver has no handler for it
  no_window,   // no live window with that handle
  refused,     // the text is too long, the peer is of another user, or the receiver refused
  timed_out,   // no answer within the timeout
};

inline constexpr std::chrono::milliseconds kDesktopRequestTimeout{5000};

// Largest text a copy-data message carries: its bytes and the terminating
// zero must fit in a 16-bit byte count.
inline constexpr std::size_t kDesktopMaxCopyDataText = 65534;

// Sends `text` (without its terminating zero; cut at any zero inside) to the
// window and returns once the receiver's handlers ran, or after `timeout`.
// A window of the calling thread gets its handlers run directly.
CALENDO_PLATFORM_API DesktopDelivery
desktop_send_copy_data(DesktopWindow window, uint32_t first, std::string_view text,
                       std::chrono::milliseconds timeout = kDesktopRequestTimeout);

// Asks the window to come to the front and returns once it did so (its front
// handler ran and it is on top of the z-order), or after `timeout`.
CALENDO_PLATFORM_API DesktopDelivery desktop_bring_to_front(
    DesktopWindow window, std::chrono::milliseconds timeout = kDesktopRequestTimeout);

// ---- The previous-instance lock --------------------------------------------

enum class InstanceLock {
  taken,           // this process holds it now (or already did)
  held_elsewhere,  // another running process holds it
  unavailable,     // the directory is refused or the lock file cannot be opened
};

// Takes the lock named `program` (letters, digits, '-', '_') for the rest of
// the process's life (an exec'd child does not inherit it).
CALENDO_PLATFORM_API InstanceLock desktop_take_instance_lock(std::string_view program);

// Whether another process holds the lock, without taking it.
CALENDO_PLATFORM_API bool desktop_instance_held_elsewhere(std::string_view program);

// Gives the lock back; false when this process does not hold it.
CALENDO_PLATFORM_API bool desktop_release_instance_lock(std::string_view program);

}  // namespace platform
