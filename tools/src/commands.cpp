#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "archive_conversion.h"
#include "calendo/client/runtime_error.h"
#include "conversion.h"
#include "encoding.h"
#include "libraries.h"
#include "output_plan.h"
#include "processes.h"
#include "progress.h"
#include "recorder_info.h"
#include "time_format.h"

#ifndef CALENDO_VERSION
#define CALENDO_VERSION "unknown"
#endif

namespace calendo::tool {
namespace {

void ReportFailure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "calendo-convert: %s: %s\n", file.c_str(), reason.c_str());
}

std::string LibraryFailure(const RuntimeError& failure) {
  std::string text = failure.description();
  if (!LibraryFolder().empty()) text += " (looked for in " + LibraryFolder() + ")";
  return text;
}

// Makes the output folder when it is missing; false (reported) when it cannot be.
bool PrepareFolder(const std::string& folder) {
  if (folder.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::error_code ignored;
  if (!std::filesystem::is_directory(folder, ignored)) {
    ReportFailure(folder, error ? error.message() : "is not a folder");
    return false;
  }
  return true;
}

std::string Seconds(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  return text;
}

bool ConvertOne(const Options& options, const OutputPlan& plan, const std::string& file,
                bool progress) {
  ArchiveRequest request;
  request.conversion.source = file;
  request.conversion.destination = OutputPathFor(plan, file);
  request.conversion.format = options.format;
  request.conversion.replace = options.force;
  request.conversion.progress = progress;
  request.format = plan.format;
  request.quality = options.quality;
  request.normalize_lufs = options.normalize_lufs;
  request.wav_tags = options.tags;
  request.keep_time = options.keep_time;
  ArchiveResult result;
  std::string error;
  try {
    if (!ConvertToArchive(request, result, error)) {
      ReportFailure(file, error);
      return false;
    }
  } catch (const RuntimeError& failure) {
    ReportFailure(file, LibraryFailure(failure));
    return false;
  }
  if (!options.quiet) {
    for (const std::string& note : result.notes)
      std::fprintf(stderr, "calendo-convert: %s: note: %s\n", file.c_str(), note.c_str());
    const int64_t ms = result.conversion.duration_ms();
    const std::string kind =
        plan.format == AudioFormat::kWav ? std::to_string(result.bits) + "-bit" : result.summary;
    std::printf("%s -> %s  %s (%s, %s, %u Hz)\n", file.c_str(),
                request.conversion.destination.c_str(), FormatPlayTime(ms).c_str(),
                Seconds(ms).c_str(), kind.c_str(), result.rate);
    std::fflush(stdout);
  }
  return true;
}

}  // namespace

const char* VersionText() {
  return CALENDO_VERSION;
}

int RunConvert(const Options& options) {
  std::string error;
  const std::optional<OutputPlan> plan = PlanOutput(options, error);
  if (!plan) {
    std::fprintf(stderr, "calendo-convert: %s\nTry 'calendo-convert --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (!PrepareFolder(plan->folder)) return kExitFailed;
  const bool progress = ProgressWanted(options.quiet);
  size_t failures = 0;
  if (options.jobs == 1 || options.files.size() == 1) {
    for (const std::string& file : options.files) {
      if (!ConvertOne(options, *plan, file, progress)) ++failures;
    }
  } else {
    // Each child converts one file; the page lines of several files at once
    // would overwrite each other, so the line counts files instead.
    const auto count = static_cast<uint32_t>(options.files.size());
    ProgressBar bar("files", count, progress, "files");
    uint32_t done = 0;
    failures = RunInProcesses(
        options.files.size(), options.jobs,
        [&](size_t i) { return ConvertOne(options, *plan, options.files[i], false); },
        [&](size_t i, const TaskEnd& end) {
          if (end.signal_number != 0) {
            ReportFailure(options.files[i],
                          "conversion ended by signal " + std::to_string(end.signal_number));
          }
          bar.Update(++done);
        });
    bar.Finish();
  }
  return failures == 0 ? kExitDone : kExitFailed;
}

int RunInfo(const Options& options) {
  size_t failures = 0;
  if (options.json) std::fputs("[", stdout);
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::string& file = options.files[i];
    std::string error;
    std::optional<RecorderInfo> info;
    try {
      info = ReadRecorderInfo(file, error);
    } catch (const RuntimeError& failure) {
      error = LibraryFailure(failure);
    }
    if (!info) {
      ReportFailure(file, error);
      ++failures;
    }
    if (options.json) {
      std::printf("%s\n  %s", i == 0 ? "" : ",",
                  info ? InfoJson(*info).c_str() : ErrorJson(file, error).c_str());
    } else if (info) {
      std::printf("%s%s", i == 0 ? "" : "\n", InfoText(*info).c_str());
    }
  }
  if (options.json) std::fputs("\n]\n", stdout);
  return failures == 0 ? kExitDone : kExitFailed;
}

int RunEncode(const Options& options) {
  std::error_code ignored;
  const bool to_folder =
      !options.output.empty() && std::filesystem::is_directory(options.output, ignored);
  if (options.files.size() > 1 && !options.output.empty() && !to_folder) {
    std::fprintf(stderr,
                 "calendo-convert: -o names one recorder file but %zu WAV files are given\n"
                 "Try 'calendo-convert --help'.\n",
                 options.files.size());
    return kExitUsage;
  }
  const bool progress = ProgressWanted(options.quiet);
  size_t failures = 0;
  for (const std::string& file : options.files) {
    EncodingRequest request;
    request.source = file;
    if (options.output.empty()) {
      request.destination = VqrPathFor(file);
    } else if (to_folder) {
      request.destination = (std::filesystem::path(options.output) /
                             std::filesystem::path(VqrPathFor(file)).filename())
                                .string();
    } else {
      request.destination = options.output;
    }
    request.replace = options.force;
    request.progress = progress;
    uint32_t pages = 0;
    std::string error;
    bool ok = false;
    try {
      ok = EncodeWav(request, pages, error);
    } catch (const RuntimeError& failure) {
      error = LibraryFailure(failure);
    }
    if (!ok) {
      ReportFailure(file, error);
      ++failures;
    } else if (!options.quiet) {
      std::printf("%s -> %s  %u pages\n", file.c_str(), request.destination.c_str(), pages);
    }
  }
  return failures == 0 ? kExitDone : kExitFailed;
}

}  // namespace calendo::tool
