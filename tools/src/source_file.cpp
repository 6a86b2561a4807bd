#include "source_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace calendo::tool {

std::optional<std::string> NotARegularFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::string(std::strerror(errno));
  if (S_ISREG(info.st_mode)) return std::nullopt;
  if (S_ISDIR(info.st_mode)) return std::string("is a folder");
  if (S_ISFIFO(info.st_mode)) return std::string("is a FIFO, not a regular file");
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
    return std::string("is a device, not a regular file");
  if (S_ISSOCK(info.st_mode)) return std::string("is a socket, not a regular file");
  return std::string("is not a regular file");
}

}  // namespace calendo::tool
