// Exact decoding of one long code stream on every core.
//
// Each sample depends on the state the last one left, so one stream is serial.
// But the decoder state converges: a decoder started from the reset state a
// few thousand codes before a point reaches, at that point, the very state
// (every field equal) of a decoder that ran from the beginning. So the stream
// is cut into chunks decoded independently, each from the reset state a
// warm-up before its start, and then verified in stream order: a chunk counts
// only where its state at its start equals the state the chunk before it
// ended with. Where it does not, the chunk is decoded again from the true
// state, until its state meets the one the first pass had at one of its
// probe points (after which the first pass was right). The result is the
// serial decoder's, sample for sample and state for state, whatever the
// stream: exact by construction.
//
// Chunks run on a WorkerPool and, with Kernel::Lanes, eight at a time on one
// thread, one per 32-bit lane of the vector registers (AVX2; processors
// without it run the eight lanes with the scalar kernel).
//
// A decoder keeps no state between calls besides its pool and its last
// figures; one call at a time per decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/worker_pool.h"

namespace calendo {

// Where a stretch of one code width ends in the stream (the widths a
// recording's pages give in turn).
struct WidthRun {
  std::size_t end = 0;
  int bits = 4;
};

struct CodeStream {
  std::span<const uint8_t> codes;
  // Ascending, the last ending at codes.size(); a chunk never spans two.
  std::span<const WidthRun> runs;
  // Positions (ascending, each at most codes.size()) whose state is wanted.
  std::span<const std::size_t> marks;
  OutputStage stage = OutputStage::Gain3_5;
};

struct ParallelOptions {
  enum class Kernel {
    Streams,      // a chunk at a time per thread, the codec's fastest kernel
    Lanes,        // eight chunks per thread in vector lanes
    ScalarLanes,  // the lanes with the scalar kernel (as without AVX2)
  };
  Kernel kernel = Kernel::Lanes;
  // Codes of a chunk; 0 chooses from the stream's length and the threads.
  std::size_t chunk_codes = 0;
  // Codes decoded from the reset state before a chunk's start.
  std::size_t warmup_codes = 16384;
  // Codes between the states the verification compares inside a chunk.
  std::size_t probe_codes = 8192;
};

// What the last decode() did.
struct ParallelStats {
  std::size_t chunks = 0;
  std::size_t mismatches = 0;    // chunks whose start state was not the true one
  std::size_t codes_redone = 0;  // codes decoded again from the true state
};

class ParallelDecoder {
 public:
  // `threads` as WorkerPool's (0: one per processor).
  explicit ParallelDecoder(unsigned threads = 0, ParallelOptions options = {});

  // Decodes `stream` from `start` into `out` (one sample per code; an empty
  // `out` discards them), exactly as one Adpcm with `start` decoding the
  // codes in order, and returns the state after the last code. The state at
  // each mark goes to the same index of `mark_states`.
  // REQUIRES: out is empty or holds codes.size(); mark_states holds marks.size().
  AdpcmState decode(const AdpcmState& start, const CodeStream& stream, std::span<int16_t> out,
                    std::span<AdpcmState> mark_states = {});

  unsigned threads() const { return pool_.threads(); }
  // Its threads, for other work between decodes.
  WorkerPool& pool() { return pool_; }
  const ParallelOptions& options() const { return options_; }
  const ParallelStats& last_stats() const { return stats_; }

 private:
  WorkerPool pool_;
  ParallelOptions options_;
  ParallelStats stats_;
};

// The reset state (Adpcm::adpcm_reset_state()).
AdpcmState reset_state();

}  // namespace calendo
