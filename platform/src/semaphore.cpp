#include "platform/semaphore.h"

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "calendo/io.h"

namespace platform {

struct NamedSemaphore::Handle {
  sem_t* sem;
};

namespace {

timespec deadline_after(std::chrono::milliseconds timeout) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto total_ns = static_cast<long long>(now.tv_nsec) +
                        std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
  timespec deadline{};
  deadline.tv_sec = now.tv_sec + static_cast<time_t>(total_ns / 1000000000LL);
  deadline.tv_nsec = static_cast<long>(total_ns % 1000000000LL);
  return deadline;
}

}  // namespace

std::string NamedSemaphore::system_name(std::string_view name) {
  std::string result = "/";
  for (char c : name) result += (c == '/') ? '_' : c;
  result += '.';
  result += std::to_string(::getuid());
  return result;
}

calendo::Result<std::unique_ptr<NamedSemaphore>> NamedSemaphore::open(std::string_view name,
                                                                      unsigned initial,
                                                                      unsigned maximum) {
  const std::string path = system_name(name);
  sem_t* sem = ::sem_open(path.c_str(), O_CREAT, 0600, initial);
  if (sem == SEM_FAILED) {
    const int error_number = errno;
    return calendo::Fault{calendo::Failure::CannotOpen, 0,
                          path + ": " + calendo::system_text(error_number), error_number};
  }
  return std::unique_ptr<NamedSemaphore>(new NamedSemaphore(new Handle{sem}, maximum));
}

NamedSemaphore::NamedSemaphore(Handle* handle, unsigned maximum)
    : handle_(handle), maximum_(maximum) {}

NamedSemaphore::~NamedSemaphore() {
  ::sem_close(handle_->sem);
  delete handle_;
}

bool NamedSemaphore::release() {
  int value = 0;
  // The check and the post are not atomic: the maximum is a guard against
  // runaway counts, not an exact limit under concurrent releases.
  if (::sem_getvalue(handle_->sem, &value) == 0 && value >= 0 &&
      static_cast<unsigned>(value) >= maximum_) {
    return false;
  }
  return ::sem_post(handle_->sem) == 0;
}

bool NamedSemaphore::wait_for(std::chrono::milliseconds timeout) {
  const timespec deadline = deadline_after(timeout);
  for (;;) {
    if (::sem_timedwait(handle_->sem, &deadline) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool NamedSemaphore::try_wait() {
  for (;;) {
    if (::sem_trywait(handle_->sem) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace platform
