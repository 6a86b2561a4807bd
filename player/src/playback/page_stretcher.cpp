#include "playback/page_stretcher.h"

#include <algorithm>
#include <cmath>

#include <rubberband/RubberBandStretcher.h>

namespace calendo {
namespace {

using RubberBand::RubberBandStretcher;

constexpr std::size_t kChunk = 512;  // samples handed to one process call at most

constexpr RubberBandStretcher::Options kSpeechOptions =
    RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFaster |
    RubberBandStretcher::OptionPitchHighSpeed | RubberBandStretcher::OptionFormantPreserved |
    RubberBandStretcher::OptionThreadingNever;

int16_t ToSample(float value) {
  const float scaled = std::round(value * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

PageStretcher::PageStretcher(int32_t sample_rate, double speed)
    : stretcher_(std::make_unique<RubberBandStretcher>(static_cast<std::size_t>(sample_rate), 1,
                                                       kSpeechOptions, 1.0 / speed, 1.0)),
      speed_(speed),
      chunk_(kChunk),
      scratch_(kChunk) {
  stretcher_->setMaxProcessSize(chunk_);
  // Silence ahead of the first page, so the first output lines up with it.
  const std::vector<float> pad(stretcher_->getPreferredStartPad(), 0.0f);
  to_drop_ = stretcher_->getStartDelay();
  Feed(pad, false);
}

PageStretcher::~PageStretcher() = default;

void PageStretcher::Push(std::span<const int16_t> page) {
  if (finished_) return;
  std::vector<float> samples(page.size());
  std::transform(page.begin(), page.end(), samples.begin(),
                 [](int16_t s) { return static_cast<float>(s) / 32768.0f; });
  source_samples_ += page.size();
  page_ends_.push_back(
      static_cast<uint64_t>(std::llround(static_cast<double>(source_samples_) / speed_)));
  Feed(samples, false);
}

void PageStretcher::Finish() {
  if (finished_) return;
  Feed({}, true);
  finished_ = true;
}

std::optional<std::vector<int16_t>> PageStretcher::TakePage() {
  if (page_ends_.empty()) return std::nullopt;
  const auto length = static_cast<std::size_t>(page_ends_.front() - output_taken_);
  if (output_.size() < length && !finished_) return std::nullopt;
  // After the end, a page the stretcher fell short on is completed with silence.
  std::vector<int16_t> block(length, 0);
  const std::size_t available = std::min(length, output_.size());
  std::copy_n(output_.begin(), available, block.begin());
  output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(available));
  output_taken_ = page_ends_.front();
  page_ends_.pop_front();
  return block;
}

void PageStretcher::Feed(std::span<const float> samples, bool final) {
  static const float kNothing = 0.0f;
  do {
    const std::size_t n = std::min(chunk_, samples.size());
    const float* channel = n == 0 ? &kNothing : samples.data();
    stretcher_->process(&channel, n, final && n == samples.size());
    samples = samples.subspan(n);
    Drain();
  } while (!samples.empty());
}

void PageStretcher::Drain() {
  for (;;) {
    const int available = stretcher_->available();
    if (available <= 0) return;
    const std::size_t n = std::min(static_cast<std::size_t>(available), scratch_.size());
    float* channel = scratch_.data();
    const std::size_t got = stretcher_->retrieve(&channel, n);
    if (got == 0) return;
    std::size_t skip = std::min(to_drop_, got);
    to_drop_ -= skip;
    for (std::size_t i = skip; i < got; ++i) output_.push_back(ToSample(scratch_[i]));
  }
}

}  // namespace calendo
