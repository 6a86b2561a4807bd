#include "encoder_settings.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>

namespace calendo::tool {
namespace {

// Speech defaults, on the --quality scale.
constexpr double kOggSpeechQuality = 3.0;                   // Vorbis q 0.3
constexpr double kOpusSpeechQuality = (24.0 - 6.0) / 25.0;  // 24 kbit/s
constexpr double kMp3SpeechQuality = (32.0 - 8.0) / 5.6;    // 32 kbit/s
constexpr uint32_t kOpusRateForSp = 12000;

std::string Kbits(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g kbit/s", std::round(value * 10.0) / 10.0);
  return text;
}

double Compression(double quality) {
  return 1.0 - quality / kMaxQuality;
}

}  // namespace

EncoderSettings SettingsFor(AudioFormat format, uint32_t rate, int bits,
                            std::optional<double> quality) {
  EncoderSettings settings;
  settings.rate = rate;
  switch (format) {
    case AudioFormat::kWav:
      settings.sf_format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
      settings.summary = "WAV";
      break;
    case AudioFormat::kFlac:
      settings.sf_format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
      settings.summary = "FLAC";
      break;
    case AudioFormat::kOgg: {
      const double q = quality.value_or(kOggSpeechQuality);
      settings.sf_format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
      settings.compression = Compression(q);
      char text[32];
      std::snprintf(text, sizeof text, "Vorbis q%g", q);
      settings.summary = text;
      break;
    }
    case AudioFormat::kOpus: {
      const double q = quality.value_or(kOpusSpeechQuality);
      settings.sf_format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
      settings.compression = Compression(q);
      if (rate != 8000 && rate != 12000 && rate != 16000 && rate != 24000 && rate != 48000)
        settings.rate = kOpusRateForSp;
      settings.summary = "Opus " + Kbits(6.0 + 25.0 * q);
      break;
    }
    case AudioFormat::kMp3: {
      const double q = quality.value_or(kMp3SpeechQuality);
      settings.sf_format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
      settings.compression = Compression(q);
      settings.bitrate_mode = SF_BITRATE_MODE_CONSTANT;
      settings.summary = "MP3 " + Kbits(8.0 + 5.6 * q);
      break;
    }
  }
  return settings;
}

}  // namespace calendo::tool
