// The check every source file passes before a library opens it: the
// libraries open their files blocking, so a FIFO would wait for a writer and
// a folder or a device would be read as if it were a recording.
#pragma once

#include <optional>
#include <string>

namespace calendo::tool {

// Why `path` is no regular file that can be read ("is a folder", "is a FIFO,
// not a regular file", the system's words for a missing file, ...), or
// nothing when it is one. Follows symbolic links. Never opens the file.
std::optional<std::string> NotARegularFile(const std::string& path);

}  // namespace calendo::tool
