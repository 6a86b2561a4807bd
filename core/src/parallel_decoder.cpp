#include "calendo/parallel_decoder.h"

#include <algorithm>
#include <array>

#include "adpcm_kernels.h"
#include "adpcm_tables.h"

namespace calendo {
namespace {

using Kernel = ParallelOptions::Kernel;

// A chunk and what its first pass found: the state after the warm-up, then
// the state at each stop (the probe points and marks inside it, its end).
struct Chunk {
  std::size_t warm_begin = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
  int bits = 4;
  bool exact = false;  // starts the stream: decoded from the true state
  std::vector<std::size_t> stops;
  AdpcmState at_begin{};
  std::vector<AdpcmState> at_stop;
};

// The ends of the pieces of [begin, end): probe points, marks, the end.
std::vector<std::size_t> stops_of(std::size_t begin, std::size_t end, std::size_t probe,
                                  std::span<const std::size_t> marks) {
  std::vector<std::size_t> stops;
  for (std::size_t p = begin + probe; p < end; p += probe) stops.push_back(p);
  const auto first = std::upper_bound(marks.begin(), marks.end(), begin);
  for (auto m = first; m != marks.end() && *m < end; ++m) stops.push_back(*m);
  stops.push_back(end);
  std::sort(stops.begin(), stops.end());
  stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
  return stops;
}

// How many chunks the stream is cut into.
std::size_t chunk_count(std::size_t total, unsigned threads, const ParallelOptions& o) {
  if (o.chunk_codes > 0)
    return std::max<std::size_t>(1, (total + o.chunk_codes - 1) / o.chunk_codes);
  // Every lane of every thread busy, a few chunks each on long streams so
  // that a thread held up elsewhere holds up little, and chunks long enough
  // for their warm-ups to be a small share of the work.
  const std::size_t lanes = o.kernel == Kernel::Streams ? 1 : detail::kLanes;
  const std::size_t units = std::size_t{threads} * lanes;
  const std::size_t rounds =
      std::clamp<std::size_t>(total / (units * 64 * (o.warmup_codes + 1)), 1, 4);
  const std::size_t shortest = std::max<std::size_t>(4 * o.warmup_codes, 4096);
  std::size_t count = units * rounds;
  if (total / count < shortest) {
    count = total / shortest;
    if (count > lanes) count -= count % lanes;  // whole groups of lanes
  }
  return std::max<std::size_t>(count, 1);
}

std::vector<Chunk> plan_chunks(const CodeStream& stream, unsigned threads,
                               const ParallelOptions& o) {
  const std::size_t total = stream.codes.size();
  const std::size_t wanted = chunk_count(total, threads, o);
  const std::size_t probe = std::max<std::size_t>(o.probe_codes, 1);
  std::vector<Chunk> chunks;
  std::size_t run_begin = 0;
  for (const WidthRun& run : stream.runs) {
    // The run's share of the chunks, of lengths that differ by one at most.
    const std::size_t size = run.end - run_begin;
    const std::size_t count = size == 0
                                  ? 0
                                  : std::max<std::size_t>(1, (size * wanted + total / 2) /
                                                                 std::max<std::size_t>(total, 1));
    for (std::size_t i = 0; i < count; ++i) {
      Chunk c;
      c.begin = run_begin + size * i / count;
      c.end = run_begin + size * (i + 1) / count;
      if (c.begin == c.end) continue;
      c.warm_begin = c.begin - std::min(o.warmup_codes, c.begin - run_begin);
      c.bits = run.bits;
      c.exact = c.begin == 0;
      c.stops = stops_of(c.begin, c.end, probe, stream.marks);
      c.at_stop.resize(c.stops.size());
      chunks.push_back(std::move(c));
    }
    run_begin = run.end;
  }
  return chunks;
}

// Decodes one stream's codes [from, from + count) with the single-stream
// kernel; `out` null discards the samples.
void decode_one(AdpcmState& state, const CodeStream& stream, const detail::WidthTables& t,
                bool scalar, std::size_t from, std::size_t count, int16_t* out) {
  const uint8_t* codes = stream.codes.data() + from;
  auto run = [&](const uint8_t* c, std::size_t n, int16_t* o) {
    if (scalar) {
      detail::decode_scalar(state, stream.stage, t, c, n, o);
    } else {
      detail::decode_avx2(state, stream.stage, t, c, n, o);
    }
  };
  if (out != nullptr) {
    run(codes, count, out + from);
    return;
  }
  std::array<int16_t, 1024> discarded;
  for (std::size_t k = 0; k < count; k += discarded.size())
    run(codes + k, std::min(discarded.size(), count - k), discarded.data());
}

// Where a chunk's first pass stands.
struct Cursor {
  std::size_t pos = 0;
  std::size_t next = 0;  // 0: the warm-up's end (begin) is next, k: stops[k - 1]

  std::size_t target(const Chunk& c) const { return next == 0 ? c.begin : c.stops[next - 1]; }
  bool done(const Chunk& c) const { return next > c.stops.size(); }
  // Saves `state` if the cursor stands at its target.
  void arrive(Chunk& c, const AdpcmState& state) {
    if (pos != target(c)) return;
    (next == 0 ? c.at_begin : c.at_stop[next - 1]) = state;
    ++next;
  }
};

class FirstPass {
 public:
  FirstPass(const CodeStream& stream, const AdpcmState& start, std::span<int16_t> out,
            Kernel kernel)
      : stream_(stream), start_(start), out_(out.empty() ? nullptr : out.data()), kernel_(kernel) {
    reset_ = reset_state();
  }

  // One chunk alone, or the rest of a chunk from where a cursor stands.
  void run_stream(Chunk& c, AdpcmState& state, Cursor& at) const {
    const detail::WidthTables& t = detail::tables_for(c.bits);
    while (!at.done(c)) {
      const std::size_t n = at.target(c) - at.pos;
      decode_one(state, stream_, t, scalar(), at.pos, n, at.pos >= c.begin ? out_ : nullptr);
      at.pos += n;
      at.arrive(c, state);
    }
  }

  void run_chunk(Chunk& c) const {
    AdpcmState state = c.exact ? start_ : reset_;
    Cursor at{c.warm_begin, 0};
    run_stream(c, state, at);
  }

  // Up to eight chunks of one width side by side; lanes without a chunk of
  // their own run on another lane's codes and keep nothing.
  void run_lanes(std::span<Chunk* const> group) const {
    const detail::WidthTables& t = detail::tables_for(group[0]->bits);
    AdpcmState states[detail::kLanes];
    Chunk* chunk[detail::kLanes];
    Cursor at[detail::kLanes];
    for (int j = 0; j < detail::kLanes; ++j) {
      chunk[j] = group[static_cast<std::size_t>(j) < group.size() ? j : 0];
      states[j] = chunk[j]->exact ? start_ : reset_;
      at[j] = {chunk[j]->warm_begin, 0};
    }
    const auto lane_count = static_cast<int>(group.size());
    bool active[detail::kLanes];
    for (int j = 0; j < detail::kLanes; ++j) active[j] = j < lane_count && !at[j].done(*chunk[j]);
    // In lanes while two or more have work left; a lane whose chunk is done
    // runs on with another lane's codes and keeps nothing.
    for (;;) {
      int busy = 0;
      int some = 0;
      std::size_t n = SIZE_MAX;
      for (int j = 0; j < detail::kLanes; ++j) {
        if (!active[j]) continue;
        ++busy;
        some = j;
        n = std::min(n, at[j].target(*chunk[j]) - at[j].pos);
      }
      if (busy < 2) break;
      if (n > 0) {
        detail::LaneStreams streams;
        for (int j = 0; j < detail::kLanes; ++j) {
          const int from = active[j] ? j : some;
          streams.codes[j] = stream_.codes.data() + at[from].pos;
          const bool keep = active[j] && out_ != nullptr && at[j].pos >= chunk[j]->begin;
          streams.out[j] = keep ? out_ + at[j].pos : nullptr;
        }
        if (kernel_ == Kernel::Lanes && avx2()) {
          detail::decode_lanes_avx2(states, stream_.stage, t, streams, n);
        } else {
          detail::decode_lanes_scalar(states, stream_.stage, t, streams, n);
        }
      }
      for (int j = 0; j < detail::kLanes; ++j) {
        if (!active[j]) continue;
        at[j].pos += n;
        at[j].arrive(*chunk[j], states[j]);
        active[j] = !at[j].done(*chunk[j]);
      }
    }
    for (int j = 0; j < lane_count; ++j) {
      if (active[j]) run_stream(*chunk[j], states[j], at[j]);
    }
  }

  // The second pass, in stream order: a chunk whose start state was not the
  // true one is decoded again from the true state until it meets its first
  // pass at a stop. Returns the state after the stream.
  AdpcmState verify(std::vector<Chunk>& chunks, ParallelStats& stats) const {
    AdpcmState truth = start_;
    for (Chunk& c : chunks) {
      if (!c.exact && !(c.at_begin == truth)) {
        ++stats.mismatches;
        const detail::WidthTables& t = detail::tables_for(c.bits);
        AdpcmState state = truth;
        std::size_t pos = c.begin;
        for (std::size_t k = 0; k < c.stops.size(); ++k) {
          decode_one(state, stream_, t, scalar(), pos, c.stops[k] - pos, out_);
          stats.codes_redone += c.stops[k] - pos;
          pos = c.stops[k];
          if (state == c.at_stop[k]) break;
          c.at_stop[k] = state;
        }
      }
      truth = c.at_stop.back();
    }
    return truth;
  }

 private:
  static bool avx2() { return detail::kernel_available(detail::Kernel::Avx2); }
  // Whether the single-stream steps run the scalar kernel too.
  bool scalar() const { return kernel_ == Kernel::ScalarLanes || !avx2(); }

  const CodeStream& stream_;
  AdpcmState start_;
  AdpcmState reset_;
  int16_t* out_;
  Kernel kernel_;
};

}  // namespace

AdpcmState reset_state() {
  Adpcm codec;
  codec.adpcm_reset_state();
  return codec.state();
}

ParallelDecoder::ParallelDecoder(unsigned threads, ParallelOptions options)
    : pool_(threads), options_(options) {}

AdpcmState ParallelDecoder::decode(const AdpcmState& start, const CodeStream& stream,
                                   std::span<int16_t> out, std::span<AdpcmState> mark_states) {
  stats_ = {};
  std::vector<Chunk> chunks = plan_chunks(stream, pool_.threads(), options_);
  stats_.chunks = chunks.size();
  // Without AVX2, eight lanes on one thread are eight chunks in turn.
  const bool avx2 = detail::kernel_available(detail::Kernel::Avx2);
  const Kernel kernel =
      options_.kernel == Kernel::Lanes && !avx2 ? Kernel::Streams : options_.kernel;
  const FirstPass pass(stream, start, out, kernel);

  if (kernel == Kernel::Streams) {
    pool_.run(chunks.size(), [&](std::size_t i) { pass.run_chunk(chunks[i]); });
  } else {
    // Groups of eight chunks of one width, in stream order within a width.
    std::vector<Chunk*> order;
    for (Chunk& c : chunks) order.push_back(&c);
    std::stable_sort(order.begin(), order.end(),
                     [](const Chunk* a, const Chunk* b) { return a->bits < b->bits; });
    std::vector<std::span<Chunk* const>> groups;
    for (std::size_t i = 0; i < order.size();) {
      std::size_t j = i + 1;
      while (j < order.size() && j - i < detail::kLanes && order[j]->bits == order[i]->bits) ++j;
      groups.emplace_back(order.data() + i, j - i);
      i = j;
    }
    pool_.run(groups.size(), [&](std::size_t i) { pass.run_lanes(groups[i]); });
  }
  const AdpcmState end = chunks.empty() ? start : pass.verify(chunks, stats_);

  for (std::size_t i = 0; i < stream.marks.size(); ++i) {
    const std::size_t m = stream.marks[i];
    if (m == 0 || chunks.empty()) {
      mark_states[i] = start;
      continue;
    }
    const auto c = std::lower_bound(chunks.begin(), chunks.end(), m,
                                    [](const Chunk& ch, std::size_t p) { return ch.end < p; });
    const auto k = std::lower_bound(c->stops.begin(), c->stops.end(), m) - c->stops.begin();
    mark_states[i] = c->at_stop[static_cast<std::size_t>(k)];
  }
  return end;
}

}  // namespace calendo
