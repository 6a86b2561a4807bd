// Disk and volume queries: what a program may ask about the file system that
// holds a folder.
//
// A root is any directory, absolute or relative to the working directory;
// every query is about the mounted file system that contains it (the folder
// need not be a mount point itself). There are no drive letters: a
// Windows-style root such as "E:\" or "e:" names a drive that does not exist.
// Answers come from statvfs(), /proc/self/mountinfo, a few file-system ioctls
// and /sys/dev/block; numbers and flag bits use the Windows values that
// callers store and compare. Nothing is cached: every call asks the system
// again. All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendo/fault.h"
#include "calendo/io.h"
#include "platform/export.h"

namespace platform {

enum class DriveType : int32_t {
  unknown = 0,      // the type cannot be determined
  no_root_dir = 1,  // no such directory
  removable = 2,    // a file system on a removable block device
  fixed = 3,
  remote = 4,  // a network file system
  cdrom = 5,   // iso9660 or udf
  ramdisk = 6  // tmpfs, ramfs
};

// File-system flag bits, as Windows numbers them.
inline constexpr uint32_t kFsCaseSensitiveSearch = 0x1;
inline constexpr uint32_t kFsCasePreservedNames = 0x2;
inline constexpr uint32_t kFsUnicodeOnDisk = 0x4;
inline constexpr uint32_t kFsPersistentAcls = 0x8;
inline constexpr uint32_t kFsFileCompression = 0x10;
inline constexpr uint32_t kFsSupportsSparseFiles = 0x40;
inline constexpr uint32_t kFsVolumeIsCompressed = 0x8000;
inline constexpr uint32_t kFsReadOnlyVolume = 0x80000;

// The outcome of a query: its value, or a Fault whose system_error is the
// errno that tells why it failed (ENOENT for a missing root, ENOTDIR for a
// file, ...).
template <typename T>
using DriveQuery = calendo::Result<T>;

// A failed query for `error_number`.
inline calendo::Fault drive_failure(int error_number) {
  return {calendo::Failure::CannotOpen, 0, calendo::system_text(error_number), error_number};
}

// The errno of a query, 0 when it succeeded.
template <typename T>
int query_error(const DriveQuery<T>& query) {
  return query.ok() ? 0 : query.fault().system_error;
}

// Free and total space. Byte counts are exact. The cluster view is the same
// space in the 32-bit fields of the old interface: a cluster is one
// file-system block, a sector is the device's logical sector (512 where there
// is no device), and cluster counts saturate at 0xFFFFFFFF.
struct DiskSpace {
  uint64_t total_bytes = 0;
  uint64_t free_bytes = 0;       // all free bytes, including those reserved for root
  uint64_t available_bytes = 0;  // free bytes this process may use
  uint32_t bytes_per_sector = 0;
  uint32_t sectors_per_cluster = 0;
  uint32_t total_clusters = 0;
  uint32_t free_clusters = 0;
};

struct VolumeInfo {
  std::string label;             // empty when the file system has none or Linux cannot tell
  uint32_t serial = 0;           // FAT volume id, else derived from the UUID or file-system id
  uint32_t max_name_length = 0;  // longest file name component, in bytes
  std::string file_system;       // Linux's name for it: "ext4", "vfat", "tmpfs", ...
  uint32_t flags = 0;            // kFs bits
};

// One line of /proc/self/mountinfo, escapes decoded.
struct MountEntry {
  uint32_t mount_id = 0;
  uint32_t parent_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  std::string root;         // the directory of the file system that is mounted here
  std::string mount_point;  // absolute
  std::string mount_options;
  std::vector<std::string> optional_fields;  // "shared:1", "master:2", ...
  std::string file_system;
  std::string source;  // device or "none"
  std::string super_options;
};

// Where a root lies: its canonical path and the mount that holds it.
struct MountLocation {
  std::string path;
  MountEntry mount;
  bool is_mount_point = false;  // the root is the mount point itself
};

// --- Queries about a root ---------------------------------------------------

CALENDO_PLATFORM_API DriveQuery<MountLocation> locate_mount(const std::string& root);

CALENDO_PLATFORM_API DriveQuery<DiskSpace> disk_space(const std::string& root);

// Never fails: a missing root, or one that is not a directory, is no_root_dir.
CALENDO_PLATFORM_API DriveType drive_type(const std::string& root);

CALENDO_PLATFORM_API DriveQuery<VolumeInfo> volume_info(const std::string& root);

// Sets the file system's label (needs privilege and a file system that
// supports it). Returns 0 or the errno.
CALENDO_PLATFORM_API int set_volume_label(const std::string& root, const std::string& label);

// Whether the directory can be opened and its first entry read.
CALENDO_PLATFORM_API bool root_can_be_listed(const std::string& root);

// Whether the root is a directory on a mounted file system (a mount point or
// a folder inside one).
CALENDO_PLATFORM_API bool is_on_mounted_file_system(const std::string& root);

// The mounted file systems as this process sees them, in mount order.
CALENDO_PLATFORM_API DriveQuery<std::vector<MountEntry>> mounted_file_systems();

// --- The pieces the queries are made of (exposed for tests and tools) -------

// Parses one mountinfo line (without its newline); nullopt when malformed.
CALENDO_PLATFORM_API std::optional<MountEntry> parse_mountinfo_line(std::string_view line);

// Parses a whole mountinfo text, skipping malformed lines.
CALENDO_PLATFORM_API std::vector<MountEntry> parse_mountinfo(std::string_view text);

// Decodes the kernel's octal escapes ("\040" is a space); a backslash not
// followed by three octal digits of a byte value stands for itself.
CALENDO_PLATFORM_API std::string decode_mountinfo_escapes(std::string_view field);

// Decodes udev's "\x20" escapes in the names under /dev/disk/by-label.
CALENDO_PLATFORM_API std::string decode_udev_escapes(std::string_view name);

// The mount that holds the canonical absolute `path`: the longest mount point
// that is `path` or a parent of it, the latest of equals (it covers the
// others). nullptr when none does.
CALENDO_PLATFORM_API const MountEntry* find_mount(const std::vector<MountEntry>& mounts,
                                                  std::string_view path);

// The type a file system has by its kind alone: ramdisk, remote, cdrom or
// fixed (removable needs the device, which drive_type() asks about).
CALENDO_PLATFORM_API DriveType drive_type_of_file_system(std::string_view file_system);

// The kFs flag bits of a file system of this kind, mounted with these
// super-block options.
CALENDO_PLATFORM_API uint32_t file_system_flags(std::string_view file_system,
                                                std::string_view super_options, bool read_only);

// A serial number from a file-system UUID as udev spells it: FAT's
// "1234-ABCD" is the number itself, NTFS's 16 digits give their low half,
// longer UUIDs their first 32 bits. nullopt when it is not hexadecimal.
CALENDO_PLATFORM_API std::optional<uint32_t> serial_from_uuid(std::string_view uuid);

}  // namespace platform
