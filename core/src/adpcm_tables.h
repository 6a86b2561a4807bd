// The fixed-point quantizer tables at 2, 3 and 4 bits per code, and the one
// table set per width that the per-sample steps read.
#pragma once

#include <array>
#include <cstdint>

namespace calendo::detail {

// What the steps need of one code word I, indexed by the whole code, in the
// scaled forms the steps use.
struct CodeEntry {
  int32_t dqs_mask;    // RECONST: the sign DQS as all ones (1) or 0
  int32_t wi_yu;       // FUNCTW: WI * 2^5 (WI sign-extended), the target of FILTD
  uint16_t dqln;       // RECONST: 12-bit TC, units of 2^-7; 2048 is minus infinity
  uint16_t fi_dms;     // FUNCTF: FI * 2^9, the target of FILTA
  uint16_t fi_dml;     // FI * 2^11, the target of FILTB
  uint16_t dqs_float;  // DQS << 10, the sign bit of DQ's float
};

struct WidthTables {
  int bits;
  unsigned mask;                         // 2^bits - 1
  std::array<CodeEntry, 16> code;        // by the low 4 bits of a code, taken masked to the width
  std::array<uint8_t, 4096> positive_i;  // QUAN: DLN -> I+ (the code for DS = 0)
};

namespace tables {

// A row of the quantizer: DLN at or above `dln` (first match from the top) gives `i`.
struct QuanRow {
  uint16_t dln;
  uint8_t i;
};

inline constexpr QuanRow kQuan4[] = {{3972, 1}, {2048, 15}, {400, 7}, {349, 6}, {300, 5},
                                     {246, 4},  {178, 3},   {80, 2},  {0, 1}};
inline constexpr QuanRow kQuan3[] = {{2048, 7}, {331, 3}, {218, 2}, {8, 1}, {0, 7}};
inline constexpr QuanRow kQuan2[] = {{2048, 0}, {261, 1}, {0, 0}};

// Inverse quantizer output DQLN by the whole code I.
inline constexpr uint16_t kDqln4[16] = {2048, 4,   135, 213, 273, 323, 373, 425,
                                        425,  373, 323, 273, 213, 135, 4,   2048};
inline constexpr uint16_t kDqln3[8] = {2048, 135, 273, 373, 373, 273, 135, 2048};
inline constexpr uint16_t kDqln2[4] = {116, 365, 365, 116};

// Scale factor multiplier WI and rate-of-change function FI by |I|.
inline constexpr uint16_t kWi4[8] = {4084, 18, 41, 64, 112, 198, 355, 1122};
inline constexpr uint16_t kWi3[4] = {4092, 30, 137, 582};
inline constexpr uint16_t kWi2[2] = {4074, 439};
inline constexpr uint8_t kFi4[8] = {0, 0, 0, 1, 1, 1, 3, 7};
inline constexpr uint8_t kFi3[4] = {0, 1, 2, 7};
inline constexpr uint8_t kFi2[2] = {0, 7};

template <std::size_t Rows, std::size_t Half>
constexpr WidthTables make(int bits, const QuanRow (&quan)[Rows], const uint16_t (&dqln)[2 * Half],
                           const uint16_t (&wi)[Half], const uint8_t (&fi)[Half]) {
  WidthTables t{};
  t.bits = bits;
  t.mask = (1u << bits) - 1;
  for (unsigned code = 0; code < 16; ++code) {
    const unsigned i = code & t.mask;
    const unsigned sign = i >> (bits - 1);
    // |I|: the bits below the sign, one's complemented for a negative code.
    const unsigned magnitude = (sign ? t.mask - i : i) & (Half - 1);
    const int wi_value = wi[magnitude] >= 2048 ? wi[magnitude] - 4096 : wi[magnitude];
    t.code[code] = CodeEntry{-static_cast<int32_t>(sign),
                             wi_value * 32,
                             dqln[i],
                             static_cast<uint16_t>(fi[magnitude] * 512),
                             static_cast<uint16_t>(fi[magnitude] * 2048),
                             static_cast<uint16_t>(sign << 10)};
  }
  for (unsigned dln = 0; dln < 4096; ++dln) {
    for (const QuanRow& row : quan) {
      if (dln >= row.dln) {
        t.positive_i[dln] = row.i;
        break;
      }
    }
  }
  return t;
}

}  // namespace tables

inline constexpr WidthTables kTables2 =
    tables::make(2, tables::kQuan2, tables::kDqln2, tables::kWi2, tables::kFi2);
inline constexpr WidthTables kTables3 =
    tables::make(3, tables::kQuan3, tables::kDqln3, tables::kWi3, tables::kFi3);
inline constexpr WidthTables kTables4 =
    tables::make(4, tables::kQuan4, tables::kDqln4, tables::kWi4, tables::kFi4);

// FILTD forms WI * 2^5 - Y as 17-bit TC; with Y < 2^13 it cannot wrap while
// every WI lies in -1792 ... 2047.
constexpr bool wi_fits_filtd(const WidthTables& t) {
  for (const CodeEntry& c : t.code) {
    if (c.wi_yu < -1792 * 32) return false;
  }
  return true;
}
static_assert(wi_fits_filtd(kTables2) && wi_fits_filtd(kTables3) && wi_fits_filtd(kTables4));

// The table set of a stream; a width other than 2 or 3 is taken as 4.
constexpr const WidthTables& tables_for(int bits_per_code) {
  return bits_per_code == 2 ? kTables2 : bits_per_code == 3 ? kTables3 : kTables4;
}

}  // namespace calendo::detail
