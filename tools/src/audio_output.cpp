#include "audio_output.h"

#include <utility>

namespace calendo::tool {
namespace {

Fault WriteFailure(const std::string& path, SNDFILE* file) {
  return Fault{Failure::CannotWrite, 0, "cannot write " + path + ": " + sf_strerror(file)};
}

// Applies the lossy encoder's settings. The compression level is answered
// SF_TRUE when taken; the bit rate mode is read back, its setting answering
// 0 either way.
Status Configure(SNDFILE* file, const EncoderSettings& settings) {
  if (settings.bitrate_mode >= 0) {
    int mode = settings.bitrate_mode;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    if (sf_command(file, SFC_GET_BITRATE_MODE, nullptr, 0) != settings.bitrate_mode) {
      return Fault{Failure::Unsupported, 0,
                   std::string("the encoder refuses its bit rate mode: ") + sf_strerror(file)};
    }
  }
  if ((settings.sf_format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV &&
      (settings.sf_format & SF_FORMAT_TYPEMASK) != SF_FORMAT_FLAC) {
    double level = settings.compression;
    if (sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE) {
      return Fault{Failure::Unsupported, 0,
                   std::string("the encoder refuses its quality: ") + sf_strerror(file)};
    }
  }
  return {};
}

}  // namespace

Result<std::unique_ptr<AudioWriter>> AudioWriter::Create(const std::string& path, uint32_t rate,
                                                         const EncoderSettings& settings) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(settings.rate);
  info.channels = 1;
  info.format = settings.sf_format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return WriteFailure(path, nullptr);
  std::unique_ptr<AudioWriter> writer(new AudioWriter(path, file));
  if (const Status configured = Configure(file, settings); !configured.ok())
    return configured.fault();
  if ((settings.sf_format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS && settings.rate != rate) {
    // The Opus header records the rate the recording had.
    int original = static_cast<int>(rate);
    sf_command(file, SFC_SET_ORIGINAL_SAMPLERATE, &original, sizeof original);
  }
  if (settings.rate != rate) {
    Result<std::unique_ptr<RateConverter>> converter = RateConverter::Create(rate, settings.rate);
    if (!converter.ok()) return converter.fault();
    writer->converter_ = std::move(*converter);
  }
  return writer;
}

AudioWriter::AudioWriter(std::string path, SNDFILE* file) : path_(std::move(path)), file_(file) {}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) sf_close(file_);
}

Status AudioWriter::Write(std::span<const int16_t> samples) {
  if (!converter_) return WriteEncoded(samples);
  const Result<std::span<const int16_t>> converted = converter_->Convert(samples);
  if (!converted.ok()) return converted.fault();
  return WriteEncoded(*converted);
}

Status AudioWriter::WriteEncoded(std::span<const int16_t> samples) {
  if (samples.empty()) return {};
  const auto count = static_cast<sf_count_t>(samples.size());
  if (sf_write_short(file_, samples.data(), count) != count || sf_error(file_) != SF_ERR_NO_ERROR)
    return WriteFailure(path_, file_);
  return {};
}

Status AudioWriter::Finish() {
  if (converter_) {
    for (;;) {
      const Result<std::span<const int16_t>> rest = converter_->Flush();
      if (!rest.ok()) return rest.fault();
      if (rest->empty()) break;
      if (const Status wrote = WriteEncoded(*rest); !wrote.ok()) return wrote;
    }
  }
  SNDFILE* file = std::exchange(file_, nullptr);
  if (sf_close(file) != 0) return Fault{Failure::CannotWrite, 0, "cannot finish " + path_};
  return {};
}

}  // namespace calendo::tool
