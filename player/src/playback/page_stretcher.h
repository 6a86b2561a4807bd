// PageStretcher: changes the tempo of a stream of decoded pages without
// changing its pitch, and hands the result back one block per page, so that a
// count of blocks played still counts the source pages heard.
//
// Push each page's samples in order, Finish after the last; TakePage gives
// the stretched block of the oldest page whose output is complete. Page k's
// block is the span of output that lines up with its source samples: from
// round(start_k / speed) to round(end_k / speed), where start_k and end_k count
// source samples from the beginning of the stream. The stretcher's own delay
// is compensated (its preferred start padding fed in, its start delay dropped
// from the output), so output and source stay aligned.
//
// Speech settings: the real-time engine with the lower CPU cost, formants
// kept, one thread. Not thread-safe; one object per stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace calendo {

class PageStretcher {
 public:
  // `speed` is the tempo factor: 2.0 plays twice as fast (half the duration).
  PageStretcher(int32_t sample_rate, double speed);
  ~PageStretcher();
  PageStretcher(const PageStretcher&) = delete;
  PageStretcher& operator=(const PageStretcher&) = delete;

  void Push(std::span<const int16_t> page);
  // No more pages: the stretcher's remaining output is drawn out.
  void Finish();
  // The block of the oldest page not yet taken, once its output is complete.
  std::optional<std::vector<int16_t>> TakePage();
  // Pages pushed whose block has not been taken yet.
  std::size_t PendingPages() const { return page_ends_.size(); }

 private:
  void Feed(std::span<const float> samples, bool final);
  void Drain();

  std::unique_ptr<RubberBand::RubberBandStretcher> stretcher_;
  const double speed_;
  std::size_t chunk_ = 0;           // most samples one process call takes
  std::size_t to_drop_ = 0;         // start delay still to discard from the output
  uint64_t source_samples_ = 0;     // pushed so far
  uint64_t output_taken_ = 0;       // output samples handed out in blocks so far
  std::deque<uint64_t> page_ends_;  // output index where each pending page ends
  std::deque<int16_t> output_;      // output not yet handed out
  std::vector<float> scratch_;
  bool finished_ = false;
};

}  // namespace calendo
