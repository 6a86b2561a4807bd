// The scalar kernel: every step in plain integer code, the state in locals.
#include <algorithm>
#include <iterator>

#include "adpcm_kernels.h"
#include "adpcm_steps.h"

namespace calendo::detail {

namespace {

// The zero predictor's delay line and coefficients.
struct ZeroPredictor {
  uint32_t dq[6];  // 11-bit float
  int32_t b[6];    // 16-bit TC, sign-extended
};

ZeroPredictor load_zero(const AdpcmState& s) {
  ZeroPredictor z;
  for (int n = 0; n < 6; ++n) {
    z.dq[n] = s.dq[n] & 2047u;
    z.b[n] = static_cast<int16_t>(s.b[n]);
  }
  return z;
}

void store_zero(const ZeroPredictor& z, AdpcmState& s) {
  for (int n = 0; n < 6; ++n) {
    s.dq[n] = static_cast<uint16_t>(z.dq[n]);
    s.b[n] = static_cast<uint16_t>(z.b[n]);
  }
}

// FMULT, eight times, and ACCUM.
CODEC_INLINE Estimate estimate(const ZeroPredictor& z, const Scalars& s) {
  int32_t wb = 0;
#pragma GCC unroll 6
  for (int n = 0; n < 6; ++n) wb += fmult(z.b[n], z.dq[n]);
  const int32_t wa = fmult(s.a2, s.sr2) + fmult(s.a1, s.sr1);
  return accum(wb, wb + wa);
}

// RECONST to the commit for code word I (within the width); returns SR.
CODEC_INLINE int32_t update(ZeroPredictor& z, Scalars& s, const Estimate& e, uint32_t y, uint32_t i,
                            const WidthTables& t) {
  const CodeEntry& c = t.code[i];
  const Difference q = dequantize(c, y, s);
  const Reconstruction r = reconstruct(q, e);
  const PoleUpdate poles = update_poles(r, s);
  int32_t bp[6];
#pragma GCC unroll 6
  for (int n = 0; n < 6; ++n) bp[n] = upb(z.b[n], z.dq[n], q);
  adapt_and_commit(s, y, c, r, poles);
  if (q.tr) [[unlikely]] {
    trigb(s);
    for (int32_t& bn : bp) bn = 0;
  }
#pragma GCC unroll 6
  for (int n = 5; n > 0; --n) z.dq[n] = z.dq[n - 1];
  z.dq[0] = q.dq0;
#pragma GCC unroll 6
  for (int n = 0; n < 6; ++n) z.b[n] = bp[n];
  return r.sr;
}

template <OutputStage Stage>
void decode_loop(AdpcmState& state, const WidthTables& t, const uint8_t* codes, std::size_t count,
                 int16_t* out) {
  ZeroPredictor z = load_zero(state);
  Scalars s = load_scalars(state);
  for (std::size_t k = 0; k < count; ++k) {
    const uint32_t y = scale_factor(s);
    const Estimate e = estimate(z, s);
    out[k] = output_stage(Stage, update(z, s, e, y, codes[k] & 15u, t));
  }
  store_zero(z, state);
  store_scalars(s, state);
}

template <InputStage Stage>
void encode_loop(AdpcmState& state, const WidthTables& t, const int16_t* samples, std::size_t count,
                 uint8_t* codes) {
  ZeroPredictor z = load_zero(state);
  Scalars s = load_scalars(state);
  for (std::size_t k = 0; k < count; ++k) {
    const uint32_t y = scale_factor(s);
    const Estimate e = estimate(z, s);
    const uint32_t i = quantize(input_stage(Stage, samples[k]), e, y, t);
    update(z, s, e, y, i, t);
    codes[k] = static_cast<uint8_t>(i);
  }
  store_zero(z, state);
  store_scalars(s, state);
}

}  // namespace

void decode_scalar(AdpcmState& state, OutputStage stage, const WidthTables& t, const uint8_t* codes,
                   std::size_t count, int16_t* out) {
  if (stage == OutputStage::Gain3_5) {
    decode_loop<OutputStage::Gain3_5>(state, t, codes, count, out);
  } else {
    decode_loop<OutputStage::Shift2>(state, t, codes, count, out);
  }
}

void encode_scalar(AdpcmState& state, InputStage stage, const WidthTables& t,
                   const int16_t* samples, std::size_t count, uint8_t* codes) {
  if (stage == InputStage::Gain0_9) {
    encode_loop<InputStage::Gain0_9>(state, t, samples, count, codes);
  } else {
    encode_loop<InputStage::Direct>(state, t, samples, count, codes);
  }
}

void decode_lanes_scalar(AdpcmState (&states)[kLanes], OutputStage stage, const WidthTables& t,
                         const LaneStreams& streams, std::size_t count) {
  for (int j = 0; j < kLanes; ++j) {
    if (streams.out[j] != nullptr) {
      decode_scalar(states[j], stage, t, streams.codes[j], count, streams.out[j]);
      continue;
    }
    int16_t discarded[1024];
    for (std::size_t k = 0; k < count; k += std::size(discarded)) {
      const std::size_t n = std::min(std::size(discarded), count - k);
      decode_scalar(states[j], stage, t, streams.codes[j] + k, n, discarded);
    }
  }
}

}  // namespace calendo::detail
