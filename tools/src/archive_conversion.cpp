#include "archive_conversion.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <sndfile.h>

#include "audio_output.h"
#include "calendo/loudness.h"
#include "encoder_settings.h"
#include "file_times.h"
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
  Status Run(const std::string& pending_path) {
    SF_INFO info{};
    SndfileReader reader(sf_open(pending_path.c_str(), SFM_READ, &info));
    if (!reader) {
      return Fault{Failure::CannotRead, 0,
                   "cannot read back " + pending_path + ": " + sf_strerror(nullptr)};
    }
    // The samples stay readable through `reader`; the name is the new file's.
    ::unlink(pending_path.c_str());
    const auto rate = static_cast<uint32_t>(info.samplerate);

    double gain = 1.0;
    if (request_.normalize_lufs) {
      const Result<double> measured = MeasureGain(reader.get(), rate);
      if (!measured.ok()) return measured.fault();
      gain = *measured;
    }

    const EncoderSettings settings =
        SettingsFor(request_.format, rate, result_.bits, request_.quality);
    result_.rate = settings.rate;
    result_.summary = settings.summary;
    Result<std::unique_ptr<AudioWriter>> writer = AudioWriter::Create(pending_path, rate, settings);
    if (!writer.ok()) return writer.fault();
    std::vector<int16_t> block(kBlockSamples);
    for (;;) {
      const sf_count_t got = sf_read_short(reader.get(), block.data(), kBlockSamples);
      if (got <= 0) break;
      const std::span<int16_t> samples(block.data(), static_cast<size_t>(got));
      if (gain != 1.0) ApplyGain(samples, gain);
      if (const Status wrote = (*writer)->Write(samples); !wrote.ok()) return wrote;
    }
    if (sf_error(reader.get()) != SF_ERR_NO_ERROR) {
      return Fault{
          Failure::CannotRead, 0,
          std::string("cannot read back the decoded samples: ") + sf_strerror(reader.get())};
    }
    return (*writer)->Finish();
  }

 private:
  Result<double> MeasureGain(SNDFILE* reader, uint32_t rate) {
    LoudnessMeter meter(rate);
    std::vector<int16_t> block(kBlockSamples);
    for (;;) {
      const sf_count_t got = sf_read_short(reader, block.data(), kBlockSamples);
      if (got <= 0) break;
      if (const Status added = meter.Add({block.data(), static_cast<size_t>(got)}); !added.ok())
        return added.fault();
    }
    const Result<Loudness> loudness = meter.Measured();
    if (!loudness.ok()) return loudness.fault();
    if (sf_seek(reader, 0, SEEK_SET) != 0) return LoudnessMeter::Unmeasurable();
    const Gain chosen = NormalizationGain(*loudness, *request_.normalize_lufs);
    if (!chosen.measurable) {
      result_.notes.push_back("no loudness to measure (silence); written without gain");
    } else if (chosen.peak_limited) {
      result_.notes.push_back("gain " + Db(chosen.factor) + " held to a true peak of -1 dBTP");
    }
    return chosen.factor;
  }

  const ArchiveRequest& request_;
  ArchiveResult& result_;
};

}  // namespace

Result<ArchiveResult> ConvertToArchive(const ArchiveRequest& request) {
  const Result<timespec> modified = ModificationTime(request.conversion.source);
  const bool plain_wav = request.format == AudioFormat::kWav && !request.normalize_lufs;
  ConversionRequest conversion = request.conversion;
  if (!plain_wav) conversion.format = SampleFormat::k16Bit;  // the encoder's input

  ArchiveResult result;
  result.bits = request.conversion.format == SampleFormat::k8Bit ? 8 : 16;
  const FinishStep finish = [&](const std::string& pending_path, const RecorderInfo& info,
                                const ConversionResult& decoded) -> Status {
    result.conversion = decoded;
    result.rate = decoded.sample_rate;
    if (!plain_wav) {
      if (const Status transcoded = Transcoder(request, result).Run(pending_path); !transcoded.ok())
        return transcoded;
    }
    if (request.format != AudioFormat::kWav || request.wav_tags) {
      const Status tagged = WriteTags(pending_path, request.format,
                                      MakeArchiveTags(info, modified.value_or(timespec{})));
      if (!tagged.ok()) return tagged;
    }
    if (!request.keep_time || !modified.ok()) return {};
    return SetModificationTime(pending_path, *modified);
  };
  const Result<ConversionResult> converted = ConvertToWav(conversion, finish);
  if (!converted.ok()) return converted.fault();
  result.conversion = *converted;
  return result;
}

}  // namespace calendo::tool
