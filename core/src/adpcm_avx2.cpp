// The AVX2 kernel: the eight FMULTs run in the eight 32-bit lanes of one
// register pair, UPB of the six zero-predictor coefficients in six of them;
// everything else is the scalar steps.
//
// Lanes 0 ... 5 hold B1 ... B6 with DQ1 ... DQ6, lanes 6 and 7 A1 and A2 with
// SR1 and SR2. The decoder runs the lanes one sample ahead for the zero
// predictor: once code k has given DQ, it updates B and DQ and forms the zero
// predictor's products for sample k + 1 together with the pole products for
// sample k, whose operands are already known. So no pass through the lanes
// waits for the pole update, which waits for SEZ of the same sample. The
// encoder needs SE before it has a code, and runs the lanes in step.
#include "adpcm_kernels.h"
#include "adpcm_steps.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define CODEC_AVX2_KERNEL 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace calendo::detail {

#if CODEC_AVX2_KERNEL

#define CODEC_AVX2 __attribute__((target("avx2,bmi,bmi2,lzcnt")))

namespace {

struct Lanes {
  __m256i coef;     // B1 ... B6, A1, A2: 16-bit TC, sign-extended
  __m256i operand;  // DQ1 ... DQ6, SR1, SR2: 11-bit float
};

CODEC_AVX2 Lanes load_lanes(const AdpcmState& state, const Scalars& s) {
  alignas(32) int32_t coef[8];
  alignas(32) int32_t operand[8];
  for (int n = 0; n < 6; ++n) {
    coef[n] = static_cast<int16_t>(state.b[n]);
    operand[n] = state.dq[n] & 2047;
  }
  coef[6] = s.a1;
  coef[7] = s.a2;
  operand[6] = static_cast<int32_t>(s.sr1);
  operand[7] = static_cast<int32_t>(s.sr2);
  return {_mm256_load_si256(reinterpret_cast<const __m256i*>(coef)),
          _mm256_load_si256(reinterpret_cast<const __m256i*>(operand))};
}

CODEC_AVX2 void store_lanes(const Lanes& l, AdpcmState& state) {
  alignas(32) int32_t coef[8];
  alignas(32) int32_t operand[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(coef), l.coef);
  _mm256_store_si256(reinterpret_cast<__m256i*>(operand), l.operand);
  for (int n = 0; n < 6; ++n) {
    state.b[n] = static_cast<uint16_t>(coef[n]);
    state.dq[n] = static_cast<uint16_t>(operand[n]);
  }
}

CODEC_AVX2 CODEC_INLINE __m256i splat(int32_t v) {
  return _mm256_set1_epi32(v);
}

// FMULT in every lane: the products WAn as signed values.
CODEC_AVX2 CODEC_INLINE __m256i fmult_lanes(const Lanes& l) {
  const __m256i an = l.coef;
  const __m256i srn = l.operand;
  const __m256i ans = _mm256_srai_epi32(an, 31);
  const __m256i anmag = _mm256_and_si256(
      _mm256_sub_epi32(_mm256_xor_si256(_mm256_srai_epi32(an, 2), ans), ans), splat(8191));

  // AnEXP, the significant bits of AnMAG (< 2^13), from its nibbles: table
  // lookups give the widths of bytes 0 and 1 (the width of the low nibble, or
  // 4 + that of the high one), and AnEXP is 8 + the width of byte 1 where
  // that is not 0, else the width of byte 0.
  const __m256i nibbles = splat(0x0F0F0F0F);
  const __m256i low_nibbles = _mm256_and_si256(anmag, nibbles);
  const __m256i high_nibbles = _mm256_and_si256(_mm256_srli_epi32(anmag, 4), nibbles);
  const __m256i low_width = _mm256_setr_epi8(0, 1, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4,  //
                                             0, 1, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4);
  const __m256i high_width = _mm256_setr_epi8(0, 5, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8,  //
                                              0, 5, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8);
  const __m256i byte_widths = _mm256_max_epu8(_mm256_shuffle_epi8(low_width, low_nibbles),
                                              _mm256_shuffle_epi8(high_width, high_nibbles));
  const __m256i byte1_width = _mm256_srli_epi32(byte_widths, 8);
  const __m256i anexp = _mm256_blendv_epi8(_mm256_add_epi32(byte1_width, splat(8)),
                                           _mm256_and_si256(byte_widths, splat(255)),
                                           _mm256_cmpeq_epi32(byte1_width, _mm256_setzero_si256()));
  // AnMANT = (AnMAG << 6) >> AnEXP, which has bit 5 set unless AnMAG is 0,
  // whose mantissa is 32.
  const __m256i anmant =
      _mm256_or_si256(_mm256_srlv_epi32(_mm256_slli_epi32(anmag, 6), anexp), splat(32));

  // SRn: sign in bit 10, exponent in bits 6 ... 9, mantissa in bits 0 ... 5.
  const __m256i srns = _mm256_srai_epi32(_mm256_slli_epi32(srn, 21), 31);
  const __m256i srnexp = _mm256_srli_epi32(_mm256_slli_epi32(srn, 22), 28);
  const __m256i srnmant = _mm256_srli_epi32(_mm256_slli_epi32(srn, 26), 26);

  const __m256i wans = _mm256_xor_si256(ans, srns);
  const __m256i wanmant =
      _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(srnmant, anmant), splat(48)), 4);
  // WAnMANT << (SRnEXP + AnEXP) >> 19 is WAnMANT << AnEXP >> (19 - SRnEXP),
  // as SRnEXP < 19; the first shift keeps every bit (AnEXP <= 13).
  const __m256i wanmag = _mm256_and_si256(
      _mm256_srlv_epi32(_mm256_sllv_epi32(wanmant, anexp), _mm256_sub_epi32(splat(19), srnexp)),
      splat(32767));
  return _mm256_sub_epi32(_mm256_xor_si256(wanmag, wans), wans);
}

struct Sums {
  int32_t zero;   // WB1 + ... + WB6
  int32_t poles;  // WA1 + WA2
};

CODEC_AVX2 CODEC_INLINE Sums sum_lanes(__m256i w) {
  const __m128i hi = _mm256_extracti128_si256(w, 1);
  __m128i all = _mm_add_epi32(_mm256_castsi256_si128(w), hi);
  all = _mm_add_epi32(all, _mm_shuffle_epi32(all, _MM_SHUFFLE(1, 0, 3, 2)));
  all = _mm_add_epi32(all, _mm_shuffle_epi32(all, _MM_SHUFFLE(2, 3, 0, 1)));
  const __m128i poles = _mm_add_epi32(hi, _mm_srli_si128(hi, 4));  // lane 2: lanes 6 + 7
  const int32_t pole_sum = _mm_extract_epi32(poles, 2);
  return {_mm_cvtsi128_si32(all) - pole_sum, pole_sum};
}

// XOR, UPB and TRIGB for B1 ... B6 and the advance of DQ1 ... DQ6 after code
// word I; lanes 6 and 7 keep their values.
CODEC_AVX2 CODEC_INLINE void update_zero_lanes(Lanes& l, const Difference& q) {
  // BnP = Bn + (+-128 unless DQMAG = 0) - (Bn >> 8), mod 2^16; the sign of
  // UGBn is DQS xor the sign of DQn.
  const __m256i dqn_sign = _mm256_srai_epi32(_mm256_slli_epi32(l.operand, 21), 31);
  const __m256i un = _mm256_xor_si256(dqn_sign, splat(q.dqs_mask));
  const __m256i ugb = splat(static_cast<int32_t>(q.dqmag != 0) << 7);
  __m256i bp = _mm256_add_epi32(_mm256_sub_epi32(l.coef, _mm256_srai_epi32(l.coef, 8)),
                                _mm256_sub_epi32(_mm256_xor_si256(ugb, un), un));
  bp = _mm256_srai_epi32(_mm256_slli_epi32(bp, 16), 16);
  if (q.tr) [[unlikely]]
    bp = _mm256_setzero_si256();
  l.coef = _mm256_blend_epi32(bp, l.coef, 0xC0);

  // DQ1 ... DQ5 move up one lane, DQ0 enters lane 0.
  const __m256i moved =
      _mm256_permutevar8x32_epi32(l.operand, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 6, 7));
  l.operand = _mm256_blend_epi32(
      moved, _mm256_castsi128_si256(_mm_cvtsi32_si128(static_cast<int32_t>(q.dq0))), 0x01);
}

// Lanes 6 and 7 from the committed A1, A2, SR1 and SR2.
CODEC_AVX2 CODEC_INLINE void set_pole_lanes(Lanes& l, const Scalars& s) {
  const __m128i a = _mm_insert_epi32(_mm_cvtsi32_si128(s.a1), s.a2, 1);
  const __m128i sr = _mm_insert_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(s.sr1)),
                                      static_cast<int32_t>(s.sr2), 1);
  l.coef = _mm256_blend_epi32(l.coef, _mm256_broadcastq_epi64(a), 0xC0);
  l.operand = _mm256_blend_epi32(l.operand, _mm256_broadcastq_epi64(sr), 0xC0);
}

// UPA2 ... TRIGB for the poles and the rest of the commit.
CODEC_AVX2 CODEC_INLINE void update_poles_and_commit(Lanes& l, Scalars& s, uint32_t y,
                                                     const CodeEntry& c, const Difference& q,
                                                     const Reconstruction& r) {
  adapt_and_commit(s, y, c, r, update_poles(r, s));
  if (q.tr) [[unlikely]]
    trigb(s);
  set_pole_lanes(l, s);
}

template <OutputStage Stage>
CODEC_AVX2 void decode_loop(AdpcmState& state, const WidthTables& t, const uint8_t* codes,
                            std::size_t count, int16_t* out) {
  Scalars s = load_scalars(state);
  Lanes l = load_lanes(state, s);
  const CodeEntry* const code_table = t.code.data();
  // The zero predictor's sum for the first sample.
  int32_t zero_sum = sum_lanes(fmult_lanes(l)).zero;
  for (std::size_t k = 0; k < count; ++k) {
    const uint32_t y = scale_factor(s);
    const CodeEntry& c = code_table[codes[k] & 15u];
    const Difference q = dequantize(c, y, s);
    update_zero_lanes(l, q);
    // Zero predictor of sample k + 1, poles of sample k.
    const Sums sums = sum_lanes(fmult_lanes(l));
    const Estimate e = accum(zero_sum, zero_sum + sums.poles);
    zero_sum = sums.zero;
    const Reconstruction r = reconstruct(q, e);
    update_poles_and_commit(l, s, y, c, q, r);
    out[k] = output_stage(Stage, r.sr);
  }
  store_lanes(l, state);
  store_scalars(s, state);
}

template <InputStage Stage>
CODEC_AVX2 void encode_loop(AdpcmState& state, const WidthTables& t, const int16_t* samples,
                            std::size_t count, uint8_t* codes) {
  Scalars s = load_scalars(state);
  Lanes l = load_lanes(state, s);
  for (std::size_t k = 0; k < count; ++k) {
    const uint32_t y = scale_factor(s);
    const Sums sums = sum_lanes(fmult_lanes(l));
    const Estimate e = accum(sums.zero, sums.zero + sums.poles);
    const uint32_t i = quantize(input_stage(Stage, samples[k]), e, y, t);
    const CodeEntry& c = t.code[i];
    const Difference q = dequantize(c, y, s);
    update_zero_lanes(l, q);
    const Reconstruction r = reconstruct(q, e);
    update_poles_and_commit(l, s, y, c, q, r);
    codes[k] = static_cast<uint8_t>(i);
  }
  store_lanes(l, state);
  store_scalars(s, state);
}

}  // namespace

// LZCNT is CPUID 8000_0001h ECX bit 5; the rest the compiler's check knows.
static bool has_lzcnt() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) && (ecx & (1u << 5)) != 0;
}

bool kernel_available(Kernel kernel) {
  if (kernel == Kernel::Scalar) return true;
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                           __builtin_cpu_supports("bmi2") && has_lzcnt();
  return avx2;
}

void decode_avx2(AdpcmState& state, OutputStage stage, const WidthTables& t, const uint8_t* codes,
                 std::size_t count, int16_t* out) {
  if (stage == OutputStage::Gain3_5) {
    decode_loop<OutputStage::Gain3_5>(state, t, codes, count, out);
  } else {
    decode_loop<OutputStage::Shift2>(state, t, codes, count, out);
  }
}

void encode_avx2(AdpcmState& state, InputStage stage, const WidthTables& t, const int16_t* samples,
                 std::size_t count, uint8_t* codes) {
  if (stage == InputStage::Gain0_9) {
    encode_loop<InputStage::Gain0_9>(state, t, samples, count, codes);
  } else {
    encode_loop<InputStage::Direct>(state, t, samples, count, codes);
  }
}

#else  // no AVX2 kernel in this build: the scalar kernel stands in.

bool kernel_available(Kernel kernel) {
  return kernel == Kernel::Scalar;
}

void decode_avx2(AdpcmState& state, OutputStage stage, const WidthTables& t, const uint8_t* codes,
                 std::size_t count, int16_t* out) {
  decode_scalar(state, stage, t, codes, count, out);
}

void encode_avx2(AdpcmState& state, InputStage stage, const WidthTables& t, const int16_t* samples,
                 std::size_t count, uint8_t* codes) {
  encode_scalar(state, stage, t, samples, count, codes);
}

#endif

}  // namespace calendo::detail
