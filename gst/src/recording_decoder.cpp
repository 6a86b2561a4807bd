#include "recording_decoder.h"

#include <algorithm>

#include "calendo/pcm_rate.h"

namespace calendo::gst {
namespace {

// 8 kHz pages: 256 groups of 8 at 2 bits per code, 128 otherwise.
std::size_t groups_of_8(int code_bits) {
  return code_bits == 2 ? calendo::kGroupsOf8At2Bits : calendo::kGroupsOf8Otherwise;
}
// An 8 kHz page kept at 8 kHz is cut to, or filled with silence up to, this.
std::size_t fixed_8k_samples(int code_bits) {
  return code_bits == 2 ? 2048 : 1024;
}

}  // namespace

RecordingDecoder::RecordingDecoder(const RecordingPages& recording)
    : recording_(recording),
      both_modes_(recording.pages_of(kSp) > 0 && recording.pages_of(kLp) > 0) {
  const Mode only = recording.pages_of(kLp) > 0 ? kLp : kSp;
  sample_rate_ = both_modes_ || recording.descriptor(only).rate_code == 11 ? 11025u : 8000u;

  const std::size_t per_page[2] = {page_samples(kSp), page_samples(kLp)};
  starts_.resize(recording.page_count() + 1);
  starts_[0] = 0;
  for (uint32_t p = 0; p < recording.page_count(); ++p)
    starts_[p + 1] = starts_[p] + per_page[recording.page_mode(p)];

  codec_.adpcm_reset_state();
  checkpoints_.push_back(codec_.state());
}

std::size_t RecordingDecoder::page_samples(Mode mode) const {
  const ModeDescriptor& d = recording_.descriptor(mode);
  switch (d.rate_code) {
    case 7:
      return both_modes_ ? calendo::kSamples7to11 : calendo::kSamples7to8;
    case 8:
      return both_modes_ ? groups_of_8(d.code_bits) * 11 : fixed_8k_samples(d.code_bits);
    default:
      return static_cast<std::size_t>(d.codes());
  }
}

uint32_t RecordingDecoder::page_of_sample(uint64_t sample) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), sample);
  return static_cast<uint32_t>(after - starts_.begin()) - 1;
}

std::size_t RecordingDecoder::decode_codes() {
  if (next_ % kCheckpointPages == 0 && next_ / kCheckpointPages == checkpoints_.size())
    checkpoints_.push_back(codec_.state());
  const std::size_t count =
      recording_.page_codes(next_, std::span<uint8_t, kMaxCodes>(codes_.data(), kMaxCodes));
  const int bits = recording_.descriptor(recording_.page_mode(next_)).code_bits;
  codec_.decode(codes_.data(), count, bits, decoded_.data());
  ++next_;
  return count;
}

std::span<const int16_t> RecordingDecoder::decode_next() {
  const ModeDescriptor& d = recording_.descriptor(recording_.page_mode(next_));
  const std::size_t count = decode_codes();
  const std::span<const int16_t> x(decoded_.data(), count);
  const std::span<int16_t> out(out_);
  switch (d.rate_code) {
    case 7:
      return out.first(both_modes_ ? calendo::expand_7_to_11(x, out)
                                   : calendo::expand_7_to_8(x, out));
    case 8:
      if (both_modes_) return out.first(calendo::repeat_8_to_11(x, groups_of_8(d.code_bits), out));
      {
        const std::size_t n = fixed_8k_samples(d.code_bits);
        if (n > count) std::fill(decoded_.begin() + count, decoded_.begin() + n, 0);
        return {decoded_.data(), n};
      }
    default:
      return x;
  }
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

}  // namespace calendo::gst
