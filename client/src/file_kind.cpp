#include "calendo/client/file_kind.h"

#include <array>

#include "calendo/byte_source.h"

namespace calendo {

std::optional<Container> RecorderContainerOfContent(const char* path) {
  const Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return std::nullopt;
  std::array<uint8_t, kMagicBytes> head{};
  const std::size_t got = file->read_at(0, head);
  return ContainerOfMagic(std::span<const uint8_t>(head.data(), got));
}

}  // namespace calendo
