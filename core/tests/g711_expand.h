// G.711 log-PCM bytes expanded to 16-bit linear samples whose upper 14 bits
// are the linear value the G.726 input stage works on: the 14-bit value of
// mu-law, and A-law's 13-bit value doubled.
#pragma once

#include <cstdint>

namespace codec_test {

// A-law: even bits inverted; sign bit 1 = positive; segment 0 is linear with
// steps of 2 (13-bit units) and each further segment doubles the step.
inline int16_t alaw_to_linear(uint8_t byte) {
  const unsigned a = byte ^ 0x55u;
  const unsigned segment = (a >> 4) & 7u;
  const unsigned mantissa = a & 15u;
  // 13-bit magnitude: (2m + 1) in segment 0, (2m + 33) << (segment - 1) above.
  const int magnitude13 =
      static_cast<int>(segment == 0 ? 2 * mantissa + 1 : (2 * mantissa + 33) << (segment - 1));
  const int value13 = (a & 0x80u) ? magnitude13 : -magnitude13;
  return static_cast<int16_t>(value13 * 8);  // doubled to 14 bits, then << 2
}

// mu-law: all bits inverted; sign bit 1 = negative; biased segments,
// magnitude ((2m + 33) << segment) - 33 in 14-bit units.
inline int16_t ulaw_to_linear(uint8_t byte) {
  const unsigned u = ~byte & 0xFFu;
  const unsigned segment = (u >> 4) & 7u;
  const unsigned mantissa = u & 15u;
  const int magnitude14 = static_cast<int>(((2 * mantissa + 33) << segment) - 33);
  const int value14 = (u & 0x80u) ? -magnitude14 : magnitude14;
  return static_cast<int16_t>(value14 * 4);  // << 2
}

}  // namespace codec_test
