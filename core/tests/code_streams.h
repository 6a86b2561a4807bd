// Long code streams of every kind the recorder meets, made by the codec's own
// encoder from the reset state: speech-like, silent, noisy, tonal, clipped
// and bursty signals, and code words drawn at random.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "calendo/adpcm.h"
#include "test_signal.h"

namespace codec_test {

enum class Kind { Speech, Silent, Noisy, Tonal, Clipped, Bursty, RandomCodes };

inline constexpr Kind kAllKinds[] = {Kind::Speech,  Kind::Silent, Kind::Noisy,      Kind::Tonal,
                                     Kind::Clipped, Kind::Bursty, Kind::RandomCodes};

inline std::string kind_name(Kind kind) {
  static const char* const names[] = {"speech",  "silent", "noisy",       "tonal",
                                      "clipped", "bursty", "random codes"};
  return names[static_cast<int>(kind)];
}

inline std::vector<int16_t> signal_of(Kind kind, std::size_t count, unsigned seed) {
  uint32_t noise = 2463534242u + seed;
  auto next_noise = [&] {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<int32_t>(noise >> 16) - 32768;
  };
  std::vector<int16_t> out(count);
  switch (kind) {
    case Kind::Speech:
    case Kind::RandomCodes:
      return speech_like(count, seed);
    case Kind::Silent:  // a quiet room: the least bits of noise
      for (int16_t& x : out) x = static_cast<int16_t>(next_noise() >> 13);
      break;
    case Kind::Noisy:
      for (int16_t& x : out) x = static_cast<int16_t>(next_noise() / 3);
      break;
    case Kind::Tonal:  // two steady tones, as a dial tone
      for (std::size_t k = 0; k < count; ++k) {
        const double t = static_cast<double>(k) / 8000.0;
        out[k] = static_cast<int16_t>(6000 * std::sin(2 * 3.14159265358979 * 350 * t) +
                                      6000 * std::sin(2 * 3.14159265358979 * 440 * t));
      }
      break;
    case Kind::Clipped: {
      const std::vector<int16_t> speech = speech_like(count, seed);
      for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<int16_t>(std::clamp(speech[k] * 24, -32768, 32767));
      break;
    }
    case Kind::Bursty:  // loud noise a tenth of a second now and then, else quiet
      for (std::size_t k = 0; k < count; ++k) {
        const bool burst = (k / 800) % 7 == 3;
        out[k] = static_cast<int16_t>(burst ? next_noise() : next_noise() >> 12);
      }
      break;
  }
  return out;
}

inline std::vector<uint8_t> codes_of(Kind kind, std::size_t count, int bits, unsigned seed) {
  std::vector<uint8_t> codes(count);
  if (kind == Kind::RandomCodes) {
    uint32_t r = 12345u + seed;
    for (uint8_t& c : codes) {
      r = r * 1103515245u + 12345u;
      c = static_cast<uint8_t>((r >> 16) & ((1u << bits) - 1));
    }
    return codes;
  }
  const std::vector<int16_t> signal = signal_of(kind, count, seed);
  calendo::Adpcm encoder;
  encoder.adpcm_reset_state();
  encoder.encode(signal.data(), count, bits, codes.data());
  return codes;
}

}  // namespace codec_test
