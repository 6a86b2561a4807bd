// Writing mono 16-bit samples as a WAV, FLAC, Ogg Vorbis, Opus or MP3 file
// through libsndfile, with the settings of encoder_settings.h and the sample rate the encoder takes
// (libsoxr where it differs from the samples').
//
// Every failure carries libsndfile's own text. Threads: one writer per thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <sndfile.h>

#include "calendo/fault.h"
#include "encoder_settings.h"
#include "rate_converter.h"

namespace calendo::tool {

class AudioWriter {
 public:
  // Creates `path` for samples at `rate`.
  static Result<std::unique_ptr<AudioWriter>> Create(const std::string& path, uint32_t rate,
                                                     const EncoderSettings& settings);
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  Status Write(std::span<const int16_t> samples);
  // Writes what the resampler and the encoder still hold and closes the file.
  Status Finish();

 private:
  AudioWriter(std::string path, SNDFILE* file);
  Status WriteEncoded(std::span<const int16_t> samples);

  std::string path_;
  SNDFILE* file_;
  std::unique_ptr<RateConverter> converter_;
};

}  // namespace calendo::tool
