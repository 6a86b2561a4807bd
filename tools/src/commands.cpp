#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "archive_conversion.h"
#include "calendo/client/runtime_error.h"
#include "calendo/fault.h"
#include "calendo/pending_file.h"
#include "conversion.h"
#include "encoding.h"
#include "folder_walk.h"
#include "libraries.h"
#include "output_names.h"
#include "output_plan.h"
#include "processes.h"
#include "progress.h"
#include "recorder_info.h"
#include "run_stop.h"
#include "run_summary.h"
#include "time_format.h"

#ifndef CALENDO_VERSION
#define CALENDO_VERSION "unknown"
#endif

namespace calendo::tool {
namespace {

void ReportFailure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "calendo-convert: %s: %s\n", file.c_str(), reason.c_str());
}

void ReportWarning(const std::string& file, const std::string& warning) {
  if (warning.empty()) return;
  std::fprintf(stderr, "calendo-convert: %s: warning: %s\n", file.c_str(), warning.c_str());
}

// With -v, a file left alone and why.
void ReportSkip(const Options& options, const std::string& file, const std::string& reason) {
  if (options.verbose)
    std::fprintf(stderr, "calendo-convert: %s: skipped: %s\n", file.c_str(), reason.c_str());
}

// One recorder file to convert and the WAV file it becomes.
struct ConversionJob {
  std::string source;
  std::string destination;
  std::string renamed_from;  // the name another file of the run has, else empty
};

// A library that cannot be bound, as the refusal of the step that called it.
Fault LibraryFault(const RuntimeError& failure) {
  std::string text = failure.description();
  if (!LibraryFolder().empty()) text += " (looked for in " + LibraryFolder() + ")";
  return Fault{Failure::CannotOpen, 0, std::move(text)};
}

// Runs `step`, whose library calls may raise RuntimeError, for its Result.
template <typename Step>
auto WithLibraries(const Step& step) -> decltype(step()) {
  try {
    return step();
  } catch (const RuntimeError& failure) {
    return LibraryFault(failure);
  }
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

// The folders above `file` that do not exist yet, deepest first.
std::vector<std::filesystem::path> MissingFolders(const std::string& file) {
  std::vector<std::filesystem::path> missing;
  std::error_code error;
  for (std::filesystem::path at = std::filesystem::path(file).parent_path();
       !at.empty() && !std::filesystem::exists(at, error); at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  return missing;
}

// Takes away the folders the run made for files that failed, once no file
// of the run is written any more: a folder is removed only while empty, so
// one that holds a sibling's file stays. Deepest first.
void RemoveFoldersOfFailures(const std::vector<std::vector<std::filesystem::path>>& made_for,
                             const std::vector<bool>& failed) {
  std::set<std::filesystem::path> folders;
  for (size_t i = 0; i < made_for.size(); ++i) {
    if (failed[i]) folders.insert(made_for[i].begin(), made_for[i].end());
  }
  std::vector<std::filesystem::path> deepest_first(folders.begin(), folders.end());
  std::sort(deepest_first.begin(), deepest_first.end(),
            [](const auto& a, const auto& b) { return a.native().size() > b.native().size(); });
  for (const std::filesystem::path& folder : deepest_first) {
    std::error_code ignored;
    std::filesystem::remove(folder, ignored);  // only while empty
  }
}

bool ConvertOne(const Options& options, const OutputPlan& plan, const ConversionJob& job,
                bool progress, unsigned threads = 0, SharedProgress* shared = nullptr) {
  ArchiveRequest request;
  request.conversion.source = job.source;
  request.conversion.destination = job.destination;
  request.conversion.format = options.format;
  request.conversion.replace = options.force;
  request.conversion.progress = progress;
  request.conversion.threads = threads;
  request.conversion.shared_progress = shared;
  request.format = plan.format;
  request.quality = options.quality;
  request.normalize_lufs = options.normalize_lufs;
  request.wav_tags = options.tags;
  request.keep_time = options.keep_time;
  // The folders under -o are made as files come to them, by several
  // processes at once with -j; the run takes away those of failures at its end.
  if (options.recursive) {
    std::error_code ignored;  // a folder that cannot be made fails the file's creation
    std::filesystem::create_directories(std::filesystem::path(job.destination).parent_path(),
                                        ignored);
  }
  const Result<ArchiveResult> converted = WithLibraries([&] { return ConvertToArchive(request); });
  if (!converted.ok()) {
    std::string reason = converted.fault().message;
    if (converted.fault().failure == Failure::IsFolder && !options.recursive)
      reason += " (-r converts the files in it)";
    ReportFailure(job.source, reason);
    return false;
  }
  const ArchiveResult& result = *converted;
  ReportWarning(job.source, result.conversion.warning);
  if (!options.quiet) {
    for (const std::string& note : result.notes)
      std::fprintf(stderr, "calendo-convert: %s: note: %s\n", job.source.c_str(), note.c_str());
    const int64_t ms = result.conversion.duration_ms();
    const std::string kind =
        plan.format == AudioFormat::kWav ? std::to_string(result.bits) + "-bit" : result.summary;
    std::printf("%s -> %s  %s (%s, %s, %u Hz)", job.source.c_str(), job.destination.c_str(),
                FormatPlayTime(ms).c_str(), Seconds(ms).c_str(), kind.c_str(), result.rate);
    if (!job.renamed_from.empty())
      std::printf("  renamed: %s is another file's of this run", job.renamed_from.c_str());
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return true;
}

// The files a convert command names: as given, or found in its folders (-r),
// each with the name of its output (output_names.h). Unreadable folders and
// files count as failures, files named as recordings that are none as
// damaged; other files and, with --skip-existing, those whose output exists
// count as skipped (named with -v).
std::vector<ConversionJob> CollectJobs(const Options& options, const OutputPlan& plan,
                                       RunTally& tally) {
  std::vector<FoundRecording> found;
  if (!options.recursive) {
    for (const std::string& file : options.files) found.push_back({file, options.output});
  } else {
    const FolderWalk walk = WalkFolders(options.files, options.output);
    if (!walk.output_inside.empty()) {
      std::fprintf(stderr,
                   "calendo-convert: note: %s is the output folder; the files in it are not "
                   "converted\n",
                   walk.output_inside.c_str());
    }
    for (const UnreadableFolder& unreadable : walk.unreadable) {
      ReportFailure(unreadable.folder, unreadable.fault.message);
      ++tally.failed;
    }
    for (const WalkedFile& file : walk.unreadable_files) {
      ReportFailure(file.path, file.reason);
      ++tally.failed;
    }
    for (const WalkedFile& file : walk.damaged) {
      ReportFailure(file.path,
                    "not a readable recording (damaged or never finished): " + file.reason);
    }
    tally.damaged += walk.damaged.size();
    for (const WalkedFile& file : walk.skipped) ReportSkip(options, file.path, file.reason);
    tally.skipped += walk.skipped.size();
    found = walk.recordings;
  }
  std::vector<std::string> sources;
  for (const FoundRecording& recording : found) sources.push_back(recording.source);
  OutputNames names(sources);
  std::vector<ConversionJob> jobs;
  for (const FoundRecording& recording : found) {
    OutputPlan in_folder = plan;
    if (options.recursive) in_folder.folder = recording.folder;
    const OutputName name =
        names.Claim(recording.source, OutputPathFor(in_folder, recording.source), plan.format);
    ConversionJob job{recording.source, name.path, name.instead_of};
    if (options.skip_existing && name_taken(job.destination)) {
      ReportSkip(options, job.source, job.destination + " exists");
      ++tally.skipped;
    } else {
      jobs.push_back(std::move(job));
    }
  }
  return jobs;
}

// With several folders each gets its own folder under the output: two of
// the same name would mix their files.
bool FolderNamesDiffer(const Options& options) {
  if (!options.recursive || options.output.empty()) return true;
  std::set<std::string> names;
  size_t folders = 0;
  for (const std::string& file : options.files) {
    std::error_code ignored;
    if (!std::filesystem::is_directory(file, ignored)) continue;
    ++folders;
    names.insert(FolderOutputName(file));
  }
  return folders < 2 || names.size() == folders;
}

}  // namespace

const char* VersionText() {
  return CALENDO_VERSION;
}

int RunConvert(const Options& options) {
  const auto start = std::chrono::steady_clock::now();
  if (!FolderNamesDiffer(options)) {
    std::fputs(
        "calendo-convert: two folders of the same name would share one folder under -o\n"
        "Try 'calendo-convert --help'.\n",
        stderr);
    return kExitUsage;
  }
  const Result<OutputPlan> plan = PlanOutput(options);
  if (!plan.ok()) {
    std::fprintf(stderr, "calendo-convert: %s\nTry 'calendo-convert --help'.\n",
                 plan.fault().message.c_str());
    return kExitUsage;
  }
  if (!PrepareFolder(plan->folder)) return kExitFailed;
  RunTally tally;
  const std::vector<ConversionJob> jobs = CollectJobs(options, *plan, tally);
  // What an earlier run killed outright left of these files.
  for (const ConversionJob& job : jobs) remove_stale_pending_files(job.destination);
  std::vector<std::vector<std::filesystem::path>> folders_made_for(jobs.size());
  if (options.recursive) {
    for (size_t i = 0; i < jobs.size(); ++i)
      folders_made_for[i] = MissingFolders(jobs[i].destination);
  }
  // Until a file is seen to be done, it counts as failed for the folders.
  std::vector<bool> job_failed(jobs.size(), true);
  auto count_done = [&](size_t i, bool ok) {
    if (!ok) {
      ++tally.failed;
      return;
    }
    job_failed[i] = false;
    ++tally.converted;
    tally.audio_seconds += AudioSeconds(jobs[i].destination);
  };

  const bool progress = ProgressWanted(options.quiet);
  if (options.jobs == 1 || jobs.size() <= 1) {
    for (size_t i = 0; i < jobs.size(); ++i)
      count_done(i, ConvertOne(options, *plan, jobs[i], progress));
  } else {
    // Each child converts one file; the page lines of several files at once
    // would overwrite each other, so the line counts the bytes of all the
    // recordings, those of a file being converted by the pages its child has
    // done (in shared memory). What a child writes comes here whole and is
    // shown with the line taken off. The cores are shared among the files
    // converted at once.
    const auto at_once =
        static_cast<unsigned>(std::min<size_t>(jobs.size(), static_cast<size_t>(options.jobs)));
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency() / at_once);
    SharedSlots slots(jobs.size());
    std::vector<uint64_t> kilobytes(jobs.size(), 0);
    uint64_t total_kilobytes = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
      std::error_code ignored;
      kilobytes[i] =
          std::max<uint64_t>(1, std::filesystem::file_size(jobs[i].source, ignored) / 1024);
      total_kilobytes += kilobytes[i];
    }
    std::vector<bool> ended(jobs.size(), false);
    auto kilobytes_done = [&] {
      uint64_t done = 0;
      for (size_t i = 0; i < jobs.size(); ++i) {
        const SharedProgress* slot = slots.at(i);
        const uint32_t total = slot == nullptr ? 0 : slot->total.load(std::memory_order_relaxed);
        if (ended[i]) {
          done += kilobytes[i];
        } else if (total > 0) {
          done +=
              kilobytes[i] * std::min(total, slot->done.load(std::memory_order_relaxed)) / total;
        }
      }
      return static_cast<uint32_t>(std::min<uint64_t>(done, UINT32_MAX));
    };
    ProgressBar bar(std::to_string(jobs.size()) + " files",
                    static_cast<uint32_t>(std::min<uint64_t>(total_kilobytes, UINT32_MAX)),
                    progress, "kB");
    size_t finished = 0;
    const StopOnSignals stop;
    ProcessHooks hooks;
    hooks.tick = [&] { bar.Update(kilobytes_done()); };
    hooks.stop = stop.flag();
    const Result<size_t> ran = RunInProcesses(
        jobs.size(), options.jobs,
        [&](size_t i) {
          stop.RestoreInChild();
          return ConvertOne(options, *plan, jobs[i], false, threads, slots.at(i));
        },
        [&](size_t i, const TaskEnd& end) {
          bar.Clear();
          std::fputs(end.out.c_str(), stdout);
          std::fflush(stdout);
          std::fputs(end.err.c_str(), stderr);
          ++finished;
          ended[i] = true;
          if (stop.signal_number() != 0 && !end.succeeded) return;  // for the next run
          if (end.signal_number != 0) {
            ReportFailure(jobs[i].source,
                          "conversion ended by signal " + std::to_string(end.signal_number));
          }
          count_done(i, end.succeeded);
          bar.Update(kilobytes_done());
        },
        true, &hooks);
    bar.Clear();
    if (!ran.ok()) {
      // The files whose children were not seen to end count as failed.
      std::fprintf(stderr, "calendo-convert: %s\n", ran.fault().message.c_str());
      tally.failed += jobs.size() - finished;
    }
    if (stop.signal_number() != 0) {
      RemoveFoldersOfFailures(folders_made_for, job_failed);
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("%s\n", SummaryLine(tally, wall).c_str());
      std::fflush(stdout);
      std::fprintf(stderr,
                   "calendo-convert: interrupted with %zu of %zu files not done; to carry on:\n"
                   "  %s\n",
                   jobs.size() - tally.converted - tally.failed, jobs.size(),
                   CarryOnCommand(options).c_str());
      return 128 + stop.signal_number();
    }
  }
  RemoveFoldersOfFailures(folders_made_for, job_failed);
  if (!options.quiet && (options.recursive || options.files.size() > 1)) {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s\n", SummaryLine(tally, wall).c_str());
  }
  if (tally.failed > 0 || tally.damaged > 0) {
    std::fputs(
        "calendo-convert: calendo-rescue FILE... -o OUT brings back the pages of damaged "
        "recordings (man calendo-rescue)\n",
        stderr);
  }
  return tally.failed == 0 && tally.damaged == 0 ? kExitDone : kExitFailed;
}

int RunInfo(const Options& options) {
  size_t failures = 0;
  if (options.json) std::fputs("[", stdout);
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::string& file = options.files[i];
    const Result<RecorderInfo> info = WithLibraries([&] { return ReadRecorderInfo(file); });
    if (!info.ok()) {
      ReportFailure(file, info.fault().message);
      ++failures;
    } else {
      ReportWarning(file, info->warning);
    }
    if (options.json) {
      std::printf(
          "%s\n  %s", i == 0 ? "" : ",",
          info.ok() ? InfoJson(*info).c_str() : ErrorJson(file, info.fault().message).c_str());
    } else if (info.ok()) {
      std::printf("%s%s", i == 0 ? "" : "\n", InfoText(*info).c_str());
    }
  }
  if (options.json) std::fputs("\n]\n", stdout);
  return failures == 0 ? kExitDone : kExitFailed;
}

int RunEncode(const Options& options) {
  std::error_code ignored;
  // "-o new/" names a folder to make, as it does for conversions.
  if (!options.output.empty() && options.output.back() == '/' && !PrepareFolder(options.output)) {
    return kExitFailed;
  }
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
    request.lp = options.lp;
    const Result<EncodingResult> encoded = WithLibraries([&] { return EncodeWav(request); });
    if (!encoded.ok()) {
      ReportFailure(file, encoded.fault().message);
      ++failures;
    } else {
      ReportWarning(file, encoded->warning);
      if (!options.quiet) {
        std::printf("%s -> %s  %u pages\n", file.c_str(), request.destination.c_str(),
                    encoded->pages);
      }
    }
  }
  return failures == 0 ? kExitDone : kExitFailed;
}

}  // namespace calendo::tool
