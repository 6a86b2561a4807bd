// The per-sample steps of the codec, one block of the G.726 algorithm after
// the other, on unsigned bit patterns with the widths and wraps of the
// fixed-point form. The decoder runs predict() and update(); the encoder runs
// predict(), quantize() and update() with the code it found.
//
// The state lives in a Work record of plain 32-bit locals while a block of
// samples runs; load() and store() move it from and to AdpcmState.
#pragma once

#include <bit>
#include <cstdint>

#include "adpcm_tables.h"
#include "codec/adpcm.h"

namespace codec::detail {

struct Work {
  uint32_t sr1, sr2;
  uint32_t dq[6];
  uint32_t a1, a2;
  uint32_t b[6];
  uint32_t pk1, pk2;
  uint32_t yu, yl, dms, dml, ap, td;
};

// Fields are taken modulo their widths.
inline Work load(const AdpcmState& s) {
  Work w;
  w.sr1 = s.sr1 & 2047u;
  w.sr2 = s.sr2 & 2047u;
  for (int n = 0; n < 6; ++n) {
    w.dq[n] = s.dq[n] & 2047u;
    w.b[n] = s.b[n];
  }
  w.a1 = s.a1;
  w.a2 = s.a2;
  w.pk1 = s.pk1 & 1u;
  w.pk2 = s.pk2 & 1u;
  w.yu = s.yu & 8191u;
  w.yl = s.yl & 524287u;
  w.dms = s.dms & 4095u;
  w.dml = s.dml & 16383u;
  w.ap = s.ap & 1023u;
  w.td = s.td & 1u;
  return w;
}

inline void store(const Work& w, AdpcmState& s) {
  s.sr1 = static_cast<uint16_t>(w.sr1);
  s.sr2 = static_cast<uint16_t>(w.sr2);
  for (int n = 0; n < 6; ++n) {
    s.dq[n] = static_cast<uint16_t>(w.dq[n]);
    s.b[n] = static_cast<uint16_t>(w.b[n]);
  }
  s.a1 = static_cast<uint16_t>(w.a1);
  s.a2 = static_cast<uint16_t>(w.a2);
  s.pk1 = static_cast<uint8_t>(w.pk1);
  s.pk2 = static_cast<uint8_t>(w.pk2);
  s.yu = static_cast<uint16_t>(w.yu);
  s.yl = w.yl;
  s.dms = static_cast<uint16_t>(w.dms);
  s.dml = static_cast<uint16_t>(w.dml);
  s.ap = static_cast<uint16_t>(w.ap);
  s.td = static_cast<uint8_t>(w.td);
}

// Number of significant bits: 0 for 0, n for 2^(n-1) ... 2^n - 1.
inline uint32_t significant_bits(uint32_t x) {
  return static_cast<uint32_t>(std::bit_width(x));
}

// FMULT: a 16-bit TC coefficient times an 11-bit float operand, as a 16-bit TC
// product.
inline uint32_t fmult(uint32_t an, uint32_t srn) {
  const uint32_t ans = an >> 15;
  const uint32_t anmag = ans ? (16384u - (an >> 2)) & 8191u : an >> 2;
  const uint32_t anexp = significant_bits(anmag);
  const uint32_t anmant = anmag == 0 ? 32u : (anmag << 6) >> anexp;

  const uint32_t srns = srn >> 10;
  const uint32_t srnexp = (srn >> 6) & 15u;
  const uint32_t srnmant = srn & 63u;

  const uint32_t wans = srns ^ ans;
  const uint32_t wanexp = srnexp + anexp;
  const uint32_t wanmant = (srnmant * anmant + 48u) >> 4;
  // (WAnMANT << 7) shifted left by WAnEXP - 26, or right by 26 - WAnEXP: both
  // are WAnMANT << WAnEXP >> 19; the wide type keeps every bit (WAnEXP <= 28).
  const uint32_t wanmag = static_cast<uint32_t>((uint64_t{wanmant} << wanexp) >> 19) & 32767u;
  return wans ? (65536u - wanmag) & 65535u : wanmag;
}

struct Prediction {
  uint32_t se;   // 15-bit TC: signal estimate
  uint32_t sez;  // 15-bit TC: partial signal estimate of the zero predictor
  uint32_t y;    // 13 bits: quantizer scale factor
};

inline Prediction predict(const Work& w) {
  Prediction p;
  // FMULT and ACCUM
  uint32_t sezi = 0;
  for (int n = 0; n < 6; ++n) sezi += fmult(w.b[n], w.dq[n]);
  sezi &= 65535u;
  const uint32_t sei = (sezi + fmult(w.a2, w.sr2) + fmult(w.a1, w.sr1)) & 65535u;
  p.sez = sezi >> 1;
  p.se = sei >> 1;

  // FUNCTAL
  const uint32_t al = w.ap >= 256 ? 64u : w.ap >> 2;

  // MIX
  const uint32_t dif = (w.yu + 16384u - (w.yl >> 6)) & 16383u;
  const uint32_t difs = dif >> 13;
  const uint32_t difm = difs ? (16384u - dif) & 8191u : dif;
  const uint32_t prodm = (difm * al) >> 6;
  const uint32_t prod = difs ? (16384u - prodm) & 16383u : prodm;
  p.y = ((w.yl >> 6) + prod) & 8191u;
  return p;
}

// The encoder's steps from the 14-bit TC input SL to the code word I.
inline uint32_t quantize(const Prediction& p, uint32_t sl, const WidthTables& t) {
  // SUBTA
  const uint32_t sls = sl & 8192u ? sl | 49152u : sl;
  const uint32_t ses = p.se & 16384u ? p.se | 32768u : p.se;
  const uint32_t d = (sls + 65536u - ses) & 65535u;

  // LOG
  const uint32_t ds = d >> 15;
  const uint32_t dqm = ds ? (65536u - d) & 32767u : d;
  const uint32_t exp = dqm <= 1 ? 0u : significant_bits(dqm) - 1;
  const uint32_t mant = ((dqm << 7) >> exp) & 127u;
  const uint32_t dl = exp * 128u + mant;

  // SUBTB
  const uint32_t dln = (dl + 4096u - (p.y >> 2)) & 4095u;

  // QUAN
  const uint32_t positive = t.positive_i[dln];
  uint32_t i = ds ? t.mask - positive : positive;
  if (i == 0 && t.bits > 2) i = t.mask;
  return i;
}

// FLOATA and FLOATB: a 15-bit magnitude and a sign into the 11-bit float.
inline uint32_t to_float(uint32_t sign, uint32_t mag) {
  const uint32_t exp = significant_bits(mag);
  const uint32_t mant = mag == 0 ? 32u : (mag << 6) >> exp;
  return (sign << 10) + (exp << 6) + mant;
}

// Steps RECONST to the commit for code word I (already within the width);
// returns the reconstructed signal SR (16-bit TC).
inline uint32_t update(Work& w, const Prediction& p, uint32_t i, const WidthTables& t) {
  const CodeEntry& c = t.code[i];
  const uint32_t y = p.y;

  // RECONST
  const uint32_t dqs = c.dqs;
  const uint32_t dqln = c.dqln;

  // ADDA
  const uint32_t dql = (dqln + (y >> 2)) & 4095u;

  // ANTILOG. (DQT << 7) >> (14 - DEX) is DQT << DEX >> 7; DEX is at most 13
  // from any state the codec reaches, the mask keeps DQMAG at 15 bits beyond.
  const uint32_t dqlds = dql >> 11;
  const uint32_t dex = (dql >> 7) & 15u;
  const uint32_t dqt = 128u + (dql & 127u);
  const uint32_t dqmag = dqlds ? 0u : ((dqt << dex) >> 7) & 32767u;

  // TRANS, with THR2 capped at 31 * 2^9 from YLINT 9 on
  const uint32_t ylint = w.yl >> 15;
  const uint32_t ylfrac = (w.yl >> 10) & 31u;
  const uint32_t thr2 = ylint > 8 ? 15872u : (32u + ylfrac) << ylint;
  const uint32_t dqthr = (thr2 + (thr2 >> 1)) >> 1;
  const uint32_t tr = (dqmag > dqthr && w.td == 1) ? 1u : 0u;

  // ADDB
  const uint32_t dqi = dqs ? (65536u - dqmag) & 65535u : dqmag;
  const uint32_t sei = p.se >> 14 ? p.se + 32768u : p.se;
  const uint32_t sr = (dqi + sei) & 65535u;

  // ADDC
  const uint32_t sezi = p.sez >> 14 ? p.sez + 32768u : p.sez;
  const uint32_t dqsez = (dqi + sezi) & 65535u;
  const uint32_t pk0 = dqsez >> 15;
  const uint32_t sigpk = dqsez == 0 ? 1u : 0u;

  // FLOATA and FLOATB
  const uint32_t dq0 = to_float(dqs, dqmag);
  const uint32_t srs = sr >> 15;
  const uint32_t sr0 = to_float(srs, srs ? (65536u - sr) & 32767u : sr);

  // UPA2
  const uint32_t a1 = w.a1;
  const uint32_t a2 = w.a2;
  const uint32_t pks1 = pk0 ^ w.pk1;
  const uint32_t pks2 = pk0 ^ w.pk2;
  const uint32_t uga2a = pks2 ? 114688u : 16384u;
  const uint32_t fa1 =
      a1 >> 15 ? (a1 >= 57345 ? (a1 * 4u) & 131071u : 98308u) : (a1 <= 8191 ? a1 * 4u : 32764u);
  const uint32_t fa = pks1 ? fa1 : (131072u - fa1) & 131071u;
  const uint32_t uga2b = (uga2a + fa) & 131071u;
  const uint32_t uga2 = sigpk ? 0u : (uga2b >> 16 ? (uga2b >> 7) + 64512u : uga2b >> 7);
  const uint32_t ula2 =
      a2 >> 15 ? (65536u - ((a2 >> 7) + 65024u)) & 65535u : (65536u - (a2 >> 7)) & 65535u;
  const uint32_t a2t = (a2 + uga2 + ula2) & 65535u;

  // LIMC
  uint32_t a2p = a2t;
  if (a2t >= 32768 && a2t <= 53248) a2p = 53248;
  if (a2t >= 12288 && a2t <= 32767) a2p = 12288;

  // UPA1
  const uint32_t pks = pks1;
  const uint32_t uga1 = sigpk ? 0u : (pks ? 65344u : 192u);
  const uint32_t ula1 =
      a1 >> 15 ? (65536u - ((a1 >> 8) + 65280u)) & 65535u : (65536u - (a1 >> 8)) & 65535u;
  const uint32_t a1t = (a1 + uga1 + ula1) & 65535u;

  // LIMD
  const uint32_t a1ul = (15360u + 65536u - a2p) & 65535u;
  const uint32_t a1ll = (a2p + 65536u - 15360u) & 65535u;
  uint32_t a1p = a1t;
  if (a1t < 32768 && a1t >= a1ul) a1p = a1ul;
  if (a1t >= 32768 && a1t <= a1ll) a1p = a1ll;

  // XOR and UPB
  uint32_t bp[6];
  for (int n = 0; n < 6; ++n) {
    const uint32_t bn = w.b[n];
    const uint32_t un = dqs ^ (w.dq[n] >> 10);
    const uint32_t ugbn = dqmag == 0 ? 0u : (un ? 65408u : 128u);
    const uint32_t ulbn =
        bn >> 15 ? (65536u - ((bn >> 8) + 65280u)) & 65535u : (65536u - (bn >> 8)) & 65535u;
    bp[n] = (bn + ugbn + ulbn) & 65535u;
  }

  // TONE
  const uint32_t tdp = (a2p >= 32768 && a2p <= 53759) ? 1u : 0u;

  // TRIGB
  uint32_t td_next = tdp;
  if (tr) {
    a1p = 0;
    a2p = 0;
    for (uint32_t& bn : bp) bn = 0;
    td_next = 0;
  }

  // FUNCTF, FILTA, FILTB
  const uint32_t fi = c.fi;
  const uint32_t difa = (fi * 512u + 8192u - w.dms) & 8191u;
  const uint32_t dmsp = (w.dms + (difa >> 12 ? (difa >> 5) + 3840u : difa >> 5)) & 4095u;
  const uint32_t difb = (fi * 2048u + 32768u - w.dml) & 32767u;
  const uint32_t dmlp = (w.dml + (difb >> 14 ? (difb >> 7) + 16128u : difb >> 7)) & 16383u;

  // SUBTC (with TDP before TRIGB), FILTC
  const uint32_t difc = (dmsp * 4u + 32768u - dmlp) & 32767u;
  const uint32_t difcm = difc >> 14 ? (32768u - difc) & 16383u : difc;
  const uint32_t ax = (y >= 1536 && difcm < (dmlp >> 3) && tdp == 0) ? 0u : 1u;
  const uint32_t difd = (ax * 512u + 2048u - w.ap) & 2047u;
  uint32_t app = (w.ap + (difd >> 10 ? (difd >> 4) + 896u : difd >> 4)) & 1023u;
  if (tr) app = 256;

  // FUNCTW, FILTD, LIMB, FILTE
  const uint32_t wi = c.wi;
  const uint32_t dife = (wi * 32u + 131072u - y) & 131071u;
  const uint32_t yut = (y + (dife >> 16 ? (dife >> 5) + 4096u : dife >> 5)) & 8191u;
  const uint32_t yup = yut < 544 ? 544u : (yut > 5120 ? 5120u : yut);
  const uint32_t diff = (yup + ((1048576u - w.yl) >> 6)) & 16383u;
  const uint32_t ylp = (w.yl + (diff >> 13 ? diff + 507904u : diff)) & 524287u;

  // Commit
  for (int n = 5; n > 0; --n) w.dq[n] = w.dq[n - 1];
  w.dq[0] = dq0;
  w.sr2 = w.sr1;
  w.sr1 = sr0;
  w.pk2 = w.pk1;
  w.pk1 = pk0;
  w.a1 = a1p;
  w.a2 = a2p;
  for (int n = 0; n < 6; ++n) w.b[n] = bp[n];
  w.yu = yup;
  w.yl = ylp;
  w.dms = dmsp;
  w.dml = dmlp;
  w.ap = app;
  w.td = td_next;
  return sr;
}

}  // namespace codec::detail
