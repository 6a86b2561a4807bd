#include "calendo/client/file_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "calendo/container_magic.h"

namespace calendo {

int16_t RecorderKindOfContent(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kKindNone;
  std::array<uint8_t, kMagicBytes> head{};
  size_t got = 0;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    while (got < head.size()) {
      const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  switch (container_of_magic(std::span<const uint8_t>(head.data(), got))) {
    case MagicContainer::Vqr:
      return kKindVqr;
    case MagicContainer::Vqm:
      return kKindVqm;
    case MagicContainer::None:
      break;
  }
  return kKindNone;
}

}  // namespace calendo
