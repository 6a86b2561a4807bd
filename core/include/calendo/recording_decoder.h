// The samples of a recording, page by page, exactly as the conversion to a
// 16-bit WAV file writes them: one codec reset before the first page, every
// page decoded with its own mode's code width, then shaped for the output
// rate (page_shape.h's conversion shapes: a recording with pages of both
// modes plays at 11025 Hz, one of a single mode at that mode's rate).
//
// Each decoder has its own codec instance: decoders of different recordings
// (or of the same one) may run at once on different threads. One decoder is
// used by one thread at a time.
//
// Seeking: the codec state runs on from page to page, so page N's samples
// depend on every page before it. seek() restores the state saved at the
// nearest checkpoint at or before N (one every kCheckpointPages pages, saved
// as decoding passes them) and decodes forward from there without output:
// exact, and a page already passed costs at most kCheckpointPages pages.
// Checkpoints for the whole recording can be computed ahead, on every core
// (checkpoint_states()), and handed to a decoder: every seek then costs at
// most kCheckpointPages pages.
//
// decode_pages() decodes a stretch of pages on every core (parallel_decoder.h),
// with the same samples and states as decoding them one by one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <stop_token>
#include <utility>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/page_shape.h"
#include "calendo/parallel_decoder.h"
#include "calendo/recording_pages.h"
#include "calendo/unset_allocator.h"

namespace calendo {

inline constexpr uint32_t kCheckpointPages = 64;
// Samples one page gives at most in a conversion (293 groups of 7 -> 11).
inline constexpr std::size_t kMaxPageSamples = kRepeat7to11Capacity;

// The decoded samples (before shaping) of pages [first, last) one after the
// other, from the codec state `start`, decoded on `parallel`.
struct DecodedPages {
  std::vector<uint8_t, UnsetAllocator<uint8_t>> codes;    // the pages' codes, and room after them
  std::vector<int16_t, UnsetAllocator<int16_t>> samples;  // empty unless asked for
  std::vector<std::size_t> page_ends;                     // where each page's samples end
  AdpcmState end{};                                       // the state after page last - 1
  // The state before each page p in (first, last] with p % kCheckpointPages == 0.
  std::vector<AdpcmState> checkpoints;
};

class RecordingDecoder {
 public:
  // REQUIRES: `recording` (and its source) outlive the decoder.
  explicit RecordingDecoder(const RecordingPages& recording);

  uint32_t sample_rate() const { return sample_rate_; }
  bool both_modes() const { return recording_.both_modes(); }
  uint32_t page_count() const { return recording_.page_count(); }

  // Samples in front of `page` (page_count() gives the total).
  uint64_t page_start(uint32_t page) const { return starts_[page]; }
  uint64_t total_samples() const { return starts_.back(); }
  // The page holding sample `sample`; page_count() at or past the end.
  uint32_t page_of_sample(uint64_t sample) const;

  // The page decode_next() decodes.
  uint32_t next_page() const { return next_; }

  // Decodes the next page and returns its samples (valid until the next call).
  // REQUIRES: next_page() < page_count().
  std::span<const int16_t> decode_next();

  // Makes `page` the next page, the codec state exactly as decoding from the
  // first page leaves it there. REQUIRES: page <= page_count().
  void seek(uint32_t page);

  // Decodes pages next_page() ... last - 1 on `parallel` and hands their
  // samples to `take`, some thousand pages a call: what decode_next() gives
  // for each in turn, and the state it leaves. A span handed over stays valid
  // until the next call of `take` (in this decode_pages() or the next) has
  // returned, so that it can be written while the next pages decode.
  // REQUIRES: next_page() <= last <= page_count().
  void decode_pages(uint32_t last, ParallelDecoder& parallel,
                    const std::function<void(std::span<const int16_t>)>& take);

  // Takes the states checkpoint_states() computed for the same recording.
  void adopt_checkpoints(std::vector<AdpcmState> checkpoints);
  // Checkpoints known: the one before page k * kCheckpointPages for each k below.
  std::size_t checkpoint_count() const { return checkpoints_.size(); }

 private:
  PageShape shape_of(int mode) const;
  // Decodes the next page's codes into work_.decoded and returns their count.
  std::size_t decode_codes();

  const RecordingPages& recording_;
  Adpcm codec_;
  uint32_t sample_rate_;
  std::array<PageShape, 2> shapes_;
  std::vector<uint64_t> starts_;
  std::vector<AdpcmState> checkpoints_;  // before page k * kCheckpointPages
  uint32_t next_ = 0;
  std::array<uint8_t, kMaxPageCodes> codes_{};
  PageWork work_{};
  // decode_pages()'s buffers, in turn, kept for the next call.
  DecodedPages windows_[2];
  std::vector<int16_t, UnsetAllocator<int16_t>> shaped_[2];
  int turn_ = 0;
};

void decode_pages(const RecordingPages& recording, uint32_t first, uint32_t last,
                  const AdpcmState& start, ParallelDecoder& parallel, bool keep_samples,
                  DecodedPages& into);

// The state before page k * kCheckpointPages for every k with k *
// kCheckpointPages <= page_count(), as decoding from the first page leaves
// it: exact, computed on `parallel`, reading the recording once. Nothing
// when `stop` is requested before it is done (it looks between stretches of
// some thousand pages).
std::vector<AdpcmState> checkpoint_states(const RecordingPages& recording,
                                          ParallelDecoder& parallel, std::stop_token stop = {});

}  // namespace calendo
