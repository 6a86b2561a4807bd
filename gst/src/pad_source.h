// The bytes of the file upstream of the element as the core's readers read
// them. Pulled: ranges are pulled from the upstream pad as the readers ask,
// through a cache of one block, so that only what is read is held. Pushed:
// the buffers are kept in order as they arrive, then read in memory.
//
// Pulls happen on the thread that reads (the element's streaming thread, or
// a seeking thread holding the stream lock); the cache is guarded by a mutex.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "calendo/byte_source.h"

namespace calendo::gst {

class PulledSource final : public ByteSource {
 public:
  // The upstream of `sinkpad`, `size` bytes long. REQUIRES: the pad outlives
  // the source and is active in pull mode.
  PulledSource(GstPad* sinkpad, uint64_t size) : pad_(sinkpad), size_(size) {}

  uint64_t size() const override { return size_; }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override;

  // The first flow return other than OK that a pull gave (its bytes then read
  // as missing), or GST_FLOW_OK.
  GstFlowReturn failure() const;

 private:
  bool fill(uint64_t block) const;

  GstPad* pad_;
  uint64_t size_;
  mutable std::mutex lock_;
  mutable std::vector<uint8_t> cache_;
  mutable uint64_t cache_start_ = UINT64_MAX;
  mutable GstFlowReturn failure_ = GST_FLOW_OK;
};

// The size of the file upstream of `sinkpad` in bytes; 0 when upstream does
// not say.
uint64_t upstream_size(GstPad* sinkpad);

}  // namespace calendo::gst
