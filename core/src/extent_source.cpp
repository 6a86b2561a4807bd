#include "calendo/extent_source.h"

#include <algorithm>

namespace calendo {

ExtentSource::ExtentSource(const ByteSource& base, std::vector<Extent> extents)
    : base_(base), extents_(std::move(extents)) {
  starts_.reserve(extents_.size());
  for (const Extent& e : extents_) {
    starts_.push_back(size_);
    size_ += e.length;
  }
}

std::size_t ExtentSource::read_at(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= size_) return 0;
  out = out.first(std::min<uint64_t>(out.size(), size_ - offset));
  // The extent holding `offset`: the last one starting at or before it.
  auto at = std::upper_bound(starts_.begin(), starts_.end(), offset);
  std::size_t index = static_cast<std::size_t>(at - starts_.begin()) - 1;
  std::size_t done = 0;
  while (done < out.size() && index < extents_.size()) {
    const Extent& e = extents_[index];
    const uint64_t within = offset + done - starts_[index];
    const uint64_t run = std::min<uint64_t>(out.size() - done, e.length - within);
    const std::size_t got = base_.read_at(e.base_at + within, out.subspan(done, run));
    done += got;
    if (got < run) break;  // unreadable or past the base's end
    ++index;
  }
  return done;
}

}  // namespace calendo
