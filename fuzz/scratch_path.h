// Where a fuzz target puts the files it writes: under TMPDIR when it is set
// (a tmpfs there spares the fuzzer a wait on the disk for every input), else
// under /tmp.
#pragma once

#include <cstdlib>
#include <string>

namespace calendo::fuzz {

// A template for mkstemp or mkdtemp: <folder>/<stem>-XXXXXX.
inline std::string ScratchTemplate(const char* stem) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  return path + "/" + stem + "-XXXXXX";
}

}  // namespace calendo::fuzz
