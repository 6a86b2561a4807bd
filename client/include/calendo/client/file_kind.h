// The kind of a recorder file by its name (the last three characters only,
// as the player decides) or by its content (the container's magic bytes,
// whatever the name).
#pragma once

#include <cstdint>
#include <string_view>

#include "kestrune.h"

namespace calendo {

inline constexpr int16_t kKindVqr = KESTRUNE_VQR;
inline constexpr int16_t kKindVqm = KESTRUNE_VQM;
inline constexpr int16_t kKindNone = -1;

// kKindVqr for a name ending in "vqr" or "VQR", kKindVqm for "vqm" or "VQM",
// kKindNone for any other ending (mixed case included). `name` is a path in
// any ASCII-compatible encoding: the endings compared are plain ASCII.
constexpr int16_t RecorderKindOfName(std::string_view name) {
  if (name.size() < 3) return kKindNone;
  const std::string_view last = name.substr(name.size() - 3);
  if (last == "vqr" || last == "VQR") return kKindVqr;
  if (last == "vqm" || last == "VQM") return kKindVqm;
  return kKindNone;
}

// The kind a file is read as once chosen: vqr by the rule above, vqm otherwise.
constexpr int16_t FileKindOfName(std::string_view name) {
  return RecorderKindOfName(name) == kKindVqr ? kKindVqr : kKindVqm;
}

// kKindVqr or kKindVqm for a regular file at `path` that starts with that
// container's magic (calendo/container_magic.h), kKindNone for any other file,
// one that cannot be read, or one that is not a regular file (a FIFO is never
// opened for reading, so this never waits for a writer).
int16_t RecorderKindOfContent(const char* path);

}  // namespace calendo
