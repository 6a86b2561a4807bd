#include "source_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "calendo/byte_source.h"
#include "calendo/io.h"

namespace calendo::tool {

Status RequireRegularFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error_number = errno;
    return Fault{Failure::CannotOpen, 0, system_text(error_number), error_number};
  }
  if (S_ISREG(info.st_mode)) return {};
  if (S_ISDIR(info.st_mode)) return Fault{Failure::IsFolder, 0, "is a folder"};
  const char* what = "is not a regular file";
  if (S_ISFIFO(info.st_mode)) {
    what = "is a FIFO, not a regular file";
  } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
    what = "is a device, not a regular file";
  } else if (S_ISSOCK(info.st_mode)) {
    what = "is a socket, not a regular file";
  }
  return Fault{Failure::CannotOpen, 0, what};
}

Fault OpenFailure(const std::string& path, const std::string& otherwise) {
  if (const Status regular = RequireRegularFile(path); !regular.ok()) return regular.fault();
  const Result<RecorderFile> file = RecorderFile::open(path.c_str());
  if (!file.ok()) return file.fault();
  return Fault{Failure::CannotRead, 0, otherwise};
}

}  // namespace calendo::tool
