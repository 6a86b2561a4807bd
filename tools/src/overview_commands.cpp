#include "overview_commands.h"

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "calendo/byte_source.h"
#include "calendo/io.h"
#include "calendo/pending_file.h"
#include "calendo/recording_pages.h"
#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"
#include "commands.h"
#include "overview_formats.h"
#include "source_file.h"

namespace calendo::tool {
namespace {

namespace fs = std::filesystem;

void ReportFailure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "calendo-convert: %s: %s\n", file.c_str(), reason.c_str());
}

// The overview of the recorder file `path`, on every core.
Result<WaveformPeaks> MeasureFile(const std::string& path) {
  if (const Status regular = RequireRegularFile(path); !regular.ok()) return regular.fault();
  const Result<RecorderFile> file = RecorderFile::open(path.c_str());
  if (!file.ok()) return file.fault();
  const Result<RecordingPages> recording = RecordingPages::read(file.value());
  if (!recording.ok()) return recording.fault();
  ParallelDecoder parallel;
  WaveformPeaks peaks;
  measure_recording(recording.value(), parallel, peaks);
  // A file that changed while it was read would give pages that were never recorded.
  if (const Status same = file->unchanged(); !same.ok()) return same.fault();
  return peaks;
}

std::string OverviewPathFor(const Options& options, const std::string& source) {
  const std::string name = fs::path(source).stem().string() + (options.json ? ".json" : ".dat");
  if (options.output.empty()) return (fs::path(source).parent_path() / name).string();
  std::error_code ignored;
  if (fs::is_directory(options.output, ignored)) return (fs::path(options.output) / name).string();
  return options.output;
}

Status WriteWhole(const std::string& target, const std::string& bytes, bool replace) {
  if (!replace && name_taken(target)) return Fault{Failure::Exists, 0, target + " exists"};
  Result<PendingFile> file = PendingFile::create(target);
  if (!file.ok()) return file.fault();
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (const Status written = write_all(file->fd(), std::span(data, bytes.size())); !written.ok()) {
    return written;
  }
  return file->commit(replace);
}

}  // namespace

int RunPeaks(const Options& options) {
  std::error_code ignored;
  if (options.files.size() > 1 && !options.output.empty() &&
      !fs::is_directory(options.output, ignored)) {
    std::fprintf(stderr,
                 "calendo-convert: -o names one file but %zu recorder files are given\n"
                 "Try 'calendo-convert --help'.\n",
                 options.files.size());
    return kExitUsage;
  }
  std::size_t failures = 0;
  for (const std::string& source : options.files) {
    const Result<WaveformPeaks> peaks = MeasureFile(source);
    if (!peaks.ok()) {
      ReportFailure(source, peaks.fault().message);
      ++failures;
      continue;
    }
    const std::string target = OverviewPathFor(options, source);
    const Status written = WriteWhole(
        target, options.json ? WaveformJson(*peaks) : WaveformDat(*peaks), options.force);
    if (!written.ok()) {
      ReportFailure(source, written.fault().message);
      ++failures;
      continue;
    }
    if (!options.quiet) {
      std::printf("%s -> %s  %zu pairs of %u samples\n", source.c_str(), target.c_str(),
                  peaks->size(), peaks->samples_per_peak);
    }
  }
  return failures == 0 ? kExitDone : kExitFailed;
}

int RunSilences(const Options& options) {
  std::size_t failures = 0;
  for (const std::string& source : options.files) {
    const Result<WaveformPeaks> peaks = MeasureFile(source);
    if (!peaks.ok()) {
      ReportFailure(source, peaks.fault().message);
      ++failures;
      continue;
    }
    const std::vector<SampleStretch> speech = find_speech(*peaks);
    const std::string text = options.vtt    ? SpeechVtt(speech, peaks->sample_rate)
                             : options.json ? SpeechJson(speech, peaks->sample_rate)
                                            : SpeechLines(speech, peaks->sample_rate);
    if (options.files.size() > 1 && !options.json && !options.vtt)
      std::printf("%s:\n", source.c_str());
    std::fputs(text.c_str(), stdout);
  }
  std::fflush(stdout);
  return failures == 0 ? kExitDone : kExitFailed;
}

}  // namespace calendo::tool
