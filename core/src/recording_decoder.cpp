#include "calendo/recording_decoder.h"

#include <algorithm>

namespace calendo {

RecordingDecoder::RecordingDecoder(const RecordingPages& recording) : recording_(recording) {
  const int only = recording.pages_of(kLp) > 0 ? kLp : kSp;
  sample_rate_ = conversion_rate(recording.descriptor(only).rate_code, both_modes());
  for (int mode : {kSp, kLp}) shapes_[mode] = shape_of(mode);

  const std::size_t per_page[2] = {
      shaped_count(shapes_[kSp], static_cast<std::size_t>(recording.descriptor(kSp).codes())),
      shaped_count(shapes_[kLp], static_cast<std::size_t>(recording.descriptor(kLp).codes()))};
  starts_.resize(recording.page_count() + 1);
  starts_[0] = 0;
  for (uint32_t p = 0; p < recording.page_count(); ++p)
    starts_[p + 1] = starts_[p] + per_page[recording.page_mode(p)];

  codec_.adpcm_reset_state();
  checkpoints_.push_back(codec_.state());
}

PageShape RecordingDecoder::shape_of(int mode) const {
  const ModeDescriptor& d = recording_.descriptor(mode);
  return conversion_shape(d.rate_code, d.code_bits, both_modes());
}

uint32_t RecordingDecoder::page_of_sample(uint64_t sample) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), sample);
  return static_cast<uint32_t>(after - starts_.begin()) - 1;
}

std::size_t RecordingDecoder::decode_codes() {
  if (next_ % kCheckpointPages == 0 && next_ / kCheckpointPages == checkpoints_.size())
    checkpoints_.push_back(codec_.state());
  const std::size_t count = recording_.page_codes(next_, codes_);
  const int bits = recording_.descriptor(recording_.page_mode(next_)).code_bits;
  codec_.decode(codes_.data(), count, bits, work_.decoded.data());
  ++next_;
  return count;
}

std::span<const int16_t> RecordingDecoder::decode_next() {
  const PageShape shape = shapes_[recording_.page_mode(next_)];
  return shape_page(shape, decode_codes(), work_);
}

void RecordingDecoder::seek(uint32_t page) {
  const std::size_t checkpoint =
      std::min<std::size_t>(page / kCheckpointPages, checkpoints_.size() - 1);
  // Going on from where decoding stands is cheaper when that is nearer.
  if (next_ > page || next_ < checkpoint * kCheckpointPages) {
    codec_.state() = checkpoints_[checkpoint];
    next_ = static_cast<uint32_t>(checkpoint * kCheckpointPages);
  }
  while (next_ < page) decode_codes();
}

}  // namespace calendo
