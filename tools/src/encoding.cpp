#include "encoding.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "calendo/client/imports.h"
#include "calendo/io.h"
#include "calendo/pending_file.h"
#include "output_file.h"
#include "pcm_source.h"
#include "progress.h"
#include "source_file.h"
#include "wav_layout.h"

namespace calendo::tool {
namespace {

constexpr uint32_t kPagesPerCall = 64;  // progress is drawn between calls

// The refusal of a header or page call: KESTRUNE_VQR_CANNOT_WRITE names the
// file and why (what the failed write left in errno), the others as the check.
Fault WriteRefusal(int16_t code, const std::string& vqr, const std::string& wav) {
  if (code != KESTRUNE_VQR_CANNOT_WRITE) return CheckRefusal(static_cast<uint32_t>(code), wav);
  const int error_number = errno;
  std::string text = "cannot write " + vqr;
  if (error_number != 0) text += ": " + system_text(error_number);
  return Fault{Failure::CannotWrite, 0, std::move(text), error_number};
}

}  // namespace

Fault CheckRefusal(uint32_t code, const std::string& path) {
  switch (code) {
    case KESTRUNE_WAV_CANNOT_OPEN:
      return OpenFailure(path, "is not a regular file that can be read");
    case KESTRUNE_WAV_NOT_WAVE:
      return Fault{Failure::WrongKind, 0, "is not a WAV file (no \"WAVE\" at byte 8)"};
    case KESTRUNE_WAV_BAD_RATE:
      return Fault{Failure::Unsupported, 0,
                   "has a sample rate of " + std::to_string(imports::wav_samplef(path.c_str())) +
                       " Hz; the recorder takes 11025 Hz (SP) or 8000 Hz (LP)"};
    case KESTRUNE_WAV_NOT_MONO:
      return Fault{Failure::Unsupported, 0, "is not mono; the recorder takes one channel"};
    case KESTRUNE_WAV_NOT_PCM:
      return Fault{Failure::Unsupported, 0, "is not plain PCM (format tag not 1)"};
    case KESTRUNE_WAV_NO_SAMPLES:
      return Fault{
          Failure::WrongKind, 0,
          "has no samples the recorder takes (no \"data\" chunk, or not 8 or 16 bits a sample)"};
    case KESTRUNE_WAV_TOO_LARGE:
      return Fault{Failure::Unsupported, 0, "is too long for one recorder file"};
    default:
      return Fault{Failure::Unsupported, 0,
                   "is refused by the encoder (code " + std::to_string(code) + ")"};
  }
}

std::string VqrPathFor(const std::string& wav) {
  std::filesystem::path path(wav);
  path.replace_extension(".vqr");
  return path.string();
}

Result<EncodingResult> EncodeWav(const EncodingRequest& request) {
  if (const Status regular = RequireRegularFile(request.source); !regular.ok())
    return regular.fault();
  if (!request.replace && name_taken(request.destination))
    return DestinationTaken(request.destination);
  std::error_code ignored;
  if (std::filesystem::equivalent(request.source, request.destination, ignored))
    return Fault{Failure::Unsupported, 0, "would be replaced by its own recorder file"};
  const Result<WavLayout> layout = ReadWavLayout(request.source);
  if (!layout.ok()) return layout.fault();
  Result<EncoderInput> input = PrepareEncoderInput(request.source, request.lp, request.destination);
  if (!input.ok()) return input.fault();
  // The as-it-is path words its own warning from the encoder's pages.
  if (input->warning.empty()) input->warning = TruncationWarning(*layout);
  const char* wav = input->path.c_str();
  const uint32_t size = imports::wav_vqr_check(wav);
  if (size < KESTRUNE_VQR_HEADER) return CheckRefusal(size, request.source);

  Result<PendingFile> output = PendingFile::create(request.destination);
  if (!output.ok()) return output.fault();
  const char* vqr = output->temp_path().c_str();
  errno = 0;  // what a failed write leaves there tells why
  if (const int16_t made = imports::wav_vqr_mkheader(wav, vqr, size);
      made != KESTRUNE_VQR_WRITTEN) {
    return WriteRefusal(made, output->temp_path(), request.source);
  }

  const uint32_t total = (size - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE;
  ProgressBar bar(std::filesystem::path(request.source).filename().string(), total,
                  request.progress);
  for (uint32_t start = 0; start < total; start += kPagesPerCall) {
    const uint32_t run = std::min(kPagesPerCall, total - start);
    errno = 0;
    if (const int16_t encoded = imports::wav_vqr_encoder(wav, vqr, start, run);
        encoded != KESTRUNE_VQR_WRITTEN) {
      return WriteRefusal(encoded, output->temp_path(), request.source);
    }
    bar.Update(start + run);
  }
  bar.Finish();
  if (const Status committed = CommitOutput(*output, request.replace); !committed.ok())
    return committed.fault();
  return EncodingResult{total, input->warning};
}

}  // namespace calendo::tool
