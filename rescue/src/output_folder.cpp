#include "output_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "calendo/io.h"

namespace calendo::rescue {
namespace {

std::string numbered(const std::string& name, int n) {
  if (n == 1) return name;
  const std::size_t dot = name.rfind('.');
  const std::size_t slash = name.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return name + "-" + std::to_string(n);
  return name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

}  // namespace

Result<OutputFolder> OutputFolder::open(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error || !std::filesystem::is_directory(path))
    return Fault{Failure::CannotCreate, 0,
                 path + ": " + (error ? error.message() : "not a folder")};
  return OutputFolder(path);
}

Result<std::string> OutputFolder::write(const std::string& name, std::span<const uint8_t> bytes,
                                        std::time_t modified) {
  const std::filesystem::path target = std::filesystem::path(path_) / name;
  std::error_code error;
  std::filesystem::create_directories(target.parent_path(), error);
  const std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".partial")).string();
  Result<UniqueFd> fd = open_fd(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (!fd.ok()) return Fault{Failure::CannotCreate, 0, temporary + ": " + fd.fault().message};
  Status wrote = write_all(fd->get(), bytes);
  if (wrote.ok() && ::fsync(fd->get()) != 0)
    wrote = Fault{Failure::CannotWrite, 0, system_text(errno)};
  if (wrote.ok() && modified != 0) {
    const timespec times[2] = {{0, UTIME_OMIT}, {modified, 0}};
    ::futimens(fd->get(), times);
  }
  if (wrote.ok()) wrote = fd->close();
  if (!wrote.ok()) {
    ::unlink(temporary.c_str());
    return Fault{Failure::CannotWrite, 0, temporary + ": " + wrote.fault().message};
  }
  // link() never replaces: a taken name fails with EEXIST.
  for (int n = 1; n < 10000; ++n) {
    const std::string final_name = numbered(target.string(), n);
    if (::link(temporary.c_str(), final_name.c_str()) == 0) {
      ::unlink(temporary.c_str());
      return final_name;
    }
    if (errno != EEXIST) break;
  }
  const int reason = errno;
  ::unlink(temporary.c_str());
  return Fault{Failure::CannotCreate, 0, target.string() + ": " + system_text(reason)};
}

}  // namespace calendo::rescue
