#include "calendo/recorder_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "calendo/byte_order.h"

namespace calendo {

Result<RecorderFile> RecorderFile::open(const char* path) {
  if (path == nullptr) return Fault{Failure::CannotOpen, 0, "no file name"};
  // O_NONBLOCK keeps a FIFO from blocking the open; such a file is refused below.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fault{Failure::CannotOpen, 0, "cannot open the file"};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return Fault{Failure::CannotOpen, 0, "not a regular file"};
  }
  return RecorderFile(fd, static_cast<uint64_t>(info.st_size));
}

RecorderFile::RecorderFile(RecorderFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
  other.fd_ = -1;
}

RecorderFile::~RecorderFile() {
  if (fd_ >= 0) ::close(fd_);
}

void RecorderFile::read_at(uint64_t offset, std::span<uint8_t> out) const {
  size_t done = 0;
  while (done < out.size() && offset + done < size_) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(out.size() - done, size_ - offset - done));
    const ssize_t got = ::pread(fd_, out.data() + done, want, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), uint8_t{0xFF});
}

uint8_t RecorderFile::byte_at(uint64_t offset) const {
  uint8_t byte;
  read_at(offset, std::span(&byte, 1));
  return byte;
}

uint32_t RecorderFile::le16_at(uint64_t offset) const {
  uint8_t b[2];
  read_at(offset, b);
  return le16(b);
}

uint32_t RecorderFile::le32_at(uint64_t offset) const {
  uint8_t b[4];
  read_at(offset, b);
  return le32(b);
}

uint32_t RecorderFile::be32_at(uint64_t offset) const {
  uint8_t b[4];
  read_at(offset, b);
  return be32(b);
}

}  // namespace calendo
