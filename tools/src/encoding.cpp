#include "encoding.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "libraries.h"
#include "pcm_source.h"
#include "pending_file.h"
#include "progress.h"
#include "source_file.h"

namespace calendo::tool {
namespace {

constexpr uint32_t kPagesPerCall = 64;  // progress is drawn between calls

std::string CannotWrite(const std::string& path) {
  std::string text = "cannot write " + path;
  if (errno != 0) text += std::string(": ") + std::strerror(errno);
  return text;
}

}  // namespace

std::string CheckRefusalText(uint32_t code, const std::string& path) {
  switch (code) {
    case KESTRUNE_WAV_CANNOT_OPEN: {
      if (auto reason = NotARegularFile(path)) return *reason;
      const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
      if (fd < 0) return std::strerror(errno);
      ::close(fd);
      return "is not a regular file that can be read";
    }
    case KESTRUNE_WAV_NOT_WAVE:
      return "is not a WAV file (no \"WAVE\" at byte 8)";
    case KESTRUNE_WAV_BAD_RATE:
      return "has a sample rate of " + std::to_string(encoder_imports::wav_samplef(path.c_str())) +
             " Hz; the recorder takes 11025 Hz (SP) or 8000 Hz (LP)";
    case KESTRUNE_WAV_NOT_MONO:
      return "is not mono; the recorder takes one channel";
    case KESTRUNE_WAV_NOT_PCM:
      return "is not plain PCM (format tag not 1)";
    case KESTRUNE_WAV_NO_SAMPLES:
      return "has no samples the recorder takes (no \"data\" chunk, or not 8 or 16 bits a sample)";
    case KESTRUNE_WAV_TOO_LARGE:
      return "is too long for one recorder file";
    default:
      return "is refused by the encoder (code " + std::to_string(code) + ")";
  }
}

std::string VqrPathFor(const std::string& wav) {
  std::filesystem::path path(wav);
  path.replace_extension(".vqr");
  return path.string();
}

bool EncodeWav(const EncodingRequest& request, uint32_t& pages, std::string& error,
               std::string* warning) {
  if (auto reason = NotARegularFile(request.source)) {
    error = *reason;
    return false;
  }
  if (!request.replace && NameTaken(request.destination)) {
    error = request.destination + " exists (--force replaces it)";
    return false;
  }
  std::error_code ignored;
  if (std::filesystem::equivalent(request.source, request.destination, ignored)) {
    error = "would be replaced by its own recorder file";
    return false;
  }
  std::optional<EncoderInput> input =
      PrepareEncoderInput(request.source, request.lp, request.destination, error);
  if (!input) return false;
  const char* wav = input->path.c_str();
  const uint32_t size = encoder_imports::wav_vqr_check(wav);
  if (size < KESTRUNE_VQR_HEADER) {
    error = CheckRefusalText(size, request.source);
    return false;
  }

  std::optional<PendingFile> output = PendingFile::Create(request.destination, error);
  if (!output) return false;
  const char* vqr = output->temp_path().c_str();
  errno = 0;  // what a failed write leaves there tells why
  if (const int16_t made = encoder_imports::wav_vqr_mkheader(wav, vqr, size); made != 0) {
    error = made == 2 ? CannotWrite(output->temp_path())
                      : CheckRefusalText(static_cast<uint32_t>(made), request.source);
    return false;
  }

  const uint32_t total = (size - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE;
  ProgressBar bar(std::filesystem::path(request.source).filename().string(), total,
                  request.progress);
  for (uint32_t start = 0; start < total; start += kPagesPerCall) {
    const uint32_t run = std::min(kPagesPerCall, total - start);
    errno = 0;
    if (const int16_t encoded = encoder_imports::wav_vqr_encoder(wav, vqr, start, run);
        encoded != 0) {
      error = encoded == 2 ? CannotWrite(output->temp_path())
                           : CheckRefusalText(static_cast<uint32_t>(encoded), request.source);
      return false;
    }
    bar.Update(start + run);
  }
  bar.Finish();
  if (!output->Commit(request.replace, error)) return false;
  pages = total;
  if (warning != nullptr) *warning = input->warning;
  return true;
}

}  // namespace calendo::tool
