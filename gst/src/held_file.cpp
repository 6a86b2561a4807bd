#include "held_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace calendo::gst {

HeldFile::HeldFile() : fd_(memfd_create("calendo-recording", MFD_CLOEXEC)) {}

HeldFile::~HeldFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool HeldFile::append(std::span<const uint8_t> bytes, std::string& error) {
  if (fd_ < 0) {
    error = "cannot make an in-memory file";
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(size_ + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error = std::string("cannot hold the file in memory: ") + std::strerror(errno);
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  size_ += bytes.size();
  return true;
}

std::optional<RecorderFile> HeldFile::open() const {
  if (fd_ < 0) return std::nullopt;
  // The readers open files by name; the descriptor's name reaches the same bytes.
  const std::string path = "/proc/self/fd/" + std::to_string(fd_);
  Result<RecorderFile> file = RecorderFile::open(path.c_str());
  if (!file.ok()) return std::nullopt;
  return std::move(file.value());
}

}  // namespace calendo::gst
