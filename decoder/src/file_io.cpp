#include "file_io.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace tesmor {
namespace {

int open_retrying(const char* path, int flags) {
  if (path == nullptr) return -1;
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

File File::open_read(const char* path) {
  return File(open_retrying(path, O_RDONLY));
}

File File::create(const char* path) {
  return File(open_retrying(path, O_WRONLY | O_CREAT | O_TRUNC));
}

File File::append(const char* path) {
  return File(open_retrying(path, O_WRONLY | O_CREAT | O_APPEND));
}

File::~File() {
  close();
}

std::size_t File::read_up_to(void* buffer, std::size_t bytes) {
  auto* p = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes) {
    const ssize_t n = ::read(fd_, p + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool File::seek(int64_t offset) {
  return fd_ >= 0 && offset >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset;
}

bool File::write_all(const void* buffer, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes) {
    const ssize_t n = ::write(fd_, p + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return done == bytes;
}

bool File::close() {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0 || errno == EINTR;
}

}  // namespace tesmor
