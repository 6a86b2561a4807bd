// The previous-instance lock: a file "<program>.instance" in the per-user
// directory with an open-file-description write lock on it. Such a lock can be
// queried without taking it, goes away with the process, and is not inherited
// by programs the process runs (the descriptor closes on exec).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "desktop_fd.h"
#include "desktop_registry.h"
#include "platform/desktop.h"

namespace platform {
namespace {

struct HeldLocks {
  std::mutex mutex;
  std::map<std::string, UniqueFd, std::less<>> by_program;
};

HeldLocks& held() {
  static HeldLocks* instance = new HeldLocks;
  return *instance;
}

bool valid_program(std::string_view program) {
  if (program.empty() || program.size() > 64) return false;
  for (char c : program) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

UniqueFd open_lock_file(std::string_view program) {
  const std::string dir = desktop_registry::directory().value_or({});
  if (dir.empty()) return UniqueFd();
  const std::string path = dir + "/" + std::string(program) + ".instance";
  return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
}

flock whole_file(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

}  // namespace

calendo::Result<std::string> desktop_directory() {
  try {
    return desktop_registry::directory();
  } catch (const std::bad_alloc&) {
    return calendo::Fault{calendo::Failure::CannotOpen, 0, "out of memory"};
  }
}

InstanceLock desktop_take_instance_lock(std::string_view program) {
  if (!valid_program(program)) return InstanceLock::unavailable;
  try {
    HeldLocks& locks = held();
    std::lock_guard guard(locks.mutex);
    if (locks.by_program.find(program) != locks.by_program.end()) return InstanceLock::taken;
    UniqueFd fd = open_lock_file(program);
    if (!fd.valid()) return InstanceLock::unavailable;
    flock lock = whole_file(F_WRLCK);
    while (::fcntl(fd.get(), F_OFD_SETLK, &lock) != 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EACCES) return InstanceLock::held_elsewhere;
      return InstanceLock::unavailable;
    }
    locks.by_program.emplace(std::string(program), std::move(fd));
    return InstanceLock::taken;
  } catch (const std::bad_alloc&) {
    return InstanceLock::unavailable;
  }
}

bool desktop_instance_held_elsewhere(std::string_view program) {
  if (!valid_program(program)) return false;
  try {
    HeldLocks& locks = held();
    std::lock_guard guard(locks.mutex);
    if (locks.by_program.find(program) != locks.by_program.end()) return false;
    UniqueFd fd = open_lock_file(program);
    if (!fd.valid()) return false;
    flock lock = whole_file(F_WRLCK);
    if (::fcntl(fd.get(), F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool desktop_release_instance_lock(std::string_view program) {
  HeldLocks& locks = held();
  std::lock_guard guard(locks.mutex);
  auto found = locks.by_program.find(program);
  if (found == locks.by_program.end()) return false;
  locks.by_program.erase(found);  // closing the descriptor drops the lock
  return true;
}

}  // namespace platform
