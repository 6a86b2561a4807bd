#include "vqm_header_check.h"

#include <array>

#include "calendo/container.h"
#include "calendo/extent_source.h"
#include "calendo/vqm_format.h"

namespace calendo::rescue {

std::optional<VqmHeaderFacts> check_vqm_header(const ByteSource& image, uint64_t at,
                                               uint64_t room) {
  std::array<uint8_t, kMagicBytes> head;
  image.read_padded(at, head);
  if (!has_vqm_magic(head) || room < kVqmHeaderSize) return std::nullopt;
  const ExtentSource file(image, at, room);
  Result<VqmLayout> layout = read_vqm_layout(file);
  if (!layout.ok() || layout->audio_base < kVqmHeaderSize || layout->audio_base >= room)
    return std::nullopt;
  return VqmHeaderFacts{layout->audio_base, layout->gap_total};
}

}  // namespace calendo::rescue
