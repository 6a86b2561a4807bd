// The folder recovered recordings go to. A file is written under a temporary
// name and gets its final name only when it is complete; a name that is
// taken is never replaced: the next free "NAME-2.vqr", "NAME-3.vqr" is used.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>

#include "calendo/fault.h"

namespace calendo::rescue {

class OutputFolder {
 public:
  // Creates the folder (and its parents) where needed.
  static Result<OutputFolder> open(const std::string& path);

  const std::string& path() const { return path_; }
  // Writes `bytes` as `name` (which may hold '/'-separated folders) and gives
  // the path it got; `modified` (when not 0) becomes its modification time.
  Result<std::string> write(const std::string& name, std::span<const uint8_t> bytes,
                            std::time_t modified);

 private:
  explicit OutputFolder(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace calendo::rescue
