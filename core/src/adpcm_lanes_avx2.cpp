// The lane kernel: eight independent streams of one width, one per 32-bit
// lane of each AVX2 register, every field of the state a register of eight.
// Each block of the per-sample update is the scalar step of the same name
// (adpcm_steps.h) written once for all lanes; no lane ever branches. The
// code-word tables of the stream's width sit in registers and are read by
// permutes; the other lookups (ANTILOG, the TRANS threshold) are computed.
#include "adpcm_kernels.h"
#include "adpcm_steps.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define CODEC_LANE_KERNEL 1
#include <immintrin.h>
#endif

namespace calendo::detail {

#if CODEC_LANE_KERNEL

#define CODEC_AVX2 __attribute__((target("avx2,bmi,bmi2,lzcnt")))

namespace {

using V = __m256i;

CODEC_AVX2 CODEC_INLINE V splat(int32_t v) {
  return _mm256_set1_epi32(v);
}

CODEC_AVX2 CODEC_INLINE V add(V a, V b) {
  return _mm256_add_epi32(a, b);
}

CODEC_AVX2 CODEC_INLINE V sub(V a, V b) {
  return _mm256_sub_epi32(a, b);
}

CODEC_AVX2 CODEC_INLINE V mask(V a, int32_t m) {
  return _mm256_and_si256(a, splat(m));
}

// The low 16 bits read as two's complement (wrap16).
CODEC_AVX2 CODEC_INLINE V wrap16(V x) {
  return _mm256_srai_epi32(_mm256_slli_epi32(x, 16), 16);
}

// -x where `negative` is all ones (apply_sign).
CODEC_AVX2 CODEC_INLINE V apply_sign(V x, V negative) {
  return sub(_mm256_xor_si256(x, negative), negative);
}

CODEC_AVX2 CODEC_INLINE V limit(V x, int32_t lo, int32_t hi) {
  return _mm256_min_epi32(_mm256_max_epi32(x, splat(lo)), splat(hi));
}

// Significant bits of x < 2^24, from the exponent of x as a float (exact).
CODEC_AVX2 CODEC_INLINE V significant_bits(V x) {
  const V exponent = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(x)), 23);
  return _mm256_max_epi32(sub(exponent, splat(126)), _mm256_setzero_si256());
}

// The 11-bit float of sign mask `sign` and magnitude `mag` < 2^15 (FLOATA, FLOATB).
CODEC_AVX2 CODEC_INLINE V to_float(V sign, V mag) {
  const V exp = significant_bits(mag);
  const V mant = _mm256_or_si256(_mm256_srlv_epi32(_mm256_slli_epi32(mag, 6), exp), splat(32));
  return add(_mm256_and_si256(sign, splat(1024)), add(_mm256_slli_epi32(exp, 6), mant));
}

// The all-ones sign of an 11-bit float.
CODEC_AVX2 CODEC_INLINE V float_sign(V f) {
  return _mm256_srai_epi32(_mm256_slli_epi32(f, 21), 31);
}

// FMULT: coefficient `an` (16-bit TC, sign-extended) times the float `srn`.
CODEC_AVX2 CODEC_INLINE V fmult(V an, V srn) {
  const V ans = _mm256_srai_epi32(an, 31);
  const V anmag = mask(apply_sign(_mm256_srai_epi32(an, 2), ans), 8191);
  const V anexp = significant_bits(anmag);
  const V anmant =
      _mm256_or_si256(_mm256_srlv_epi32(_mm256_slli_epi32(anmag, 6), anexp), splat(32));
  const V srnexp = mask(_mm256_srli_epi32(srn, 6), 15);
  const V srnmant = mask(srn, 63);
  // Both mantissas are below 2^6: the 16-bit product is exact.
  const V wanmant = _mm256_srli_epi32(add(_mm256_mullo_epi16(srnmant, anmant), splat(48)), 4);
  // WAnMANT << (SRnEXP + AnEXP) >> 19, as in the scalar step.
  const V wanmag =
      mask(_mm256_srlv_epi32(_mm256_sllv_epi32(wanmant, anexp), sub(splat(19), srnexp)), 32767);
  return apply_sign(wanmag, _mm256_xor_si256(ans, float_sign(srn)));
}

// One field of the 16 code entries, by the code's low 4 bits.
struct CodeField {
  V low, high;  // entries 0 ... 7 and 8 ... 15
};

CODEC_AVX2 CODEC_INLINE V look_up(const CodeField& f, V code) {
  const V low = _mm256_permutevar8x32_epi32(f.low, code);
  const V high = _mm256_permutevar8x32_epi32(f.high, code);
  const __m256 upper = _mm256_castsi256_ps(_mm256_slli_epi32(code, 28));
  return _mm256_castps_si256(
      _mm256_blendv_ps(_mm256_castsi256_ps(low), _mm256_castsi256_ps(high), upper));
}

// The stream's width tables as registers: the sign, WI and DQLN with FI.
struct LaneTables {
  CodeField dqs_mask;
  CodeField wi_yu;
  CodeField dqln_fi;  // DQLN in bits 0 ... 15, FI * 2^9 in bits 16 ... 31
};

CODEC_AVX2 CODEC_INLINE V load(const int32_t* v) {
  return _mm256_load_si256(reinterpret_cast<const V*>(v));
}

CODEC_AVX2 CODEC_INLINE void store(int32_t* to, V v) {
  _mm256_store_si256(reinterpret_cast<V*>(to), v);
}

CODEC_AVX2 LaneTables lane_tables(const WidthTables& t) {
  alignas(32) int32_t dqs[16], wi[16], dqln_fi[16];
  for (int i = 0; i < 16; ++i) {
    dqs[i] = t.code[i].dqs_mask;
    wi[i] = t.code[i].wi_yu;
    dqln_fi[i] = t.code[i].dqln | t.code[i].fi_dms << 16;
  }
  return {{load(dqs), load(dqs + 8)}, {load(wi), load(wi + 8)}, {load(dqln_fi), load(dqln_fi + 8)}};
}

struct LaneState {
  V sr1, sr2;  // 11-bit float
  V dq[6];     // 11-bit float
  V a1, a2;    // 16-bit TC, sign-extended
  V b[6];      // 16-bit TC, sign-extended
  V pk1, pk2;
  V yu, yl, dms, dml, ap, td;
};

CODEC_AVX2 LaneState load_lanes(const AdpcmState (&states)[kLanes]) {
  alignas(32) int32_t f[24][kLanes];
  for (int j = 0; j < kLanes; ++j) {
    const Scalars s = load_scalars(states[j]);
    const uint32_t scalars[] = {s.sr1,
                                s.sr2,
                                static_cast<uint32_t>(s.a1),
                                static_cast<uint32_t>(s.a2),
                                s.pk1,
                                s.pk2,
                                s.yu,
                                s.yl,
                                s.dms,
                                s.dml,
                                s.ap,
                                s.td};
    for (int k = 0; k < 12; ++k) f[k][j] = static_cast<int32_t>(scalars[k]);
    for (int n = 0; n < 6; ++n) {
      f[12 + n][j] = states[j].dq[n] & 2047;
      f[18 + n][j] = static_cast<int16_t>(states[j].b[n]);
    }
  }
  LaneState l;
  V* const rows[12] = {&l.sr1, &l.sr2, &l.a1,  &l.a2,  &l.pk1, &l.pk2,
                       &l.yu,  &l.yl,  &l.dms, &l.dml, &l.ap,  &l.td};
  for (int k = 0; k < 12; ++k) *rows[k] = load(f[k]);
  for (int n = 0; n < 6; ++n) {
    l.dq[n] = load(f[12 + n]);
    l.b[n] = load(f[18 + n]);
  }
  return l;
}

CODEC_AVX2 void store_lanes(const LaneState& l, AdpcmState (&states)[kLanes]) {
  alignas(32) int32_t f[24][kLanes];
  const V rows[12] = {l.sr1, l.sr2, l.a1, l.a2, l.pk1, l.pk2, l.yu, l.yl, l.dms, l.dml, l.ap, l.td};
  for (int k = 0; k < 12; ++k) store(f[k], rows[k]);
  for (int n = 0; n < 6; ++n) {
    store(f[12 + n], l.dq[n]);
    store(f[18 + n], l.b[n]);
  }
  for (int j = 0; j < kLanes; ++j) {
    Scalars s;
    s.sr1 = static_cast<uint32_t>(f[0][j]);
    s.sr2 = static_cast<uint32_t>(f[1][j]);
    s.a1 = f[2][j];
    s.a2 = f[3][j];
    s.pk1 = static_cast<uint32_t>(f[4][j]);
    s.pk2 = static_cast<uint32_t>(f[5][j]);
    s.yu = static_cast<uint32_t>(f[6][j]);
    s.yl = static_cast<uint32_t>(f[7][j]);
    s.dms = static_cast<uint32_t>(f[8][j]);
    s.dml = static_cast<uint32_t>(f[9][j]);
    s.ap = static_cast<uint32_t>(f[10][j]);
    s.td = static_cast<uint32_t>(f[11][j]);
    store_scalars(s, states[j]);
    for (int n = 0; n < 6; ++n) {
      states[j].dq[n] = static_cast<uint16_t>(f[12 + n][j]);
      states[j].b[n] = static_cast<uint16_t>(f[18 + n][j]);
    }
  }
}

// One code word in every lane: the whole update; returns SR (16-bit TC).
CODEC_AVX2 CODEC_INLINE V step(LaneState& l, const LaneTables& t, V code) {
  // FUNCTAL: AL = min(AP >> 2, 64)
  const V al = _mm256_min_epi32(_mm256_srli_epi32(l.ap, 2), splat(64));

  // MIX: Y = YL >> 6 + (YU - YL >> 6) * AL >> 6, the product on the magnitude.
  const V ylshort = _mm256_srli_epi32(l.yl, 6);
  const V dif = sub(l.yu, ylshort);
  const V difs = _mm256_srai_epi32(dif, 31);
  const V prodm = _mm256_srli_epi32(_mm256_mullo_epi32(apply_sign(dif, difs), al), 6);
  const V y = mask(add(ylshort, apply_sign(prodm, difs)), 8191);

  // FMULT, eight times; ACCUM: SEZ and SE, mod 2^16, halved.
  V wb = fmult(l.b[0], l.dq[0]);
  for (int n = 1; n < 6; ++n) wb = add(wb, fmult(l.b[n], l.dq[n]));
  const V wa = add(fmult(l.a1, l.sr1), fmult(l.a2, l.sr2));
  const V se = _mm256_srai_epi32(wrap16(add(wb, wa)), 1);
  const V sez = _mm256_srai_epi32(wrap16(wb), 1);

  // RECONST: the code's sign and DQLN; FI and WI for the adaptation below.
  const V dqs = look_up(t.dqs_mask, code);
  const V wi_yu = look_up(t.wi_yu, code);
  const V dqln_fi = look_up(t.dqln_fi, code);
  const V fi_dms = _mm256_srli_epi32(dqln_fi, 16);

  // ADDA
  const V dql = mask(add(mask(dqln_fi, 0xFFFF), _mm256_srli_epi32(y, 2)), 4095);

  // ANTILOG: DQMAG = (128 + DMN) << DEX >> 7, 0 where DQL is negative.
  const V dqneg = _mm256_srai_epi32(_mm256_slli_epi32(dql, 20), 31);
  const V dex = mask(_mm256_srli_epi32(dql, 7), 15);
  const V dqt = _mm256_or_si256(mask(dql, 127), splat(128));
  const V dqmag =
      _mm256_andnot_si256(dqneg, mask(_mm256_srli_epi32(_mm256_sllv_epi32(dqt, dex), 7), 32767));
  const V dqi = apply_sign(dqmag, dqs);
  // FLOATA
  const V dq0 = to_float(dqs, dqmag);

  // TRANS: DQTHR from YLINT and YLFRAC, THR2 capped from YLINT 9 on.
  const V ylint = _mm256_srli_epi32(l.yl, 15);
  const V ylfrac = mask(_mm256_srli_epi32(l.yl, 10), 31);
  const V thr2 = _mm256_blendv_epi8(_mm256_sllv_epi32(add(ylfrac, splat(32)), ylint), splat(15872),
                                    _mm256_cmpgt_epi32(ylint, splat(8)));
  const V dqthr = _mm256_srli_epi32(add(thr2, _mm256_srli_epi32(thr2, 1)), 1);
  const V tr =
      _mm256_and_si256(_mm256_cmpgt_epi32(dqmag, dqthr), _mm256_cmpeq_epi32(l.td, splat(1)));

  // ADDB, ADDC
  const V sr = wrap16(add(dqi, se));
  const V dqsez = wrap16(add(dqi, sez));
  const V pk0 = _mm256_srli_epi32(dqsez, 31);
  const V sigpk = _mm256_cmpeq_epi32(dqsez, _mm256_setzero_si256());

  // FLOATB (|SR| mod 2^15)
  const V srs = _mm256_srai_epi32(sr, 31);
  const V sr0 = to_float(srs, mask(apply_sign(sr, srs), 32767));

  // UPA2
  const V pks1 = _mm256_xor_si256(pk0, l.pk1);
  const V pks2 = _mm256_xor_si256(pk0, l.pk2);
  const V uga2a = sub(splat(16384), _mm256_slli_epi32(pks2, 15));
  const V fa1 = _mm256_slli_epi32(limit(l.a1, -8191, 8191), 2);
  const V fa = apply_sign(fa1, sub(pks1, splat(1)));
  const V uga2 = _mm256_andnot_si256(sigpk, _mm256_srai_epi32(add(uga2a, fa), 7));
  const V a2t = wrap16(sub(add(l.a2, uga2), _mm256_srai_epi32(l.a2, 7)));

  // LIMC
  const V a2p = limit(a2t, -12288, 12288);

  // UPA1: UGA1 = +-192
  const V uga1 =
      _mm256_andnot_si256(sigpk, apply_sign(splat(192), sub(_mm256_setzero_si256(), pks1)));
  const V a1t = wrap16(sub(add(l.a1, uga1), _mm256_srai_epi32(l.a1, 8)));

  // LIMD: A1T limited to +-(15360 - A2P)
  const V a1_limit = sub(splat(15360), a2p);
  const V a1p =
      _mm256_min_epi32(_mm256_max_epi32(a1t, sub(_mm256_setzero_si256(), a1_limit)), a1_limit);

  // TONE
  const V tdp = _mm256_srli_epi32(_mm256_cmpgt_epi32(splat(-11776), a2p), 31);

  // XOR and UPB: UGBn = +-128 unless DQMAG = 0; ULBn = -(Bn >> 8). TRIGB clears them.
  const V ugb = _mm256_andnot_si256(_mm256_cmpeq_epi32(dqmag, _mm256_setzero_si256()), splat(128));
  for (int n = 0; n < 6; ++n) {
    const V un = _mm256_xor_si256(dqs, float_sign(l.dq[n]));
    const V bp = wrap16(add(sub(l.b[n], _mm256_srai_epi32(l.b[n], 8)), apply_sign(ugb, un)));
    l.b[n] = _mm256_andnot_si256(tr, bp);
  }

  // FUNCTF; FILTA; FILTB
  const V dmsp = mask(add(l.dms, _mm256_srai_epi32(sub(fi_dms, l.dms), 5)), 4095);
  const V dmlp =
      mask(add(l.dml, _mm256_srai_epi32(sub(_mm256_slli_epi32(fi_dms, 2), l.dml), 7)), 16383);

  // SUBTC; FILTC (TDP before TRIGB); TRIGB sets AP to 256
  const V difcm = _mm256_abs_epi32(sub(_mm256_slli_epi32(dmsp, 2), dmlp));
  const V ax =
      _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(y, splat(1535)),
                                        _mm256_cmpgt_epi32(_mm256_srli_epi32(dmlp, 3), difcm)),
                       _mm256_cmpeq_epi32(tdp, _mm256_setzero_si256()));
  const V app =
      mask(add(l.ap, _mm256_srai_epi32(sub(_mm256_andnot_si256(ax, splat(512)), l.ap), 4)), 1023);

  // FUNCTW; FILTD; LIMB; FILTE
  const V yut = mask(add(y, _mm256_srai_epi32(sub(wi_yu, y), 5)), 8191);
  const V yup = limit(yut, 544, 5120);
  const V ylp =
      mask(add(add(l.yl, yup), _mm256_srai_epi32(sub(_mm256_setzero_si256(), l.yl), 6)), 524287);

  // Commit; TRIGB clears A1, A2 and TD.
  for (int n = 5; n > 0; --n) l.dq[n] = l.dq[n - 1];
  l.dq[0] = dq0;
  l.sr2 = l.sr1;
  l.sr1 = sr0;
  l.pk2 = l.pk1;
  l.pk1 = pk0;
  l.a1 = _mm256_andnot_si256(tr, a1p);
  l.a2 = _mm256_andnot_si256(tr, a2p);
  l.td = _mm256_andnot_si256(tr, tdp);
  l.ap = _mm256_blendv_epi8(app, splat(256), tr);
  l.yu = yup;
  l.yl = ylp;
  l.dms = dmsp;
  l.dml = dmlp;
  return sr;
}

// The output stage, the low 16 bits of each lane packed into eight.
template <OutputStage Stage>
CODEC_AVX2 CODEC_INLINE __m128i output_lanes(V sr) {
  V out;
  if constexpr (Stage == OutputStage::Gain3_5) {
    // 7 x SR / 2, truncated toward zero.
    const V x = _mm256_mullo_epi32(sr, splat(7));
    out = _mm256_srai_epi32(add(x, _mm256_srli_epi32(x, 31)), 1);
  } else {
    out = _mm256_slli_epi32(sr, 2);
  }
  out = mask(out, 0xFFFF);
  return _mm_packus_epi32(_mm256_castsi256_si128(out), _mm256_extracti128_si256(out, 1));
}

// Rows of eight steps (one sample per lane) into eight runs of one lane each.
CODEC_AVX2 CODEC_INLINE void transpose8x8(__m128i (&r)[8]) {
  const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
  const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
  const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
  const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
  r[0] = _mm_unpacklo_epi64(u0, u4);
  r[1] = _mm_unpackhi_epi64(u0, u4);
  r[2] = _mm_unpacklo_epi64(u1, u5);
  r[3] = _mm_unpackhi_epi64(u1, u5);
  r[4] = _mm_unpacklo_epi64(u2, u6);
  r[5] = _mm_unpackhi_epi64(u2, u6);
  r[6] = _mm_unpacklo_epi64(u3, u7);
  r[7] = _mm_unpackhi_epi64(u3, u7);
}

template <OutputStage Stage>
CODEC_AVX2 void decode_lanes_loop(AdpcmState (&states)[kLanes], const WidthTables& tables,
                                  const LaneStreams& streams, std::size_t count) {
  const LaneTables t = lane_tables(tables);
  LaneState l = load_lanes(states);
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) {
    // The next eight codes of every lane, step by step.
    alignas(32) int32_t codes[8][kLanes];
    for (int j = 0; j < kLanes; ++j) {
      for (int s = 0; s < 8; ++s) codes[s][j] = streams.codes[j][k + s];
    }
    __m128i rows[8];
    for (int s = 0; s < 8; ++s) {
      const V code = mask(load(codes[s]), 15);
      rows[s] = output_lanes<Stage>(step(l, t, code));
    }
    transpose8x8(rows);
    for (int j = 0; j < kLanes; ++j) {
      if (streams.out[j] != nullptr)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(streams.out[j] + k), rows[j]);
    }
  }
  for (; k < count; ++k) {
    alignas(32) int32_t codes[kLanes];
    for (int j = 0; j < kLanes; ++j) codes[j] = streams.codes[j][k];
    const V code = mask(load(codes), 15);
    alignas(16) int16_t out[kLanes];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), output_lanes<Stage>(step(l, t, code)));
    for (int j = 0; j < kLanes; ++j) {
      if (streams.out[j] != nullptr) streams.out[j][k] = out[j];
    }
  }
  store_lanes(l, states);
}

}  // namespace

void decode_lanes_avx2(AdpcmState (&states)[kLanes], OutputStage stage, const WidthTables& t,
                       const LaneStreams& streams, std::size_t count) {
  if (stage == OutputStage::Gain3_5) {
    decode_lanes_loop<OutputStage::Gain3_5>(states, t, streams, count);
  } else {
    decode_lanes_loop<OutputStage::Shift2>(states, t, streams, count);
  }
}

#else  // no AVX2 kernel in this build: the scalar lanes stand in.

void decode_lanes_avx2(AdpcmState (&states)[kLanes], OutputStage stage, const WidthTables& t,
                       const LaneStreams& streams, std::size_t count) {
  decode_lanes_scalar(states, stage, t, streams, count);
}

#endif

}  // namespace calendo::detail
