// Space, type and reachability of the file system that holds a root.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>

#include "drives_internal.h"
#include "platform/drives.h"

namespace platform {
namespace drives_detail {

namespace {

// "C:", "c:\" or "D:/": a root in the Windows sense, which Linux has not.
bool is_drive_letter(const std::string& root) {
  if (root.size() < 2 || root.size() > 3 || root[1] != ':') return false;
  const char letter = root[0];
  const bool alpha = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
  return alpha && (root.size() == 2 || root[2] == '\\' || root[2] == '/');
}

}  // namespace

DriveQuery<std::string> resolve_root(const std::string& root) {
  if (root.empty() || is_drive_letter(root) || root.find('\0') != std::string::npos) {
    return drive_failure(ENOENT);
  }
  std::unique_ptr<char, decltype(&std::free)> canonical(::realpath(root.c_str(), nullptr),
                                                        &std::free);
  if (!canonical) {
    return drive_failure(errno);
  }
  struct stat info {};
  if (::stat(canonical.get(), &info) != 0) {
    return drive_failure(errno);
  }
  if (!S_ISDIR(info.st_mode)) {
    return drive_failure(ENOTDIR);
  }
  return std::string(canonical.get());
}

std::string disk_sysfs_dir(uint32_t major, uint32_t minor) {
  if (major == 0) return {};  // anonymous devices: tmpfs, proc, btrfs subvolumes, ...
  const std::string link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  std::unique_ptr<char, decltype(&std::free)> device(::realpath(link.c_str(), nullptr), &std::free);
  if (!device) return {};
  std::string dir = device.get();
  // A partition's attributes such as "removable" live with its disk.
  if (::access((dir + "/partition").c_str(), F_OK) == 0) {
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0) return {};
    dir.erase(slash);
  }
  return dir;
}

std::optional<std::string> read_first_line(const std::string& path) {
  const calendo::Result<calendo::UniqueFd> file = calendo::open_fd(path.c_str(), O_RDONLY);
  if (!file.ok()) return std::nullopt;
  std::array<uint8_t, 255> bytes{};
  const std::size_t got = calendo::read_up_to(file->get(), bytes);
  if (got == 0) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(bytes.data()), got);
  text.erase(std::min(text.find('\n'), text.size()));
  while (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

}  // namespace drives_detail

namespace {

uint64_t saturating_product(uint64_t a, uint64_t b) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) {
    return std::numeric_limits<uint64_t>::max();
  }
  return a * b;
}

uint32_t saturate32(uint64_t value) {
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

uint32_t logical_sector_size(const DriveQuery<MountLocation>& where) {
  if (!where.ok()) return 512;
  const std::string disk =
      drives_detail::disk_sysfs_dir(where.value().mount.major, where.value().mount.minor);
  if (disk.empty()) return 512;
  const auto text = drives_detail::read_first_line(disk + "/queue/logical_block_size");
  uint32_t size = 0;
  if (!text || std::sscanf(text->c_str(), "%u", &size) != 1 || size == 0) return 512;
  return size;
}

bool is_removable_device(uint32_t major, uint32_t minor) {
  const std::string disk = drives_detail::disk_sysfs_dir(major, minor);
  if (disk.empty()) return false;
  const auto text = drives_detail::read_first_line(disk + "/removable");
  return text && *text == "1";
}

}  // namespace

DriveQuery<MountLocation> locate_mount(const std::string& root) {
  auto canonical = drives_detail::resolve_root(root);
  if (!canonical.ok()) {
    return drive_failure(query_error(canonical));
  }
  auto mounts = mounted_file_systems();
  if (!mounts.ok()) {
    return drive_failure(query_error(mounts));
  }
  const MountEntry* mount = find_mount(mounts.value(), canonical.value());
  if (mount == nullptr) {
    return drive_failure(ENOENT);
  }
  MountLocation location;
  location.mount = *mount;
  location.is_mount_point = mount->mount_point == canonical.value();
  location.path = std::move(canonical.value());
  return location;
}

DriveQuery<DiskSpace> disk_space(const std::string& root) {
  auto canonical = drives_detail::resolve_root(root);
  if (!canonical.ok()) {
    return drive_failure(query_error(canonical));
  }
  struct statvfs info {};
  if (::statvfs(canonical.value().c_str(), &info) != 0) {
    return drive_failure(errno);
  }
  // Block counts are in units of the fragment size; a file system that does
  // not fill it in means its block size.
  const uint64_t block = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  DiskSpace space;
  space.total_bytes = saturating_product(info.f_blocks, block);
  space.free_bytes = saturating_product(info.f_bfree, block);
  space.available_bytes = saturating_product(info.f_bavail, block);

  const uint32_t sector = logical_sector_size(locate_mount(canonical.value()));
  if (block >= sector && block % sector == 0) {
    space.bytes_per_sector = sector;
    space.sectors_per_cluster = saturate32(block / sector);
  } else {
    space.bytes_per_sector = saturate32(block);
    space.sectors_per_cluster = 1;
  }
  space.total_clusters = saturate32(info.f_blocks);
  space.free_clusters = saturate32(info.f_bfree);
  return space;
}

DriveType drive_type_of_file_system(std::string_view file_system) {
  if (drives_detail::one_of(file_system, {"tmpfs", "ramfs", "devtmpfs"})) return DriveType::ramdisk;
  if (drives_detail::one_of(file_system, {"iso9660", "udf"})) return DriveType::cdrom;
  if (drives_detail::one_of(file_system,
                            {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "coda", "9p",
                             "ceph", "glusterfs", "lustre", "davfs", "fuse.sshfs", "fuse.glusterfs",
                             "fuse.davfs2", "fuse.rclone", "fuse.s3fs"})) {
    return DriveType::remote;
  }
  return DriveType::fixed;
}

DriveType drive_type(const std::string& root) {
  if (!drives_detail::resolve_root(root).ok()) return DriveType::no_root_dir;
  const auto where = locate_mount(root);
  if (!where.ok()) return DriveType::unknown;
  const MountEntry& mount = where.value().mount;
  const DriveType type = drive_type_of_file_system(mount.file_system);
  if (type == DriveType::fixed && is_removable_device(mount.major, mount.minor)) {
    return DriveType::removable;
  }
  return type;
}

bool root_can_be_listed(const std::string& root) {
  const auto canonical = drives_detail::resolve_root(root);
  if (!canonical.ok()) return false;
  DIR* dir = ::opendir(canonical.value().c_str());
  if (dir == nullptr) return false;
  errno = 0;
  const bool listed = ::readdir(dir) != nullptr || errno == 0;
  ::closedir(dir);
  return listed;
}

bool is_on_mounted_file_system(const std::string& root) {
  return locate_mount(root).ok();
}

}  // namespace platform
