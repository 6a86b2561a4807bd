// How each format is encoded: libsndfile's format code, the sample rate the
// encoder takes, and the settings chosen for recorded speech.
//
// --quality Q (0 to 10, 0 the smallest file, 10 the best sound) sets the lossy
// encoders through libsndfile's compression level 1 - Q/10:
//   ogg   Vorbis VBR quality Q/10 (default 3: about 20 to 30 kbit/s for 11 kHz speech)
//   opus  target 6 + 25 Q kbit/s, the encoder's VBR (default 24 kbit/s)
//   mp3   constant bit rate 8 + 5.6 Q kbit/s below 16 kHz (default 32 kbit/s)
// Opus takes 8, 12, 16, 24 or 48 kHz only: 11025 Hz recordings are resampled
// to 12 kHz for it. Every other format keeps the recording's rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio_format.h"

namespace calendo::tool {

inline constexpr double kMinQuality = 0.0;
inline constexpr double kMaxQuality = 10.0;

struct EncoderSettings {
  int sf_format = 0;       // libsndfile's major | minor format
  uint32_t rate = 0;       // samples a second the encoder is given
  double compression = 0;  // SFC_SET_COMPRESSION_LEVEL (lossy formats only)
  int bitrate_mode = -1;   // SFC_SET_BITRATE_MODE, or -1 to leave the encoder's
  std::string summary;     // for the report line: "Opus 24 kbit/s"
};

// The settings for `format` of samples at `rate`. `bits` (8 or 16) matters
// for WAV only; `quality` for the lossy formats only.
EncoderSettings SettingsFor(AudioFormat format, uint32_t rate, int bits,
                            std::optional<double> quality);

}  // namespace calendo::tool
