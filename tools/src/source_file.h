// The check every source file passes before a library opens it: the
// libraries open their files blocking, so a FIFO would wait for a writer and
// a folder or a device would be read as if it were a recording.
#pragma once

#include <string>

#include "calendo/fault.h"

namespace calendo::tool {

// Whether `path` is a regular file, following symbolic links, without opening
// it. Otherwise the Fault says what it is: IsFolder "is a folder"; CannotOpen
// with the system's words for a missing file, or "is a FIFO, not a regular
// file", "is a device, not a regular file", ...
Status RequireRegularFile(const std::string& path);

// Why a library could not open `path`: what RequireRegularFile says, else the
// system's words for an open that fails, else CannotRead `otherwise`.
Fault OpenFailure(const std::string& path, const std::string& otherwise);

}  // namespace calendo::tool
