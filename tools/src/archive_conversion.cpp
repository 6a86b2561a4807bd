#include "archive_conversion.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <sndfile.h>

#include "audio_output.h"
#include "encoder_settings.h"
#include "file_times.h"
#include "loudness.h"
#include "tags.h"

namespace calendo::tool {
namespace {

constexpr sf_count_t kBlockSamples = 1 << 16;

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileReader = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string Db(double factor) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", 20.0 * std::log10(factor));
  return text;
}

class Transcoder {
 public:
  Transcoder(const ArchiveRequest& request, ArchiveResult& result)
      : request_(request), result_(result) {}

  // Replaces the WAV file at `pending_path` by the requested format.
  bool Run(const std::string& pending_path, std::string& error) {
    SF_INFO info{};
    SndfileReader reader(sf_open(pending_path.c_str(), SFM_READ, &info));
    if (!reader) {
      error = "cannot read back " + pending_path + ": " + sf_strerror(nullptr);
      return false;
    }
    // The samples stay readable through `reader`; the name is the new file's.
    ::unlink(pending_path.c_str());
    const auto rate = static_cast<uint32_t>(info.samplerate);

    double gain = 1.0;
    if (request_.normalize_lufs && !MeasureGain(reader.get(), rate, gain, error)) return false;

    const EncoderSettings settings =
        SettingsFor(request_.format, rate, result_.bits, request_.quality);
    result_.rate = settings.rate;
    result_.summary = settings.summary;
    std::unique_ptr<AudioWriter> writer = AudioWriter::Create(pending_path, rate, settings, error);
    if (!writer) return false;
    std::vector<int16_t> block(kBlockSamples);
    for (;;) {
      const sf_count_t got = sf_read_short(reader.get(), block.data(), kBlockSamples);
      if (got <= 0) break;
      const std::span<int16_t> samples(block.data(), static_cast<size_t>(got));
      if (gain != 1.0) ApplyGain(samples, gain);
      if (!writer->Write(samples, error)) return false;
    }
    if (sf_error(reader.get()) != SF_ERR_NO_ERROR) {
      error = std::string("cannot read back the decoded samples: ") + sf_strerror(reader.get());
      return false;
    }
    return writer->Finish(error);
  }

 private:
  bool MeasureGain(SNDFILE* reader, uint32_t rate, double& gain, std::string& error) {
    LoudnessMeter meter(rate);
    std::vector<int16_t> block(kBlockSamples);
    for (;;) {
      const sf_count_t got = sf_read_short(reader, block.data(), kBlockSamples);
      if (got <= 0) break;
      if (!meter.Add({block.data(), static_cast<size_t>(got)})) {
        error = "cannot measure the loudness";
        return false;
      }
    }
    const std::optional<Loudness> loudness = meter.Result();
    if (!loudness || sf_seek(reader, 0, SEEK_SET) != 0) {
      error = "cannot measure the loudness";
      return false;
    }
    const Gain chosen = NormalizationGain(*loudness, *request_.normalize_lufs);
    if (!chosen.measurable) {
      result_.notes.push_back("no loudness to measure (silence); written without gain");
    } else if (chosen.peak_limited) {
      result_.notes.push_back("gain " + Db(chosen.factor) + " held to a true peak of -1 dBTP");
    }
    gain = chosen.factor;
    return true;
  }

  const ArchiveRequest& request_;
  ArchiveResult& result_;
};

}  // namespace

bool ConvertToArchive(const ArchiveRequest& request, ArchiveResult& result, std::string& error) {
  const std::optional<timespec> modified = ModificationTime(request.conversion.source);
  const bool plain_wav = request.format == AudioFormat::kWav && !request.normalize_lufs;
  ConversionRequest conversion = request.conversion;
  if (!plain_wav) conversion.format = SampleFormat::k16Bit;  // the encoder's input

  const FinishStep finish = [&](const std::string& pending_path, const RecorderInfo& info,
                                const ConversionResult& decoded, std::string& step_error) {
    result.conversion = decoded;
    result.rate = decoded.sample_rate;
    if (!plain_wav && !Transcoder(request, result).Run(pending_path, step_error)) return false;
    const bool tagged = request.format != AudioFormat::kWav || request.wav_tags;
    if (tagged && !WriteTags(pending_path, request.format,
                             MakeArchiveTags(info, modified.value_or(timespec{})), step_error)) {
      return false;
    }
    return !request.keep_time || !modified ||
           SetModificationTime(pending_path, *modified, step_error);
  };
  result.bits = request.conversion.format == SampleFormat::k8Bit ? 8 : 16;
  return ConvertToWav(conversion, result.conversion, error, finish);
}

}  // namespace calendo::tool
