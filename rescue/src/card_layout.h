// The cluster grid of a card image and what is known of each cluster. A file
// system gives the grid (where the data area starts, how large a cluster is)
// and which clusters live files own; without one the grid is the sector.
// Fragments begin and end on this grid, so a continuation is searched for
// only at cluster starts. Recovered recordings claim their clusters, so that
// no cluster goes into two of them.
#pragma once

#include <cstdint>
#include <vector>

namespace calendo::rescue {

struct Geometry {
  uint64_t origin = 0;     // image offset of the first cluster
  uint64_t cluster = 512;  // bytes
};

enum class ClusterState : uint8_t {
  Free,     // no live file owns it
  Live,     // a live file (or the file system) owns it
  Claimed,  // a recovered recording holds it
};

class CardLayout {
 public:
  CardLayout(Geometry geometry, uint64_t image_size);

  const Geometry& geometry() const { return geometry_; }
  uint64_t image_size() const { return image_size_; }
  uint64_t cluster_count() const { return states_.size(); }

  bool on_grid(uint64_t offset) const {
    return offset >= geometry_.origin && (offset - geometry_.origin) % geometry_.cluster == 0;
  }
  // The start of the cluster holding `offset` (the origin for offsets before it).
  uint64_t cluster_start(uint64_t offset) const;
  uint64_t index_of(uint64_t offset) const {
    return (offset - geometry_.origin) / geometry_.cluster;
  }

  ClusterState state(uint64_t offset) const;
  // Sets every cluster that [at, at + length) touches.
  void set(uint64_t at, uint64_t length, ClusterState state);

 private:
  Geometry geometry_;
  uint64_t image_size_;
  std::vector<ClusterState> states_;
};

}  // namespace calendo::rescue
