// The parallel decoder gives the serial decoder's samples and states, always:
// long streams of every kind at every width, across chunk sizes and warm-ups,
// on threads alone, in vector lanes and in the scalar lanes that stand in
// without AVX2; streams of several widths; and streams on which a warm-up
// cannot reach the true state, so that the verification's second pass runs.
#include "calendo/parallel_decoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "code_streams.h"

namespace calendo {
namespace {

using Kernel = ParallelOptions::Kernel;

struct Serial {
  std::vector<int16_t> out;
  std::vector<AdpcmState> at_marks;
  AdpcmState end;
};

// One Adpcm through the whole stream, the state taken at every mark.
Serial decode_serially(const AdpcmState& start, const CodeStream& s) {
  Serial r;
  r.out.resize(s.codes.size());
  Adpcm codec(s.stage);
  codec.state() = start;
  std::size_t pos = 0;
  std::size_t mark = 0;
  auto take_marks = [&] {
    while (mark < s.marks.size() && s.marks[mark] == pos) {
      r.at_marks.push_back(codec.state());
      ++mark;
    }
  };
  take_marks();
  for (const WidthRun& run : s.runs) {
    while (pos < run.end) {
      const std::size_t until = mark < s.marks.size() ? std::min(run.end, s.marks[mark]) : run.end;
      codec.decode(s.codes.data() + pos, until - pos, run.bits, r.out.data() + pos);
      pos = until;
      take_marks();
    }
  }
  r.end = codec.state();
  return r;
}

std::vector<std::size_t> marks_every(std::size_t step, std::size_t size) {
  std::vector<std::size_t> marks;
  for (std::size_t m = 0; m <= size; m += step) marks.push_back(m);
  return marks;
}

// Decodes `s` with `options` and expects the serial result.
ParallelStats expect_serial_result(const AdpcmState& start, const CodeStream& s,
                                   const ParallelOptions& options, unsigned threads,
                                   const std::string& trace) {
  const Serial serial = decode_serially(start, s);
  ParallelDecoder decoder(threads, options);
  std::vector<int16_t> out(s.codes.size(), 0x5A5A);
  std::vector<AdpcmState> at_marks(s.marks.size());
  const AdpcmState end = decoder.decode(start, s, out, at_marks);
  EXPECT_EQ(end, serial.end) << trace;
  EXPECT_TRUE(out == serial.out) << trace;
  EXPECT_TRUE(at_marks == serial.at_marks) << trace;
  // Without an output buffer: the same states.
  std::vector<AdpcmState> discarding(s.marks.size());
  EXPECT_EQ(decoder.decode(start, s, {}, discarding), serial.end) << trace;
  EXPECT_TRUE(discarding == serial.at_marks) << trace;
  return decoder.last_stats();
}

const Kernel kKernels[] = {Kernel::Streams, Kernel::Lanes, Kernel::ScalarLanes};

ParallelOptions options_of(Kernel kernel, std::size_t chunk, std::size_t warmup,
                           std::size_t probe) {
  ParallelOptions options;
  options.kernel = kernel;
  options.chunk_codes = chunk;
  options.warmup_codes = warmup;
  options.probe_codes = probe;
  return options;
}

TEST(ParallelDecoder, EveryKindAtEveryWidthAcrossChunkSizes) {
  const AdpcmState reset = reset_state();
  for (const codec_test::Kind kind : codec_test::kAllKinds) {
    for (int bits = 2; bits <= 4; ++bits) {
      const std::vector<uint8_t> codes = codec_test::codes_of(kind, 80001, bits, 11);
      const WidthRun runs[] = {{codes.size(), bits}};
      const std::vector<std::size_t> marks = marks_every(8192 * 3 + 5, codes.size());
      const CodeStream stream{codes, runs, marks, OutputStage::Gain3_5};
      for (const Kernel kernel : kKernels) {
        for (const std::size_t chunk : {std::size_t{9973}, std::size_t{40000}, std::size_t{0}}) {
          const ParallelOptions options = options_of(kernel, chunk, 4096, 2048);
          expect_serial_result(reset, stream, options, 2,
                               codec_test::kind_name(kind) + " " + std::to_string(bits) +
                                   " bits, kernel " + std::to_string(static_cast<int>(kernel)) +
                                   ", chunks of " + std::to_string(chunk));
        }
      }
    }
  }
}

TEST(ParallelDecoder, StreamsOfSeveralWidthsAndStartStates) {
  // Pages of a mixed recording: runs of 3-bit and 2-bit codes in turn, some
  // shorter than a warm-up; started from the reset state and from a state
  // the stream's own first half leaves.
  std::vector<uint8_t> codes;
  std::vector<WidthRun> runs;
  const int widths[] = {3, 2, 3, 4, 2, 3};
  const std::size_t lengths[] = {60000, 1500, 70001, 33333, 50000, 999};
  for (int r = 0; r < 6; ++r) {
    const auto part = codec_test::codes_of(codec_test::Kind::Speech, lengths[r], widths[r],
                                           static_cast<unsigned>(r));
    codes.insert(codes.end(), part.begin(), part.end());
    runs.push_back({codes.size(), widths[r]});
  }
  const std::vector<std::size_t> marks = marks_every(1360 * 64, codes.size());
  const CodeStream stream{codes, runs, marks, OutputStage::Shift2};
  const AdpcmState later = decode_serially(reset_state(), stream).at_marks[1];
  for (const AdpcmState& start : {reset_state(), later}) {
    for (const Kernel kernel : kKernels) {
      const ParallelOptions options = options_of(kernel, 12000, 3000, 1000);
      expect_serial_result(start, stream, options, 3,
                           "kernel " + std::to_string(static_cast<int>(kernel)));
    }
  }
}

TEST(ParallelDecoder, WhereWarmUpsNeverConvergeTheSecondPassMakesItExact) {
  // Speech, then code 0 at 4 bits for a long stretch: DQ is 0 there, so the
  // zero predictor's small positive coefficients never decay (B - B >> 8
  // keeps them) and a decoder from the reset state never meets the true one
  // until speech returns. Every chunk that starts in the stretch mismatches.
  std::vector<uint8_t> codes = codec_test::codes_of(codec_test::Kind::Speech, 40000, 4, 3);
  codes.resize(codes.size() + 120000, 0);
  const auto tail = codec_test::codes_of(codec_test::Kind::Speech, 40000, 4, 4);
  codes.insert(codes.end(), tail.begin(), tail.end());
  const WidthRun runs[] = {{codes.size(), 4}};
  const std::vector<std::size_t> marks = marks_every(5000, codes.size());
  const CodeStream stream{codes, runs, marks, OutputStage::Gain3_5};
  for (const Kernel kernel : kKernels) {
    const ParallelOptions options = options_of(kernel, 10000, 2000, 1000);
    const ParallelStats stats = expect_serial_result(
        reset_state(), stream, options, 2, "kernel " + std::to_string(static_cast<int>(kernel)));
    EXPECT_GE(stats.mismatches, 10u);
    EXPECT_GE(stats.codes_redone, 100000u);
  }
  // No warm-up at all: every chunk's first guess is the reset state.
  ParallelOptions cold;
  cold.chunk_codes = 7000;
  cold.warmup_codes = 0;
  const ParallelStats stats = expect_serial_result(reset_state(), stream, cold, 2, "cold");
  EXPECT_EQ(stats.mismatches, stats.chunks - 1);
}

TEST(ParallelDecoder, ShortAndEmptyStreams) {
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{8}, std::size_t{100}}) {
    const std::vector<uint8_t> codes = codec_test::codes_of(codec_test::Kind::Noisy, size, 3, 1);
    const WidthRun runs[] = {{size, 3}};
    const std::vector<std::size_t> marks = marks_every(3, size);
    for (const Kernel kernel : kKernels) {
      const ParallelOptions options = options_of(kernel, 5, 2, 2);
      expect_serial_result(reset_state(), {codes, runs, marks, OutputStage::Gain3_5}, options, 2,
                           std::to_string(size) + " codes");
    }
  }
}

}  // namespace
}  // namespace calendo
