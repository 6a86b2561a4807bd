// The per-sample steps of the codec, one block of the G.726 fixed-point
// algorithm after the other, bit-exact. Per sample: scale_factor() (FUNCTAL,
// MIX), the eight FMULTs and accum(), for the encoder quantize(), then
// dequantize() (RECONST ... TRANS), reconstruct() (ADDB ... FLOATB),
// update_poles() (UPA2 ... TONE), upb() for each zero coefficient,
// adapt_and_commit() (FUNCTF ... FILTE and the commit) and trigb(). Both kernels
// (adpcm_kernels.h) run them; the vector kernel does FMULT and UPB in lanes.
//
// Two's complement fields are held as sign-extended ints, so that the
// standard's "X ≫ n ? (pattern arithmetic) : ..." forms become plain signed
// arithmetic: an arithmetic shift where it sign-extends a shifted pattern, a
// negation where it subtracts from 2^n, a clamp where it limits. Each block
// notes where a wrap cannot occur (the operands' widths rule it out) and
// wraps explicitly where it can. No step branches on the data except TRIGB.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "adpcm_lookup.h"
#include "adpcm_tables.h"
#include "calendo/adpcm.h"

#if defined(__GNUC__)
#define CODEC_INLINE inline __attribute__((always_inline))
#else
#define CODEC_INLINE inline
#endif

namespace calendo::detail {

// The state besides the zero predictor's delay lines, as locals of a block.
struct Scalars {
  uint32_t sr1, sr2;  // 11-bit float
  int32_t a1, a2;     // 16-bit TC, sign-extended
  uint32_t pk1, pk2;
  uint32_t yu, yl, dms, dml, ap, td;
};

// Fields are taken modulo their widths.
inline Scalars load_scalars(const AdpcmState& s) {
  Scalars v;
  v.sr1 = s.sr1 & 2047u;
  v.sr2 = s.sr2 & 2047u;
  v.a1 = static_cast<int16_t>(s.a1);
  v.a2 = static_cast<int16_t>(s.a2);
  v.pk1 = s.pk1 & 1u;
  v.pk2 = s.pk2 & 1u;
  v.yu = s.yu & 8191u;
  v.yl = s.yl & 524287u;
  v.dms = s.dms & 4095u;
  v.dml = s.dml & 16383u;
  v.ap = s.ap & 1023u;
  v.td = s.td & 1u;
  return v;
}

inline void store_scalars(const Scalars& v, AdpcmState& s) {
  s.sr1 = static_cast<uint16_t>(v.sr1);
  s.sr2 = static_cast<uint16_t>(v.sr2);
  s.a1 = static_cast<uint16_t>(v.a1);
  s.a2 = static_cast<uint16_t>(v.a2);
  s.pk1 = static_cast<uint8_t>(v.pk1);
  s.pk2 = static_cast<uint8_t>(v.pk2);
  s.yu = static_cast<uint16_t>(v.yu);
  s.yl = v.yl;
  s.dms = static_cast<uint16_t>(v.dms);
  s.dml = static_cast<uint16_t>(v.dml);
  s.ap = static_cast<uint16_t>(v.ap);
  s.td = static_cast<uint8_t>(v.td);
}

// x with its low 16 bits read as two's complement.
CODEC_INLINE int32_t wrap16(int32_t x) {
  return static_cast<int16_t>(x);
}

// -x where `negative` is all ones, x where it is 0.
CODEC_INLINE int32_t apply_sign(int32_t x, int32_t negative) {
  return (x ^ negative) - negative;
}

// x limited to lo ... hi (lo <= hi), as two selects rather than branches.
CODEC_INLINE int32_t limit(int32_t x, int32_t lo, int32_t hi) {
  return std::min(std::max(x, lo), hi);
}

// Number of significant bits of x < 2^31: 0 for 0, n for 2^(n-1) ... 2^n - 1.
// Counted on 2x + 1, which is never 0, so that no zero test is needed.
CODEC_INLINE uint32_t significant_bits(uint32_t x) {
#if defined(__GNUC__)
  return 31u - static_cast<uint32_t>(__builtin_clz((x << 1) | 1u));
#else
  return static_cast<uint32_t>(std::bit_width(x));
#endif
}

// FMULT: coefficient `an` (16-bit TC) times the float operand `srn`; the
// product WAn as a signed value (the standard's 16-bit TC pattern mod 2^16).
CODEC_INLINE int32_t fmult(int32_t an, uint32_t srn) {
  const int32_t ans = an >> 31;                            // all ones if negative
  const uint32_t anmag = apply_sign(an >> 2, ans) & 8191;  // (16384 - (An >> 2)) mod 8192
  const uint32_t anexp = significant_bits(anmag);
  // (AnMAG << 6) >> AnEXP has bit 5 set unless AnMAG is 0, whose mantissa is 32.
  const uint32_t anmant = ((anmag << 6) >> anexp) | 32u;

  const uint32_t srns = srn >> 10;
  const uint32_t srnexp = (srn >> 6) & 15u;
  const uint32_t srnmant = srn & 63u;

  const int32_t wans = ans ^ -static_cast<int32_t>(srns);
  const uint32_t wanexp = srnexp + anexp;
  const uint32_t wanmant = (srnmant * anmant + 48u) >> 4;
  // (WAnMANT << 7) shifted left by WAnEXP - 26 or right by 26 - WAnEXP: both
  // are WAnMANT << WAnEXP >> 19; the wide type keeps every bit (WAnEXP <= 28).
  const auto wanmag = static_cast<int32_t>((uint64_t{wanmant} << wanexp) >> 19) & 32767;
  return apply_sign(wanmag, wans);
}

// FUNCTAL and MIX: the quantizer scale factor Y (13 bits).
CODEC_INLINE uint32_t scale_factor(const Scalars& s) {
  // FUNCTAL: AP >= 256 ? 64 : AP >> 2
  const uint32_t al = std::min(s.ap >> 2, 64u);

  // MIX: DIF = YU - (YL >> 6) fits 14-bit TC without a wrap; PROD carries its sign.
  const uint32_t ylshort = s.yl >> 6;
  const int32_t dif = static_cast<int32_t>(s.yu) - static_cast<int32_t>(ylshort);
  const int32_t difs = dif >> 31;
  const auto prodm = static_cast<int32_t>((static_cast<uint32_t>(apply_sign(dif, difs)) * al) >> 6);
  return (ylshort + static_cast<uint32_t>(apply_sign(prodm, difs))) & 8191u;
}

struct Estimate {
  int32_t se;   // signal estimate (15-bit TC)
  int32_t sez;  // partial signal estimate of the zero predictor (15-bit TC)
};

// ACCUM from the sum of the six zero-predictor products WBn and the sum of all
// eight (any representatives mod 2^16): SEZI and SEI mod 2^16, halved.
CODEC_INLINE Estimate accum(int32_t wb_sum, int32_t all_sum) {
  return {wrap16(all_sum) >> 1, wrap16(wb_sum) >> 1};
}

// The encoder's steps from a sample to the code word I.
CODEC_INLINE uint32_t quantize(int16_t sample, const Estimate& e, uint32_t y,
                               const WidthTables& t) {
  // Input and SUBTA: SL = the sample without its two lowest bits (14-bit TC);
  // D = SL - SE fits 16-bit TC without a wrap.
  const int32_t sl = sample >> 2;
  const int32_t d = sl - e.se;

  // LOG: DQM = |D| < 2^15; EXP = significant bits - 1, at least 0.
  const uint32_t ds = d < 0 ? 1u : 0u;
  const auto dqm = static_cast<uint32_t>(d < 0 ? -d : d);
  const uint32_t exp = significant_bits(dqm | 1u) - 1;
  const uint32_t mant = ((dqm << 7) >> exp) & 127u;
  const uint32_t dl = exp * 128u + mant;

  // SUBTB
  const uint32_t dln = (dl + 4096u - (y >> 2)) & 4095u;

  // QUAN: I+ from the table, the sign folded in, |I| = 0 sent as all ones.
  const uint32_t positive = t.positive_i[dln];
  const uint32_t i = ds ? t.mask - positive : positive;
  return i == 0 && t.bits > 2 ? t.mask : i;
}

// FLOATB: sign and 15-bit magnitude into the 11-bit float.
CODEC_INLINE uint32_t to_float(uint32_t sign, uint32_t mag) {
  const uint32_t exp = significant_bits(mag);
  // (MAG << 6) >> EXP has bit 5 set unless MAG is 0, whose mantissa is 32.
  const uint32_t mant = ((mag << 6) >> exp) | 32u;
  return (sign << 10) + (exp << 6) + mant;
}

// The quantized difference signal of code word I, and what follows from it alone.
struct Difference {
  int32_t dqs_mask;  // sign of the code: all ones if negative
  uint32_t dqmag;    // 15-bit magnitude of DQ
  int32_t dqi;       // DQ as a signed value
  uint32_t dq0;      // DQ as 11-bit float
  bool tr;           // transition detected
};

// RECONST, ADDA, ANTILOG, FLOATA and TRANS.
CODEC_INLINE Difference dequantize(const CodeEntry& c, uint32_t y, const Scalars& s) {
  Difference q;
  // RECONST
  q.dqs_mask = c.dqs_mask;

  // ADDA
  const uint32_t dql = (c.dqln + (y >> 2)) & 4095u;

  // ANTILOG, and FLOATA of its result
  const uint32_t antilog = kAntilog[dql];
  q.dqmag = antilog & 32767u;
  q.dqi = apply_sign(static_cast<int32_t>(q.dqmag), q.dqs_mask);
  q.dq0 = c.dqs_float + (antilog >> 16);

  // TRANS
  q.tr = (q.dqmag > kDqthr[s.yl >> 10]) & (s.td == 1);
  return q;
}

struct Reconstruction {
  int32_t sr;    // reconstructed signal (16-bit TC)
  uint32_t sr0;  // SR as 11-bit float
  uint32_t pk0;  // sign of DQ + SEZ
  bool sigpk;    // DQ + SEZ = 0
};

// ADDB, ADDC and FLOATB.
CODEC_INLINE Reconstruction reconstruct(const Difference& q, const Estimate& e) {
  Reconstruction r;
  // ADDB: SR = DQ + SE (mod 2^16); ADDC: DQ + SEZ (mod 2^16)
  r.sr = wrap16(q.dqi + e.se);
  const int32_t dqsez = wrap16(q.dqi + e.sez);
  r.pk0 = dqsez < 0 ? 1u : 0u;
  r.sigpk = dqsez == 0;

  // FLOATB (|SR| mod 2^15, so -32768 has magnitude 0)
  const uint32_t srs = r.sr < 0 ? 1u : 0u;
  r.sr0 = to_float(srs, static_cast<uint32_t>(apply_sign(r.sr, r.sr >> 31)) & 32767u);
  return r;
}

struct PoleUpdate {
  int32_t a1p, a2p;  // 16-bit TC
  uint32_t tdp;      // tone detected, before TRIGB
};

CODEC_INLINE PoleUpdate update_poles(const Reconstruction& r, const Scalars& s) {
  PoleUpdate u;
  // UPA2. UGA2A = +-2^14 and FA = 4 * A1 limited to +-32764 (17-bit TC, no
  // wrap); UGA2 = UGA2B >> 7 sign-extended; ULA2 = -(A2 >> 7).
  const auto pks1 = static_cast<int32_t>(r.pk0 ^ s.pk1);  // 0 or 1
  const auto pks2 = static_cast<int32_t>(r.pk0 ^ s.pk2);
  const int32_t unless_sigpk = static_cast<int32_t>(r.sigpk) - 1;  // 0 where SIGPK = 1
  const int32_t uga2a = 16384 - (pks2 << 15);
  const int32_t fa1 = 4 * limit(s.a1, -8191, 8191);
  const int32_t fa = apply_sign(fa1, pks1 - 1);  // -FA1 where PKS1 = 0
  const int32_t uga2 = ((uga2a + fa) >> 7) & unless_sigpk;
  const int32_t a2t = wrap16(s.a2 + uga2 - (s.a2 >> 7));

  // LIMC: A2T limited to +-12288 (0.75)
  u.a2p = limit(a2t, -12288, 12288);

  // UPA1: UGA1 = +-192; ULA1 = -(A1 >> 8)
  const int32_t uga1 = (192 - 384 * pks1) & unless_sigpk;
  const int32_t a1t = wrap16(s.a1 + uga1 - (s.a1 >> 8));

  // LIMD: A1T limited to +-(15360 - |A2P|) (1 - 2^-4 - A2P)
  u.a1p = limit(a1t, u.a2p - 15360, 15360 - u.a2p);

  // TONE: A2P below -11776 (pattern 32768 ... 53759)
  u.tdp = u.a2p < -11776 ? 1u : 0u;
  return u;
}

// XOR and UPB for one coefficient: UGBn = +-128 unless DQMAG = 0; ULBn = -(Bn >> 8).
CODEC_INLINE int32_t upb(int32_t bn, uint32_t dqn, const Difference& q) {
  const int32_t un = q.dqs_mask ^ -static_cast<int32_t>(dqn >> 10);
  const int32_t ugbn = static_cast<int32_t>(q.dqmag != 0) << 7;
  return wrap16(bn + apply_sign(ugbn, un) - (bn >> 8));
}

// FUNCTF to FILTE, and the commit of everything in Scalars; TRIGB follows.
CODEC_INLINE void adapt_and_commit(Scalars& s, uint32_t y_scale, const CodeEntry& c,
                                   const Reconstruction& r, const PoleUpdate& poles) {
  // FUNCTF; FILTA and FILTB: DMS += (FI * 2^9 - DMS) >> 5, DML += (FI * 2^11 - DML) >> 7,
  // the differences fitting 13 and 15 bits TC without a wrap.
  const auto dms = static_cast<int32_t>(s.dms);
  const auto dml = static_cast<int32_t>(s.dml);
  const auto dmsp = static_cast<uint32_t>(dms + ((c.fi_dms - dms) >> 5)) & 4095u;
  const auto dmlp = static_cast<uint32_t>(dml + ((c.fi_dml - dml) >> 7)) & 16383u;

  // SUBTC (with TDP before TRIGB): |DMSP * 4 - DMLP| fits 15-bit TC; FILTC
  const int32_t difc = static_cast<int32_t>(dmsp * 4u) - static_cast<int32_t>(dmlp);
  const auto difcm = static_cast<uint32_t>(apply_sign(difc, difc >> 31));
  const bool ax0 = (y_scale >= 1536) & (difcm < (dmlp >> 3)) & (poles.tdp == 0);
  const auto ap = static_cast<int32_t>(s.ap);
  const uint32_t app =
      static_cast<uint32_t>(ap + (((static_cast<int32_t>(!ax0) << 9) - ap) >> 4)) & 1023u;

  // FUNCTW; FILTD: YU += (WI * 2^5 - Y) >> 5 (no 17-bit wrap for the table's
  // WI); LIMB; FILTE: YL += YUP - ceil(YL / 64), the difference within 14-bit TC.
  const auto y = static_cast<int32_t>(y_scale);
  const auto yut = static_cast<uint32_t>(y + ((c.wi_yu - y) >> 5)) & 8191u;
  const auto yup = static_cast<uint32_t>(limit(static_cast<int32_t>(yut), 544, 5120));
  const auto yl = static_cast<int32_t>(s.yl);
  const auto ylp = static_cast<uint32_t>(yl + static_cast<int32_t>(yup) + ((-yl) >> 6)) & 524287u;

  // Commit
  s.sr2 = s.sr1;
  s.sr1 = r.sr0;
  s.pk2 = s.pk1;
  s.pk1 = r.pk0;
  s.a1 = poles.a1p;
  s.a2 = poles.a2p;
  s.yu = yup;
  s.yl = ylp;
  s.dms = dmsp;
  s.dml = dmlp;
  s.ap = app;
  s.td = poles.tdp;
}

// TRIGB, after the commit: a transition clears A1, A2 (and B1 ... B6, which
// are the caller's) and TD, and FILTC then sets AP to 256.
CODEC_INLINE void trigb(Scalars& s) {
  s.a1 = 0;
  s.a2 = 0;
  s.td = 0;
  s.ap = 256;
}

// Decoder output and encoder input stages.
CODEC_INLINE int16_t output_stage(OutputStage stage, int32_t sr) {
  // 3.5 x SR truncated toward zero is 7 x SR / 2 in integer division.
  const int32_t out = stage == OutputStage::Gain3_5 ? sr * 7 / 2 : sr * 4;
  return static_cast<int16_t>(out);
}

CODEC_INLINE int16_t input_stage(InputStage stage, int16_t sample) {
  // 0.9 x sample truncated toward zero is 9 x sample / 10 in integer division.
  return stage == InputStage::Gain0_9 ? static_cast<int16_t>(sample * 9 / 10) : sample;
}

}  // namespace calendo::detail
