#include "run_summary.h"

#include <sndfile.h>

#include <cstdio>

namespace calendo::tool {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string AudioAmount(double seconds) {
  if (seconds < 60) return Format("%.1f s", seconds);
  if (seconds < 3600) return Format("%.1f min", seconds / 60);
  return Format("%.1f h", seconds / 3600);
}

}  // namespace

std::string SummaryLine(const RunTally& tally, double wall_seconds) {
  std::string line =
      std::to_string(tally.converted) + " converted, " + std::to_string(tally.failed) +
      " failed, " + (tally.damaged > 0 ? std::to_string(tally.damaged) + " damaged, " : "") +
      std::to_string(tally.skipped) + " skipped; " + AudioAmount(tally.audio_seconds) +
      " of audio in " + Format(wall_seconds < 10 ? "%.1f s" : "%.0f s", wall_seconds);
  if (tally.audio_seconds > 0 && wall_seconds > 0) {
    line += Format(" (%.0f\u00d7 real time)", tally.audio_seconds / wall_seconds);
  }
  return line;
}

double AudioSeconds(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return 0;
  sf_close(file);
  if (info.samplerate <= 0 || info.frames <= 0) return 0;
  return static_cast<double>(info.frames) / info.samplerate;
}

}  // namespace calendo::tool
