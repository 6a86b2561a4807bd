#include "pad_source.h"

#include <algorithm>
#include <cstring>

namespace calendo::gst {
namespace {

constexpr uint64_t kBlock = 64 * 1024;

}  // namespace

bool PulledSource::fill(uint64_t block) const {
  if (cache_start_ == block) return true;
  const uint64_t start = block * kBlock;
  const auto want = static_cast<guint>(std::min(kBlock, size_ - start));
  GstBuffer* buffer = nullptr;
  const GstFlowReturn ret = gst_pad_pull_range(pad_, start, want, &buffer);
  if (ret != GST_FLOW_OK) {
    if (failure_ == GST_FLOW_OK && ret != GST_FLOW_EOS) failure_ = ret;
    return false;
  }
  cache_.resize(gst_buffer_get_size(buffer));
  gst_buffer_extract(buffer, 0, cache_.data(), cache_.size());
  gst_buffer_unref(buffer);
  cache_start_ = block;
  return true;
}

std::size_t PulledSource::read_at(uint64_t offset, std::span<uint8_t> out) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::size_t done = 0;
  while (done < out.size() && offset + done < size_) {
    const uint64_t at = offset + done;
    if (!fill(at / kBlock)) break;
    const uint64_t within = at - cache_start_ * kBlock;
    if (within >= cache_.size()) break;  // upstream gave less than it announced
    const std::size_t n = std::min<uint64_t>(out.size() - done, cache_.size() - within);
    std::memcpy(out.data() + done, cache_.data() + within, n);
    done += n;
  }
  return done;
}

GstFlowReturn PulledSource::failure() const {
  std::lock_guard<std::mutex> guard(lock_);
  return failure_;
}

uint64_t upstream_size(GstPad* sinkpad) {
  gint64 length = 0;
  if (!gst_pad_peer_query_duration(sinkpad, GST_FORMAT_BYTES, &length) || length < 0) return 0;
  return static_cast<uint64_t>(length);
}

}  // namespace calendo::gst
