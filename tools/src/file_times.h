// The modification time of a recorder file, carried over to the files made
// from it and written into their tags.
#pragma once

#include <ctime>
#include <string>

#include "calendo/fault.h"

namespace calendo::tool {

// The modification time of `path`.
Result<timespec> ModificationTime(const std::string& path);

// Gives `path` the modification time `time` (its access time unchanged).
Status SetModificationTime(const std::string& path, const timespec& time);

// `time` in ISO 8601, UTC: "2024-03-05T14:07:09Z".
std::string IsoDateTime(const timespec& time);

}  // namespace calendo::tool
