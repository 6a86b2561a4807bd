// Steps whose result depends on one small field only, precomputed for every
// value of that field at compile time from the steps' own formulas.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace calendo::detail {

namespace lookup {

// ANTILOG: DQL (12-bit log of |DQ|, TC) to DQMAG. (DQT << 7) >> (14 - DEX)
// is written DQT << DEX >> 7, which also covers DEX = 15 (reached only from
// states the codec never produces), with DQMAG kept at its 15 bits.
constexpr uint32_t antilog(uint32_t dql) {
  const uint32_t ds = dql >> 11;
  const uint32_t dex = (dql >> 7) & 15u;
  const uint32_t dqt = 128u + (dql & 127u);
  return ds ? 0u : ((dqt << dex) >> 7) & 32767u;
}

// FLOATA without the sign: exponent and mantissa of a 15-bit magnitude.
constexpr uint32_t float_magnitude(uint32_t mag) {
  const auto exp = static_cast<uint32_t>(std::bit_width(mag));
  const uint32_t mant = mag == 0 ? 32u : (mag << 6) >> exp;
  return (exp << 6) + mant;
}

// TRANS: the threshold DQTHR from YLINT = YL >> 15 and YLFRAC = (YL >> 10) mod 32,
// with THR2 capped at 31 * 2^9 from YLINT 9 on.
constexpr uint32_t dqthr(uint32_t yl_shifted10) {
  const uint32_t ylint = yl_shifted10 >> 5;
  const uint32_t ylfrac = yl_shifted10 & 31u;
  const uint32_t thr2 = ylint > 8 ? 15872u : (32u + ylfrac) << ylint;
  return (thr2 + (thr2 >> 1)) >> 1;
}

constexpr std::array<uint32_t, 4096> make_antilog_table() {
  std::array<uint32_t, 4096> t{};
  for (uint32_t dql = 0; dql < 4096; ++dql) {
    const uint32_t dqmag = antilog(dql);
    t[dql] = dqmag | float_magnitude(dqmag) << 16;
  }
  return t;
}

constexpr std::array<uint16_t, 512> make_dqthr_table() {
  std::array<uint16_t, 512> t{};
  for (uint32_t v = 0; v < 512; ++v) t[v] = static_cast<uint16_t>(dqthr(v));
  return t;
}

}  // namespace lookup

// By DQL: DQMAG in bits 0 ... 14, DQMAG's float exponent and mantissa (FLOATA
// without the sign) in bits 16 ... 25.
inline constexpr std::array<uint32_t, 4096> kAntilog = lookup::make_antilog_table();

// By YL >> 10 (YLINT and YLFRAC): the transition threshold DQTHR.
inline constexpr std::array<uint16_t, 512> kDqthr = lookup::make_dqthr_table();

}  // namespace calendo::detail
