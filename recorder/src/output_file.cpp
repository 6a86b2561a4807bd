#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "calendo/io.h"

namespace kestrune::making {

std::optional<OutputFile> OutputFile::open(const char* path, int flags) {
  if (path == nullptr) return std::nullopt;
  // O_NONBLOCK keeps a FIFO without a reader from blocking the open; anything
  // but a regular file is refused below.
  const int fd = ::open(path, flags | O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return OutputFile(fd, static_cast<uint64_t>(info.st_size));
}

std::optional<OutputFile> OutputFile::create(const char* path) {
  return open(path, O_TRUNC);
}

std::optional<OutputFile> OutputFile::append(const char* path) {
  return open(path, O_APPEND);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_), opened_size_(other.opened_size_) {
  other.fd_ = -1;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool OutputFile::write(std::span<const uint8_t> bytes) {
  return calendo::write_all(fd_, bytes).ok();
}

void OutputFile::undo() {
  // Nothing more can be done when even this fails; the caller reports the failure.
  [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(opened_size_));
}

}  // namespace kestrune::making
