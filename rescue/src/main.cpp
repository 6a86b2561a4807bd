// calendo-rescue: recordings back from damaged recorder files and from
// deleted, formatted or broken memory cards (man page docs/calendo-rescue.1).
//
// Usage: calendo-rescue [--json] [--quiet] SOURCE... -o OUT
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "output_folder.h"
#include "report.h"
#include "rescue_run.h"

namespace {

std::atomic<bool> g_stop{false};

void on_interrupt(int) {
  g_stop.store(true);
}

int usage(const char* problem) {
  if (problem) std::fprintf(stderr, "calendo-rescue: %s\n", problem);
  std::fprintf(stderr, "usage: calendo-rescue [--json] [--quiet] SOURCE... -o OUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> sources;
  std::string out;
  bool json = false;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output") {
      if (++i >= argc) return usage("-o needs a folder");
      out = argv[i];
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-h" || arg == "--help") {
      usage(nullptr);
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(("unknown option " + arg).c_str());
    } else {
      sources.push_back(arg);
    }
  }
  if (sources.empty()) return usage("no SOURCE given");
  if (out.empty()) return usage("no output folder given (-o OUT)");

  struct sigaction action {};
  action.sa_handler = on_interrupt;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  calendo::Result<calendo::rescue::OutputFolder> folder = calendo::rescue::OutputFolder::open(out);
  if (!folder.ok()) {
    std::fprintf(stderr, "calendo-rescue: %s\n", folder.fault().message.c_str());
    return 1;
  }

  const bool show = !quiet && ::isatty(STDERR_FILENO);
  const auto start = std::chrono::steady_clock::now();
  calendo::rescue::RescueProgress progress;
  progress.scanned = [&](const std::string& source, uint64_t done, uint64_t size) {
    if (!show) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const double left = rate > 0 ? static_cast<double>(size - done) / rate : 0;
    std::fprintf(stderr, "\r%s: %llu of %llu MB scanned, %.0f MB/s, %.0f s left   ", source.c_str(),
                 static_cast<unsigned long long>(done >> 20),
                 static_cast<unsigned long long>(size >> 20), rate / 1e6, left);
  };
  const calendo::rescue::RescueReport report =
      calendo::rescue::rescue_sources(sources, *folder, progress, g_stop);
  if (show) std::fprintf(stderr, "\n");

  const std::string text =
      json ? calendo::rescue::report_json(report) : calendo::rescue::report_table(report);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (report.stopped) return 130;
  return report.problems.empty() ? 0 : 1;
}
