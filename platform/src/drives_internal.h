// Helpers shared by the drive query sources; not part of the interface.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/drives.h"

namespace platform::drives_detail {

// The canonical path of a root that is an existing directory; ENOENT for a
// Windows drive letter, ENOTDIR for anything that is not a directory.
DriveQuery<std::string> resolve_root(const std::string& root);

// The sysfs folder of the whole disk behind a block device (the parent of a
// partition), or empty when the device is not a block device Linux lists.
std::string disk_sysfs_dir(uint32_t major, uint32_t minor);

// The first line of a small text file such as a sysfs attribute.
std::optional<std::string> read_first_line(const std::string& path);

// Whether `name` is one of `names`.
inline bool one_of(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

}  // namespace platform::drives_detail
