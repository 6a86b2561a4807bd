// The block loops of the codec. Two kernels compute the same bits: a scalar
// one that runs everywhere and one that does FMULT, ACCUM and UPB in AVX2
// vector lanes (x86-64 processors that have AVX2). Adpcm picks the fastest
// the processor runs; the tests run every kernel against the others.
//
// The lane kernels decode eight independent streams of one width side by
// side, one per 32-bit lane: the whole per-sample update in AVX2 registers,
// or, without AVX2, the scalar kernel on each stream in turn.
#pragma once

#include <cstddef>
#include <cstdint>

#include "adpcm_tables.h"
#include "calendo/adpcm.h"

namespace calendo::detail {

enum class Kernel { Scalar, Avx2 };

// Whether this build and this processor can run `kernel`.
bool kernel_available(Kernel kernel);

// The fastest available kernel.
Kernel best_kernel();

void decode_scalar(AdpcmState& state, OutputStage stage, const WidthTables& t, const uint8_t* codes,
                   std::size_t count, int16_t* out);
void encode_scalar(AdpcmState& state, InputStage stage, const WidthTables& t,
                   const int16_t* samples, std::size_t count, uint8_t* codes);

// REQUIRES: kernel_available(Kernel::Avx2).
void decode_avx2(AdpcmState& state, OutputStage stage, const WidthTables& t, const uint8_t* codes,
                 std::size_t count, int16_t* out);
void encode_avx2(AdpcmState& state, InputStage stage, const WidthTables& t, const int16_t* samples,
                 std::size_t count, uint8_t* codes);

inline constexpr int kLanes = 8;

// Eight streams of `count` codes each; a null out[j] discards lane j's samples.
struct LaneStreams {
  const uint8_t* codes[kLanes];
  int16_t* out[kLanes];
};

void decode_lanes_scalar(AdpcmState (&states)[kLanes], OutputStage stage, const WidthTables& t,
                         const LaneStreams& streams, std::size_t count);
// REQUIRES: kernel_available(Kernel::Avx2).
void decode_lanes_avx2(AdpcmState (&states)[kLanes], OutputStage stage, const WidthTables& t,
                       const LaneStreams& streams, std::size_t count);

}  // namespace calendo::detail
