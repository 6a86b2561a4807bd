// The files calendo-convert makes, as pending files (calendo/pending_file.h)
// with the tool's words for a name that is taken.
#pragma once

#include <string>

#include "calendo/fault.h"
#include "calendo/pending_file.h"

namespace calendo::tool {

// The refusal of a destination that exists: "NAME exists (--force replaces it)".
Fault DestinationTaken(const std::string& destination);

// Commits `file`; without `replace`, a name taken meanwhile is refused as
// DestinationTaken.
Status CommitOutput(PendingFile& file, bool replace);

}  // namespace calendo::tool
