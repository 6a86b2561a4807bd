#include "file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "calendo/io.h"

namespace calendo::tool {

Result<timespec> ModificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    const int error_number = errno;
    return Fault{Failure::CannotOpen, 0, system_text(error_number), error_number};
  }
  return status.st_mtim;
}

Status SetModificationTime(const std::string& path, const timespec& time) {
  const timespec times[2] = {{0, UTIME_OMIT}, time};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    const int error_number = errno;
    return Fault{Failure::CannotWrite, 0,
                 "cannot set the modification time of " + path + ": " + system_text(error_number),
                 error_number};
  }
  return {};
}

std::string IsoDateTime(const timespec& time) {
  std::tm parts{};
  const std::time_t seconds = time.tv_sec;
  ::gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace calendo::tool
