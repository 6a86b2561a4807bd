// A recorder file of a steady tone, made from a WAV file by the recorder's
// own encoder (bound from the libkestrune.so built here, as the player binds
// its libraries): standard layout, SP pages at 11025 Hz.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "calendo/client/binding.h"
#include "kestrune.h"
#include "tone.h"

namespace calendo::testing {

inline constexpr binding::Import<uint32_t(const char*)> wav_vqr_check{"kestrune", "wav_vqr_check"};
inline constexpr binding::Import<int16_t(const char*, const char*, uint32_t)> wav_vqr_mkheader{
    "kestrune", "wav_vqr_mkheader"};
inline constexpr binding::Import<int16_t(const char*, const char*, uint32_t, uint32_t)>
    wav_vqr_encoder{"kestrune", "wav_vqr_encoder"};

// Writes `vqr` from `samples` at 11025 Hz.
inline void WriteSamplesVqr(const std::filesystem::path& vqr, const std::vector<int16_t>& samples) {
  const std::filesystem::path wav = vqr.string() + ".source.wav";
  {
    std::ofstream out(wav, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
    };
    const auto data = static_cast<uint32_t>(2 * samples.size());
    out << "RIFF";
    put(36 + data, 4);
    out << "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(11025, 4), put(22050, 4), put(2, 2), put(16, 2);
    out << "data";
    put(data, 4);
    for (const int16_t sample : samples) put(static_cast<uint16_t>(sample), 2);
  }
  const uint32_t size = wav_vqr_check(wav.c_str());
  const std::string path = vqr.string();
  if (size < KESTRUNE_VQR_HEADER || wav_vqr_mkheader(wav.c_str(), path.c_str(), size) != 0 ||
      wav_vqr_encoder(wav.c_str(), path.c_str(), 0,
                      (size - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE) != 0) {
    throw std::runtime_error("cannot encode " + path);
  }
}

// Writes `vqr`: `seconds` of a sine of `hz` at 11025 Hz.
inline void WriteToneVqr(const std::filesystem::path& vqr, double hz, double seconds) {
  WriteSamplesVqr(vqr, Sine(hz, 11025, static_cast<std::size_t>(11025 * seconds)));
}

// Writes `vqr`: a sine of `hz`, digital silence, the sine again, at 11025 Hz.
inline void WriteToneSilenceToneVqr(const std::filesystem::path& vqr, double hz,
                                    double tone_seconds, double silence_seconds) {
  const auto tone = Sine(hz, 11025, static_cast<std::size_t>(11025 * tone_seconds));
  std::vector<int16_t> samples = tone;
  samples.resize(tone.size() + static_cast<std::size_t>(11025 * silence_seconds), 0);
  samples.insert(samples.end(), tone.begin(), tone.end());
  WriteSamplesVqr(vqr, samples);
}

}  // namespace calendo::testing
