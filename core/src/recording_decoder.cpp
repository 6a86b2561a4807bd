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

namespace calendo {
namespace {

// Pages decoded in one go: their codes and samples held at once stay within
// some tens of megabytes, long enough for warm-ups to cost little.
constexpr uint32_t kWindowPages = 64 * kCheckpointPages;

}  // namespace

void decode_pages(const RecordingPages& recording, uint32_t first, uint32_t last,
                  const AdpcmState& start, ParallelDecoder& parallel, bool keep_samples,
                  DecodedPages& into) {
  std::vector<WidthRun> runs;
  std::vector<std::size_t> marks;
  into.page_ends.clear();
  std::size_t at = 0;
  for (uint32_t page = first; page < last; ++page) {
    if (page > first && page % kCheckpointPages == 0) marks.push_back(at);
    const ModeDescriptor& d = recording.descriptor(recording.page_mode(page));
    if (runs.empty() || runs.back().bits != d.code_bits) runs.push_back({at, d.code_bits});
    at += static_cast<std::size_t>(d.codes());
    runs.back().end = at;
    into.page_ends.push_back(at);
  }
  if (last > first && last % kCheckpointPages == 0) marks.push_back(at);

  // The pages read and unpacked on every thread, each into its place (with
  // room for a whole page's codes after the last page's).
  into.codes.resize(at + kMaxPageCodes);
  constexpr uint32_t kPagesPerTask = 256;
  parallel.pool().run((last - first + kPagesPerTask - 1) / kPagesPerTask, [&](std::size_t task) {
    const auto from = static_cast<uint32_t>(first + task * kPagesPerTask);
    const uint32_t count = std::min(last - from, kPagesPerTask);
    const std::size_t offset = from == first ? 0 : into.page_ends[from - first - 1];
    recording.pages_codes(from, count, into.codes.data() + offset);
  });
  const std::span<const uint8_t> codes(into.codes.data(), at);
  into.samples.resize(keep_samples ? at : 0);
  into.checkpoints.resize(marks.size());
  into.end = parallel.decode(start, {codes, runs, marks, OutputStage::Gain3_5}, into.samples,
                             into.checkpoints);
}

std::vector<AdpcmState> checkpoint_states(const RecordingPages& recording,
                                          ParallelDecoder& parallel, std::stop_token stop) {
  std::vector<AdpcmState> states{reset_state()};
  DecodedPages window;
  for (uint32_t first = 0; first < recording.page_count(); first += kWindowPages) {
    const uint32_t last = std::min(recording.page_count(), first + kWindowPages);
    if (stop.stop_requested()) return {};
    decode_pages(recording, first, last, states.back(), parallel, false, window);
    // Windows end on checkpoints (or at the end): the last state is the next start.
    states.insert(states.end(), window.checkpoints.begin(), window.checkpoints.end());
  }
  return states;
}

void RecordingDecoder::decode_pages(uint32_t last, ParallelDecoder& parallel,
                                    const std::function<void(std::span<const int16_t>)>& take) {
  while (next_ < last) {
    DecodedPages& window = windows_[turn_];
    auto& shaped_samples = shaped_[turn_];
    turn_ ^= 1;
    const uint32_t first = next_;
    const uint32_t end = std::min(last, first + kWindowPages);
    if (first % kCheckpointPages == 0 && first / kCheckpointPages == checkpoints_.size())
      checkpoints_.push_back(codec_.state());
    calendo::decode_pages(recording_, first, end, codec_.state(), parallel, true, window);
    bool as_decoded = true;
    for (uint32_t page = first; page < end && as_decoded; ++page)
      as_decoded = shapes_[recording_.page_mode(page)].shape == Shape::AsDecoded;
    if (as_decoded) {
      take(window.samples);
    } else {
      shaped_samples.clear();
      std::size_t from = 0;
      for (uint32_t page = first; page < end; ++page) {
        const std::size_t count = window.page_ends[page - first] - from;
        std::copy_n(window.samples.begin() + static_cast<std::ptrdiff_t>(from), count,
                    work_.decoded.begin());
        const auto shaped = shape_page(shapes_[recording_.page_mode(page)], count, work_);
        shaped_samples.insert(shaped_samples.end(), shaped.begin(), shaped.end());
        from = window.page_ends[page - first];
      }
      take(shaped_samples);
    }
    // window.checkpoints[k] stands before page (first / kCheckpointPages + 1 + k) *
    // kCheckpointPages.
    for (std::size_t k = 0; k < window.checkpoints.size(); ++k) {
      if (checkpoints_.size() == first / kCheckpointPages + 1 + k)
        checkpoints_.push_back(window.checkpoints[k]);
    }
    codec_.state() = window.end;
    next_ = end;
  }
}

void RecordingDecoder::adopt_checkpoints(std::vector<AdpcmState> checkpoints) {
  if (checkpoints.size() > checkpoints_.size()) checkpoints_ = std::move(checkpoints);
}

}  // namespace calendo
