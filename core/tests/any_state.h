// A codec state with every field an arbitrary bit pattern, stray high bits
// included, for comparing kernels from states the reference streams never
// reach.
#pragma once

#include <cstdint>
#include <random>

#include "calendo/adpcm.h"

namespace codec_test {

inline calendo::AdpcmState any_state(std::mt19937& rng) {
  calendo::AdpcmState s;
  auto bits16 = [&] { return static_cast<uint16_t>(rng()); };
  s.sr1 = bits16();
  s.sr2 = bits16();
  for (uint16_t& v : s.dq) v = bits16();
  s.a1 = bits16();
  s.a2 = bits16();
  for (uint16_t& v : s.b) v = bits16();
  s.pk1 = static_cast<uint8_t>(rng());
  s.pk2 = static_cast<uint8_t>(rng());
  s.yu = bits16();
  s.yl = static_cast<uint32_t>(rng());
  s.dms = bits16();
  s.dml = bits16();
  s.ap = bits16();
  s.td = static_cast<uint8_t>(rng());
  return s;
}

}  // namespace codec_test
