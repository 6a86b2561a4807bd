// The container of a recorder file by its name (the last three characters
// only, as the player decides) or by its content (the container's magic
// bytes, whatever the name).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "calendo/container.h"

namespace calendo {

// Vqr for a name ending in "vqr" or "VQR", Vqm for "vqm" or "VQM", nothing for
// any other ending (mixed case included). `name` is a path in any
// ASCII-compatible encoding: the endings compared are plain ASCII.
constexpr std::optional<Container> RecorderContainerOfName(std::string_view name) {
  if (name.size() < 3) return std::nullopt;
  const std::string_view last = name.substr(name.size() - 3);
  if (last == "vqr" || last == "VQR") return Container::Vqr;
  if (last == "vqm" || last == "VQM") return Container::Vqm;
  return std::nullopt;
}

// The file kind a file is read as once chosen: vqr by the rule above, vqm otherwise.
constexpr int16_t FileKindOfName(std::string_view name) {
  return file_kind_of(RecorderContainerOfName(name).value_or(Container::Vqm));
}

// The container of a regular file at `path` that starts with its magic
// (calendo/container.h); nothing for any other file, one that cannot be read,
// or one that is not a regular file (a FIFO is never opened for reading, so
// this never waits for a writer).
std::optional<Container> RecorderContainerOfContent(const char* path);

}  // namespace calendo
