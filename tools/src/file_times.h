// The modification time of a recorder file, carried over to the files made
// from it and written into their tags.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace calendo::tool {

// The modification time of `path`; nothing when it cannot be read.
std::optional<timespec> ModificationTime(const std::string& path);

// Gives `path` the modification time `time` (its access time unchanged).
bool SetModificationTime(const std::string& path, const timespec& time, std::string& error);

// `time` in ISO 8601, UTC: "2024-03-05T14:07:09Z".
std::string IsoDateTime(const timespec& time);

}  // namespace calendo::tool
