#include "audio_output.h"

#include <utility>

namespace calendo::tool {
namespace {

std::string Failure(const std::string& path, SNDFILE* file) {
  return "cannot write " + path + ": " + sf_strerror(file);
}

// Applies the lossy encoder's settings. The compression level is answered
// SF_TRUE when taken; the bit rate mode is read back, its setting answering
// 0 either way.
bool Configure(SNDFILE* file, const EncoderSettings& settings, std::string& error) {
  if (settings.bitrate_mode >= 0) {
    int mode = settings.bitrate_mode;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    if (sf_command(file, SFC_GET_BITRATE_MODE, nullptr, 0) != settings.bitrate_mode) {
      error = std::string("the encoder refuses its bit rate mode: ") + sf_strerror(file);
      return false;
    }
  }
  if ((settings.sf_format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV &&
      (settings.sf_format & SF_FORMAT_TYPEMASK) != SF_FORMAT_FLAC) {
    double level = settings.compression;
    if (sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE) {
      error = std::string("the encoder refuses its quality: ") + sf_strerror(file);
      return false;
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<AudioWriter> AudioWriter::Create(const std::string& path, uint32_t rate,
                                                 const EncoderSettings& settings,
                                                 std::string& error) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(settings.rate);
  info.channels = 1;
  info.format = settings.sf_format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    error = Failure(path, nullptr);
    return nullptr;
  }
  std::unique_ptr<AudioWriter> writer(new AudioWriter(path, file));
  if (!Configure(file, settings, error)) return nullptr;
  if ((settings.sf_format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS && settings.rate != rate) {
    // The Opus header records the rate the recording had.
    int original = static_cast<int>(rate);
    sf_command(file, SFC_SET_ORIGINAL_SAMPLERATE, &original, sizeof original);
  }
  if (settings.rate != rate) {
    writer->converter_ = std::make_unique<RateConverter>(rate, settings.rate, error);
    if (!writer->converter_->ok()) return nullptr;
  }
  return writer;
}

AudioWriter::AudioWriter(std::string path, SNDFILE* file) : path_(std::move(path)), file_(file) {}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) sf_close(file_);
}

bool AudioWriter::Write(std::span<const int16_t> samples, std::string& error) {
  if (!converter_) return WriteEncoded(samples, error);
  std::span<const int16_t> converted;
  return converter_->Convert(samples, converted, error) && WriteEncoded(converted, error);
}

bool AudioWriter::WriteEncoded(std::span<const int16_t> samples, std::string& error) {
  if (samples.empty()) return true;
  const auto count = static_cast<sf_count_t>(samples.size());
  if (sf_write_short(file_, samples.data(), count) != count || sf_error(file_) != SF_ERR_NO_ERROR) {
    error = Failure(path_, file_);
    return false;
  }
  return true;
}

bool AudioWriter::Finish(std::string& error) {
  if (converter_) {
    std::span<const int16_t> rest;
    do {
      if (!converter_->Flush(rest, error) || !WriteEncoded(rest, error)) return false;
    } while (!rest.empty());
  }
  SNDFILE* file = std::exchange(file_, nullptr);
  if (sf_close(file) != 0) {
    error = "cannot finish " + path_;
    return false;
  }
  return true;
}

}  // namespace calendo::tool
