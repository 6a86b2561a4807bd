#include "same_disk.h"

#include <sys/sysmacros.h>

#include <fstream>
#include <string>

namespace calendo::rescue {

namespace {

std::string sysfs_folder(dev_t device) {
  return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

}  // namespace

dev_t whole_disk(dev_t device) {
  const std::string folder = sysfs_folder(device);
  // Only a partition has a "partition" file; its parent folder is the disk.
  if (!std::ifstream(folder + "/partition")) return device;
  std::ifstream parent(folder + "/../dev");
  unsigned disk_major = 0, disk_minor = 0;
  char colon = 0;
  if (parent >> disk_major >> colon >> disk_minor && colon == ':')
    return makedev(disk_major, disk_minor);
  return device;
}

bool on_same_disk(dev_t folder_device, dev_t source_device) {
  return folder_device == source_device || whole_disk(folder_device) == whole_disk(source_device);
}

}  // namespace calendo::rescue
