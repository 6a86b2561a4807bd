// The block loops of the codec. Two kernels compute the same bits: a scalar
// one that runs everywhere and one that does FMULT, ACCUM and UPB in AVX2
// vector lanes (x86-64 processors that have AVX2). Adpcm picks the fastest
// the processor runs; the tests run every kernel against the others.
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

}  // namespace calendo::detail
