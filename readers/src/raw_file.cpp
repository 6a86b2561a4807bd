#include "raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "calendo/io.h"

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
  const calendo::Result<std::size_t> got =
      calendo::read_full(fd_, {static_cast<uint8_t*>(into), size});
  if (!got.ok()) return std::nullopt;
  return got.value();
}

}  // namespace readers
