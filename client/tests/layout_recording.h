// Recorder files of another layout than the standard one, made by the
// encoder's _f exports in the libkestrune.so built here (bound at run time,
// like every other call of the programs). For the tests of client, tools and
// player.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "calendo/client/binding.h"
#include "kestrune.h"

namespace calendo::testing {

inline constexpr binding::Import<uint32_t(const char*, uint16_t, uint16_t, uint16_t)>
    wav_vqr_check_f{"kestrune", "wav_vqr_check_f"};
inline constexpr binding::Import<int16_t(const char*, const char*, uint32_t, uint16_t, uint16_t,
                                         uint16_t)>
    wav_vqr_mkheader_f{"kestrune", "wav_vqr_mkheader_f"};
inline constexpr binding::Import<int16_t(const char*, const char*, uint32_t, uint32_t, uint16_t,
                                         uint16_t, uint16_t)>
    wav_vqr_encoder_f{"kestrune", "wav_vqr_encoder_f"};

// The page layout of an _f file: code bytes, extra bits and code bits a page.
struct PageLayout {
  uint16_t code_bytes;
  uint16_t extra_bits;
  uint16_t code_bits;
};
// 4-bit SP pages: 1020 codes where the standard page holds 1360.
inline constexpr PageLayout kFourBitSp{510, 0, 4};

// Encodes `samples` of a tone at 11025 Hz into `vqr` in `layout`, through a
// 16-bit WAV file beside it. Binding uses the library directory the caller set.
inline void WriteLayoutVqr(const std::filesystem::path& vqr, PageLayout layout, uint32_t samples) {
  const std::filesystem::path wav = vqr.string() + ".source.wav";
  {
    std::ofstream out(wav, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
    };
    out << "RIFF";
    put(36 + 2 * samples, 4);
    out << "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(11025, 4), put(22050, 4), put(2, 2), put(16, 2);
    out << "data";
    put(2 * samples, 4);
    for (uint32_t i = 0; i < samples; ++i) {
      put(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(0.07 * i))), 2);
    }
  }
  const uint32_t size =
      wav_vqr_check_f(wav.c_str(), layout.code_bytes, layout.extra_bits, layout.code_bits);
  const std::string path = vqr.string();
  if (size < KESTRUNE_VQR_HEADER ||
      wav_vqr_mkheader_f(wav.c_str(), path.c_str(), size, layout.code_bytes, layout.extra_bits,
                         layout.code_bits) != 0 ||
      wav_vqr_encoder_f(wav.c_str(), path.c_str(), 0,
                        (size - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE, layout.code_bytes,
                        layout.extra_bits, layout.code_bits) != 0) {
    throw std::runtime_error("cannot encode " + path);
  }
}

}  // namespace calendo::testing
