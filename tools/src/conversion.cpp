#include "conversion.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "calendo/byte_source.h"
#include "calendo/client/wav_conversion.h"
#include "calendo/io.h"
#include "calendo/pending_file.h"

#include "audio_format.h"
#include "output_file.h"
#include "parallel_pages.h"
#include "progress.h"
#include "recorder_info.h"

namespace calendo::tool {
namespace {

// Free bytes for an unprivileged writer in the folder of `path`, or -1.
int64_t FreeBytes(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  struct statvfs fs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return -1;
  return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

// The tool's part in the conversion: library calls as they come, the space
// of the folder that will hold the file, the progress line after each page.
class ConversionSteps final : public client::ConversionSteps {
 public:
  ConversionSteps(const std::string& destination, const RecorderInfo& info, uint32_t pages,
                  const ConversionRequest& request)
      : destination_(destination),
        info_(info),
        pages_(pages),
        threads_(request.threads),
        bar_(std::filesystem::path(request.source).filename().string(), pages, request.progress) {
    bar_.Share(request.shared_progress);
  }

  void Call(const std::function<void()>& call) override {
    errno = 0;  // what AdpcmDecx leaves there tells why a page was not written
    call();
  }
  bool HasRoomFor(int32_t data_bytes) override {
    free_bytes_ = FreeBytes(destination_);
    return free_bytes_ < 0 || data_bytes <= free_bytes_;
  }
  void AfterPage(int32_t page) override { bar_.Update(static_cast<uint32_t>(page) + 1); }
  AllPages AppendAllPages(const char* wav_path, int16_t format, int32_t& page) override {
    return AppendPagesOnEveryCore(info_, pages_, wav_path, format, threads_, bar_, page);
  }

  void Finish() { bar_.Finish(); }
  int64_t free_bytes() const { return free_bytes_; }

 private:
  const std::string& destination_;
  const RecorderInfo& info_;
  uint32_t pages_;
  unsigned threads_;
  ProgressBar bar_;
  int64_t free_bytes_ = -1;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

}  // namespace

int64_t ConversionResult::duration_ms() const {
  const uint32_t block = bits == 16 ? 2 : 1;
  if (sample_rate == 0) return 0;
  return int64_t{data_bytes / block} * 1000 / sample_rate;
}

std::string WavPathFor(const std::string& source, const std::string& folder) {
  return AudioPathFor(source, folder, AudioFormat::kWav);
}

Result<ConversionResult> ConvertToWav(const ConversionRequest& request, const FinishStep& finish) {
  // Held open from before the header is read to after the last page, so that
  // a recording cut short or rewritten meanwhile is told from one that cannot
  // be read, whichever way its pages were decoded. Why a file cannot be
  // opened the header's reading tells.
  const Result<RecorderFile> held = RecorderFile::open(request.source.c_str());
  Result<RecorderInfo> info = ReadRecorderInfo(request.source);
  if (!info.ok()) return info.fault();
  if (!held.ok()) return held.fault();
  const SplpInfo& splp = info->splp;
  const uint32_t page_count = splp.page_count;
  if (page_count == 0) return Fault{Failure::WrongKind, 0, "holds no whole page"};
  if (!request.replace && name_taken(request.destination))
    return DestinationTaken(request.destination);
  if (SameFile(request.source, request.destination))
    return Fault{Failure::Unsupported, 0, "would be replaced by its own WAV file"};

  Result<PendingFile> output = PendingFile::create(request.destination);
  if (!output.ok()) return output.fault();
  const std::string& wav = output->temp_path();

  ConversionSteps steps(request.destination, *info, page_count, request);

  const client::RecordingToConvert recording{request.source.c_str(), file_kind_of(info->container),
                                             splp, static_cast<int32_t>(page_count)};
  const client::ConversionOutcome outcome =
      client::ConvertToWav(recording, wav.c_str(), static_cast<int16_t>(request.format), steps);
  const std::string page = std::to_string(outcome.page);
  if (const Status unchanged = held->unchanged(); !unchanged.ok()) return unchanged.fault();
  switch (outcome.end) {
    case client::ConversionEnd::kDone:
      break;
    case client::ConversionEnd::kCannotCreate:
      return Fault{Failure::CannotCreate, 0, "cannot create " + wav};
    case client::ConversionEnd::kRefused:
      return Fault{Failure::Unsupported, 0, "too long for one WAV file"};
    case client::ConversionEnd::kNoRoom:
      return Fault{Failure::CannotWrite, 0,
                   "not enough space for " + request.destination + " (" +
                       std::to_string(outcome.announced_bytes) + " bytes needed, " +
                       std::to_string(steps.free_bytes()) + " free)",
                   ENOSPC};
    case client::ConversionEnd::kStopped:  // the tool never stops a conversion
    case client::ConversionEnd::kPageUnreadable:
      return Fault{Failure::CannotRead, 0, "could no longer be read at page " + page};
    case client::ConversionEnd::kCannotAppend: {
      const int error_number = errno;
      std::string text = "cannot write page " + page + " to " + wav;
      if (error_number != 0) text += ": " + system_text(error_number);
      return Fault{Failure::CannotWrite, 0, std::move(text), error_number};
    }
  }
  steps.Finish();

  ConversionResult result;
  result.pages = page_count;
  result.sample_rate = outcome.sample_rate;
  result.data_bytes = outcome.data_bytes;
  result.bits = request.format == SampleFormat::k8Bit ? 8 : 16;
  result.warning = info->warning;
  if (finish) {
    if (const Status finished = finish(wav, *info, result); !finished.ok()) return finished.fault();
  }
  if (const Status committed = CommitOutput(*output, request.replace); !committed.ok())
    return committed.fault();
  return result;
}

}  // namespace calendo::tool
