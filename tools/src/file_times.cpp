#include "file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace calendo::tool {

std::optional<timespec> ModificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return status.st_mtim;
}

bool SetModificationTime(const std::string& path, const timespec& time, std::string& error) {
  const timespec times[2] = {{0, UTIME_OMIT}, time};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    error = "cannot set the modification time of " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
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
