// Named counting semaphores shared between threads and processes of one user.
//
// A name such as "WavPlaySemaphore" is made per user (the user id is part of
// the system name), so two users never meet on one semaphore; processes of the
// same user do. The semaphore outlives its handles (like any POSIX named
// semaphore); the count is what it is, so users that share a name must not
// rely on a count being theirs alone. A handle may be used from any thread.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "calendo/fault.h"
#include "platform/export.h"

namespace platform {

class CALENDO_PLATFORM_API NamedSemaphore {
 public:
  // Creates the semaphore with `initial` count, or opens it when it exists
  // (then `initial` is ignored). `maximum` bounds release(). A Fault that
  // says why when the system refuses.
  static calendo::Result<std::unique_ptr<NamedSemaphore>> open(std::string_view name,
                                                               unsigned initial, unsigned maximum);

  ~NamedSemaphore();
  NamedSemaphore(const NamedSemaphore&) = delete;
  NamedSemaphore& operator=(const NamedSemaphore&) = delete;

  // Raises the count by one; false when it is already at the maximum.
  bool release();
  // Takes one count, waiting at most `timeout`; false on timeout.
  bool wait_for(std::chrono::milliseconds timeout);
  // Takes one count if there is one, without waiting.
  bool try_wait();

  // The system name used for `name` by this user, e.g. "/WavPlaySemaphore.1000".
  static std::string system_name(std::string_view name);

 private:
  struct Handle;
  NamedSemaphore(Handle* handle, unsigned maximum);
  Handle* handle_;
  unsigned maximum_;
};

}  // namespace platform
