#include "vqm_carve.h"

#include <algorithm>
#include <vector>

#include "calendo/extent_source.h"
#include "calendo/recording.h"
#include "calendo/vqm_format.h"
#include "vqm_header_check.h"

namespace calendo::rescue {
namespace {

bool holds_vqr_pages(const ScanIndex& index, uint64_t at, uint64_t length) {
  const auto first = std::lower_bound(index.flags.begin(), index.flags.end(), at << 1);
  return first != index.flags.end() && ScanIndex::flag_at(*first) < at + length;
}

}  // namespace

std::optional<VqmCarve> carve_vqm_at(const ByteSource& image, const CardLayout& layout,
                                     const ScanIndex& index, uint64_t at,
                                     std::optional<uint64_t> size) {
  const uint64_t room = image.size() - std::min(at, image.size());
  const std::optional<VqmHeaderFacts> facts = check_vqm_header(image, at, room);
  if (!facts) return std::nullopt;
  const uint64_t cluster = layout.geometry().cluster;

  VqmCarve carve;
  const uint64_t limit = size ? std::min(*size, room) : room;
  uint64_t end = 0;
  std::vector<uint8_t> bytes(cluster);
  while (end < limit) {
    const uint64_t here = at + end;
    const uint64_t length = std::min(layout.cluster_start(here) + cluster - here, limit - end);
    if (end > 0) {
      if (layout.state(here) != ClusterState::Free || index.has_header(here)) break;
      if (!size && holds_vqr_pages(index, here, length)) break;
    }
    const auto window = std::span(bytes).first(length);
    image.read_padded(here, window);
    if (!size && end > 0 &&
        std::all_of(window.begin(), window.end(), [&](uint8_t b) { return b == window[0]; }))
      break;
    end += length;
    if (!size && length < cluster) break;
    if (!size) {
      // Zeros to the end of the cluster end the recording inside it.
      const auto last =
          std::find_if(window.rbegin(), window.rend(), [](uint8_t b) { return b != 0; });
      if (last != window.rbegin()) {
        end -= static_cast<uint64_t>(last - window.rbegin());
        break;
      }
    }
  }
  carve.cut_short = size && end < *size;
  const uint64_t base = facts->audio_base + facts->gap_total;
  if (end <= base) return std::nullopt;
  uint64_t pages = (end - base + kVqmPageSize - 1) / kVqmPageSize;
  if (size) pages = (end - base) / kVqmPageSize;
  carve.size = size && !carve.cut_short ? *size : std::min(room, base + pages * kVqmPageSize);
  carve.pages = static_cast<uint32_t>(pages);
  const ExtentSource file(image, at, std::min<uint64_t>(room, kVqmHeaderSize + 1));
  carve.page_ms = (vqm_file_mode(file) == kSp ? kVqmSp : kVqmLp).page_ms();
  return carve;
}

}  // namespace calendo::rescue
