// Mount tables as the kernel writes them in /proc/self/mountinfo, and the
// device names udev writes under /dev/disk: outside text the drive queries
// parse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/drives.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto mounts = platform::parse_mountinfo(text);
  for (const platform::MountEntry& mount : mounts) {
    // Every parsed mount point is absolute and is found again by the lookup.
    if (mount.mount_point.empty() || mount.mount_point.front() != '/') std::abort();
    const platform::MountEntry* found = platform::find_mount(mounts, mount.mount_point);
    if (found == nullptr || found->mount_point.size() < mount.mount_point.size()) std::abort();
    platform::drive_type_of_file_system(mount.file_system);
    platform::file_system_flags(mount.file_system, mount.super_options, false);
  }
  // Decoding never makes a field longer.
  if (platform::decode_mountinfo_escapes(text).size() > size) std::abort();
  if (platform::decode_udev_escapes(text).size() > size) std::abort();
  platform::serial_from_uuid(text);
  return 0;
}
