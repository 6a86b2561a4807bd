#include "pcm_source.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "calendo/client/imports.h"
#include "calendo/page_shape.h"
#include "kestrune.h"

namespace calendo::tool {
namespace {

constexpr sf_count_t kFramesAtOnce = 4096;

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

struct SoxrDeleter {
  void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

bool IsWavContainer(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

bool IsPcmOrFloat(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return true;
    default:
      return false;
  }
}

// Whether the encoder reads the file as it is: a canonical mono WAV file of
// the samples it takes, at the target rate.
bool EncoderTakesAsItIs(const SF_INFO& info, int target) {
  const int sub = info.format & SF_FORMAT_SUBMASK;
  return (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && info.channels == 1 &&
         (sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16) && info.samplerate == target;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// Writes mono float samples as 16-bit PCM: full scale is 32768, clipped.
class PcmWriter {
 public:
  explicit PcmWriter(SNDFILE* file) : file_(file) {}
  bool Write(const float* samples, size_t count) {
    pcm_.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const double scaled = std::nearbyint(static_cast<double>(samples[i]) * 32768.0);
      pcm_[i] = static_cast<short>(std::clamp(scaled, -32768.0, 32767.0));
    }
    return sf_write_short(file_, pcm_.data(), static_cast<sf_count_t>(count)) ==
           static_cast<sf_count_t>(count);
  }

 private:
  SNDFILE* file_;
  std::vector<short> pcm_;
};

Fault ResampleFailure(soxr_error_t failure) {
  return Fault{Failure::Unsupported, 0, std::string("cannot resample: ") + soxr_strerror(failure)};
}

// Copies every frame of `in` to `out` mixed to mono and resampled to `target`.
Status CopyAsMono(SNDFILE* in, const SF_INFO& info, SNDFILE* out, int target) {
  const auto channels = static_cast<size_t>(info.channels);
  std::vector<float> frames(static_cast<size_t>(kFramesAtOnce) * channels);
  std::vector<float> mono(static_cast<size_t>(kFramesAtOnce));
  Resampler resampler;
  if (info.samplerate != target) {
    soxr_error_t failure = nullptr;
    resampler.reset(soxr_create(info.samplerate, target, 1, &failure, nullptr, nullptr, nullptr));
    if (failure != nullptr) return ResampleFailure(failure);
  }
  const size_t room =
      static_cast<size_t>(kFramesAtOnce) * static_cast<size_t>(target) / info.samplerate + 64;
  std::vector<float> resampled(room);
  PcmWriter writer(out);
  auto write_failed = [&] {
    return Fault{Failure::CannotWrite, 0,
                 std::string("cannot write the samples for the encoder: ") + sf_strerror(out)};
  };

  for (;;) {
    const sf_count_t got = sf_readf_float(in, frames.data(), kFramesAtOnce);
    if (got <= 0) break;
    const auto count = static_cast<size_t>(got);
    for (size_t i = 0; i < count; ++i) {
      float sum = 0;
      for (size_t c = 0; c < channels; ++c) sum += frames[i * channels + c];
      mono[i] = sum / static_cast<float>(channels);
    }
    if (!resampler) {
      if (!writer.Write(mono.data(), count)) return write_failed();
      continue;
    }
    for (size_t used = 0; used < count;) {
      size_t taken = 0;
      size_t made = 0;
      if (soxr_error_t failure = soxr_process(resampler.get(), mono.data() + used, count - used,
                                              &taken, resampled.data(), room, &made))
        return ResampleFailure(failure);
      if (!writer.Write(resampled.data(), made)) return write_failed();
      used += taken;
    }
  }
  if (sf_error(in) != SF_ERR_NO_ERROR)
    return Fault{Failure::CannotRead, 0, std::string("cannot be read: ") + sf_strerror(in)};
  if (resampler) {
    // No input (null) tells the resampler the stream has ended; it then gives
    // what it still holds.
    for (;;) {
      size_t made = 0;
      if (soxr_error_t failure =
              soxr_process(resampler.get(), nullptr, 0, nullptr, resampled.data(), room, &made))
        return ResampleFailure(failure);
      if (made == 0) break;
      if (!writer.Write(resampled.data(), made)) return write_failed();
    }
  }
  return {};
}

}  // namespace

Result<EncoderInput> PrepareEncoderInput(const std::string& wav, bool lp,
                                         const std::string& destination) {
  SF_INFO info{};
  Sndfile in(sf_open(wav.c_str(), SFM_READ, &info));
  if (!in) {
    // What libsndfile cannot read goes to the encoder, whose check names the fault.
    return EncoderInput{wav, std::nullopt, {}};
  }
  if (!IsWavContainer(info.format)) return Fault{Failure::WrongKind, 0, "is not a WAV file"};
  if (!IsPcmOrFloat(info.format) || info.channels < 1 || info.samplerate < 1)
    return Fault{Failure::Unsupported, 0, "holds no PCM or floating-point samples"};
  const int target = lp || info.samplerate == kLpRate ? kLpRate : kSpRate;

  std::string warning;
  if (EncoderTakesAsItIs(info, target)) {
    const uint32_t size = imports::wav_vqr_check(wav.c_str());
    if (size >= KESTRUNE_VQR_HEADER) {
      // The encoder sizes the recording by the header's data length; one page
      // more than the samples fill is its rounding, more is a header that
      // announces samples the file does not hold.
      const uint64_t per_page = target == kSpRate ? kStandardSpCodes : kStandardLpCodes;
      const uint64_t announced = (size - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE;
      const uint64_t held = (static_cast<uint64_t>(info.frames) + per_page - 1) / per_page;
      if (announced <= held + 1) return EncoderInput{wav, std::nullopt, {}};
      warning = "the header announces " +
                Seconds(static_cast<double>(announced * per_page) / target) +
                " of samples but the file holds " +
                Seconds(static_cast<double>(info.frames) / target) + "; encoding what it holds";
    }
  }

  Result<PendingFile> temporary = PendingFile::create(destination + ".wav");
  if (!temporary.ok()) return temporary.fault();
  SF_INFO out_info{};
  out_info.samplerate = target;
  out_info.channels = 1;
  out_info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  Sndfile out(sf_open(temporary->temp_path().c_str(), SFM_WRITE, &out_info));
  if (!out) {
    return Fault{Failure::CannotWrite, 0,
                 "cannot write " + temporary->temp_path() + ": " + sf_strerror(nullptr)};
  }
  if (const Status copied = CopyAsMono(in.get(), info, out.get(), target); !copied.ok())
    return copied.fault();
  if (const int closed = sf_close(out.release()); closed != SF_ERR_NO_ERROR) {
    return Fault{Failure::CannotWrite, 0,
                 "cannot write " + temporary->temp_path() + ": " + sf_error_number(closed)};
  }
  std::string path = temporary->temp_path();
  return EncoderInput{std::move(path), std::move(*temporary), std::move(warning)};
}

}  // namespace calendo::tool
