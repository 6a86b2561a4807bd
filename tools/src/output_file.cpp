#include "output_file.h"

namespace calendo::tool {

Fault DestinationTaken(const std::string& destination) {
  return Fault{Failure::Exists, 0, destination + " exists (--force replaces it)"};
}

Status CommitOutput(PendingFile& file, bool replace) {
  Status committed = file.commit(replace);
  if (!committed.ok() && committed.fault().failure == Failure::Exists)
    return DestinationTaken(file.target());
  return committed;
}

}  // namespace calendo::tool
