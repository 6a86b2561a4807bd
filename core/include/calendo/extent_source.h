// A file made of extents of another source: a file system's clusters of one
// file in a card image, the fragments of a recording put back together, or a
// window of an image that starts at a header. Bytes outside every extent read
// as missing (read_padded() gives 0xFF there). Reads are const: any thread, as
// long as the base source allows it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "calendo/byte_source.h"

namespace calendo {

struct Extent {
  uint64_t base_at = 0;  // where the bytes lie in the base source
  uint64_t length = 0;
};

class ExtentSource final : public ByteSource {
 public:
  // The extents follow each other in this file's order. REQUIRES: `base`
  // outlives the source.
  ExtentSource(const ByteSource& base, std::vector<Extent> extents);
  // One window [at, at + length) of `base`.
  ExtentSource(const ByteSource& base, uint64_t at, uint64_t length)
      : ExtentSource(base, std::vector<Extent>{{at, length}}) {}

  uint64_t size() const override { return size_; }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override;

  const std::vector<Extent>& extents() const { return extents_; }

 private:
  const ByteSource& base_;
  std::vector<Extent> extents_;
  std::vector<uint64_t> starts_;  // this file's offset of each extent
  uint64_t size_ = 0;
};

}  // namespace calendo
