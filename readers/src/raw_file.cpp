#include "raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace readers {

std::optional<RawFile> RawFile::open(const char* path) {
  if (path == nullptr) return std::nullopt;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  RawFile file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
  // Non-blocking only served the open; reads wait for data as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return std::nullopt;
  return file;
}

RawFile::RawFile(RawFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RawFile::~RawFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawFile::seek(int64_t offset) {
  if (offset < 0) return false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::optional<std::size_t> RawFile::read(void* into, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(into);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd_, bytes + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace readers
