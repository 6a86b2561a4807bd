// Whether writing into a folder could overwrite a device being rescued: the
// folder's file system lies on that device, on a partition of it, or on the
// disk the device is a partition of.
#pragma once

#include <sys/types.h>

namespace calendo::rescue {

// The whole disk a block device belongs to (itself when it is one), as the
// kernel's /sys/dev/block tells; `device` itself where sysfs does not say.
dev_t whole_disk(dev_t device);

// True when `folder_device` (a folder's st_dev) and `source_device` (a block
// device's st_rdev) are on one disk.
bool on_same_disk(dev_t folder_device, dev_t source_device);

}  // namespace calendo::rescue
