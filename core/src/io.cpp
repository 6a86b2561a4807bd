#include "calendo/io.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace calendo {
namespace {

Fault system_fault(Failure failure, uint64_t offset) {
  const int error_number = errno;
  return Fault{failure, offset, system_text(error_number), error_number};
}

}  // namespace

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

Status UniqueFd::close() {
  if (fd_ < 0) return {};
  // Linux releases the descriptor even when close reports an error; it is
  // never retried.
  if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR)
    return system_fault(Failure::CannotWrite, 0);
  return {};
}

std::string system_text(int error_number) {
  return std::strerror(error_number);
}

Result<UniqueFd> open_fd(const char* path, int flags, mode_t mode) {
  if (path == nullptr) return Fault{Failure::CannotOpen, 0, "no file name"};
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return system_fault((flags & O_CREAT) ? Failure::CannotCreate : Failure::CannotOpen, 0);
  return UniqueFd(fd);
}

Result<std::size_t> read_full(int fd, std::span<uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return system_fault(Failure::CannotRead, done);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

Result<std::size_t> read_full_at(int fd, uint64_t offset, std::span<uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got =
        ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return system_fault(Failure::CannotRead, offset + done);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t read_up_to(int fd, std::span<uint8_t> out) {
  const Result<std::size_t> got = read_full(fd, out);
  return got.ok() ? got.value() : static_cast<std::size_t>(got.fault().offset);
}

std::size_t read_up_to_at(int fd, uint64_t offset, std::span<uint8_t> out) {
  const Result<std::size_t> got = read_full_at(fd, offset, out);
  return got.ok() ? got.value() : static_cast<std::size_t>(got.fault().offset - offset);
}

Status write_all(int fd, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return system_fault(Failure::CannotWrite, done);
    if (wrote == 0) return Fault{Failure::CannotWrite, done, system_text(ENOSPC), ENOSPC};
    done += static_cast<std::size_t>(wrote);
  }
  return {};
}

Status write_all_at(int fd, uint64_t offset, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return system_fault(Failure::CannotWrite, offset + done);
    if (wrote == 0) return Fault{Failure::CannotWrite, offset + done, system_text(ENOSPC), ENOSPC};
    done += static_cast<std::size_t>(wrote);
  }
  return {};
}

Result<ChildEnd> wait_for_child(pid_t pid) {
  ChildEnd end;
  do {
    end.pid = ::waitpid(pid, &end.status, 0);
  } while (end.pid < 0 && errno == EINTR);
  if (end.pid < 0) return system_fault(Failure::CannotRead, 0);
  return end;
}

}  // namespace calendo
