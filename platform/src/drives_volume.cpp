// Volume label, serial number, name length and flags of a file system.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "drives_internal.h"
#include "platform/drives.h"

namespace platform {
namespace {

bool has_option(std::string_view options, std::string_view name) {
  while (!options.empty()) {
    const std::size_t comma = options.find(',');
    std::string_view option = options.substr(0, comma);
    option = option.substr(0, option.find('='));
    if (option == name) return true;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return false;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

using Descriptor = calendo::UniqueFd;

// The entry of a /dev/disk/by-* folder that names this block device, with
// udev's escapes decoded; empty when there is none (no udev, no such name).
std::string disk_alias(const char* folder, uint32_t major, uint32_t minor) {
  if (major == 0) return {};
  DIR* dir = ::opendir(folder);
  if (dir == nullptr) return {};
  const dev_t device = makedev(major, minor);
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0) continue;
    if (S_ISBLK(info.st_mode) && info.st_rdev == device) {
      found = decode_udev_escapes(entry->d_name);
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string read_label(int fd, const MountEntry& mount) {
  std::array<char, FSLABEL_MAX + 1> label{};
  if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFSLABEL, label.data()) == 0) {
    return std::string(label.data(), ::strnlen(label.data(), FSLABEL_MAX));
  }
  return disk_alias("/dev/disk/by-label", mount.major, mount.minor);
}

uint32_t read_serial(int fd, const MountEntry& mount, unsigned long fsid) {
  uint32_t volume_id = 0;
  if (fd >= 0 && mount.file_system == "vfat" &&
      ::ioctl(fd, FAT_IOCTL_GET_VOLUME_ID, &volume_id) == 0) {
    return volume_id;
  }
  if (auto serial = serial_from_uuid(disk_alias("/dev/disk/by-uuid", mount.major, mount.minor))) {
    return *serial;
  }
  const auto id = static_cast<uint64_t>(fsid);
  return static_cast<uint32_t>(id ^ (id >> 32));
}

}  // namespace

std::string decode_udev_escapes(std::string_view name) {
  std::string decoded;
  decoded.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int high = hex_digit(name[i + 2]);
      const int low = hex_digit(name[i + 3]);
      if (high >= 0 && low >= 0) {
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 3;
        continue;
      }
    }
    decoded.push_back(name[i]);
  }
  return decoded;
}

std::optional<uint32_t> serial_from_uuid(std::string_view uuid) {
  std::string digits;
  for (char c : uuid) {
    if (c == '-') continue;
    if (hex_digit(c) < 0) return std::nullopt;
    digits.push_back(c);
  }
  if (digits.empty()) return std::nullopt;
  std::string_view chosen = digits;
  if (digits.size() == 16) {
    chosen.remove_prefix(8);
  } else if (digits.size() > 8) {
    chosen = chosen.substr(0, 8);
  }
  uint32_t serial = 0;
  std::from_chars(chosen.data(), chosen.data() + chosen.size(), serial, 16);
  return serial;
}

uint32_t file_system_flags(std::string_view file_system, std::string_view super_options,
                           bool read_only) {
  uint32_t flags = 0;
  if (!drives_detail::one_of(
          file_system, {"vfat", "msdos", "exfat", "cifs", "smb3", "smbfs", "hfs", "hfsplus"})) {
    flags |= kFsCaseSensitiveSearch;
  }
  if (file_system != "msdos") flags |= kFsCasePreservedNames;
  if (drives_detail::one_of(file_system,
                            {"vfat", "exfat", "ntfs", "ntfs3", "udf", "hfsplus", "cifs", "smb3"})) {
    flags |= kFsUnicodeOnDisk;
  }
  if (drives_detail::one_of(file_system, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs",
                                          "reiserfs", "zfs", "nfs4", "ntfs", "ntfs3"})) {
    flags |= kFsPersistentAcls;
  }
  if (drives_detail::one_of(file_system, {"btrfs", "f2fs", "ntfs", "ntfs3"}))
    flags |= kFsFileCompression;
  if (drives_detail::one_of(
          file_system, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "zfs",
                        "tmpfs", "ntfs", "ntfs3", "nfs", "nfs4"})) {
    flags |= kFsSupportsSparseFiles;
  }
  if (file_system == "btrfs" &&
      (has_option(super_options, "compress") || has_option(super_options, "compress-force"))) {
    flags |= kFsVolumeIsCompressed;
  }
  if (read_only) flags |= kFsReadOnlyVolume;
  return flags;
}

DriveQuery<VolumeInfo> volume_info(const std::string& root) {
  const auto where = locate_mount(root);
  if (!where.ok()) {
    return drive_failure(query_error(where));
  }
  struct statvfs info {};
  if (::statvfs(where.value().path.c_str(), &info) != 0) {
    return drive_failure(errno);
  }
  const MountEntry& mount = where.value().mount;
  const bool read_only = (info.f_flag & ST_RDONLY) != 0;
  // Label and serial ioctls need only a descriptor of any folder on the file
  // system; the file system answers or refuses (ENOTTY).
  const Descriptor dir(::open(where.value().path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));

  VolumeInfo volume;
  volume.label = read_label(dir.get(), mount);
  volume.serial = read_serial(dir.get(), mount, info.f_fsid);
  volume.max_name_length =
      info.f_namemax > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(info.f_namemax);
  volume.file_system = mount.file_system;
  volume.flags = file_system_flags(mount.file_system, mount.super_options, read_only);
  return volume;
}

int set_volume_label(const std::string& root, const std::string& label) {
  const auto canonical = drives_detail::resolve_root(root);
  if (!canonical.ok()) return query_error(canonical);
  std::array<char, FSLABEL_MAX> buffer{};
  if (label.size() >= buffer.size() || label.find('\0') != std::string::npos) return EINVAL;
  std::memcpy(buffer.data(), label.data(), label.size());
  const Descriptor dir(::open(canonical.value().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return errno;
  return ::ioctl(dir.get(), FS_IOC_SETFSLABEL, buffer.data()) == 0 ? 0 : errno;
}

}  // namespace platform
