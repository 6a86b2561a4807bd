#include "card_layout.h"

#include <algorithm>

namespace calendo::rescue {

CardLayout::CardLayout(Geometry geometry, uint64_t image_size)
    : geometry_(geometry), image_size_(image_size) {
  if (geometry_.cluster == 0) geometry_.cluster = 512;
  if (geometry_.origin > image_size) geometry_.origin = image_size;
  const uint64_t clusters =
      (image_size - geometry_.origin + geometry_.cluster - 1) / geometry_.cluster;
  states_.assign(clusters, ClusterState::Free);
}

uint64_t CardLayout::cluster_start(uint64_t offset) const {
  if (offset < geometry_.origin) return geometry_.origin;
  return geometry_.origin + index_of(offset) * geometry_.cluster;
}

ClusterState CardLayout::state(uint64_t offset) const {
  // The file system's own areas before the first cluster are no file's data.
  if (offset < geometry_.origin) return ClusterState::Live;
  const uint64_t index = index_of(offset);
  return index < states_.size() ? states_[index] : ClusterState::Live;
}

void CardLayout::set(uint64_t at, uint64_t length, ClusterState state) {
  if (length == 0 || states_.empty() || at + length <= geometry_.origin) return;
  const uint64_t end = at + length;
  at = std::max(at, geometry_.origin);
  const uint64_t first = index_of(at);
  const uint64_t last = std::min<uint64_t>(index_of(end - 1), states_.size() - 1);
  for (uint64_t i = first; i <= last && i < states_.size(); ++i) states_[i] = state;
}

}  // namespace calendo::rescue
