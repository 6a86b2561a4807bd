#include "run_summary.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

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

uint32_t Le(const unsigned char* bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

std::string SummaryLine(const RunTally& tally, double wall_seconds) {
  std::string line = std::to_string(tally.converted) + " converted, " +
                     std::to_string(tally.failed) + " failed, " + std::to_string(tally.skipped) +
                     " skipped; " + AudioAmount(tally.audio_seconds) + " of audio in " +
                     Format(wall_seconds < 10 ? "%.1f s" : "%.0f s", wall_seconds);
  if (tally.audio_seconds > 0 && wall_seconds > 0) {
    line += Format(" (%.0f\u00d7 real time)", tally.audio_seconds / wall_seconds);
  }
  return line;
}

double WavSeconds(const std::string& path) {
  unsigned char header[44];
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
  const uint32_t rate = Le(header + 24, 4);
  const uint32_t block = Le(header + 32, 2);
  const uint32_t data = Le(header + 40, 4);
  if (rate == 0 || block == 0) return 0;
  return static_cast<double>(data / block) / rate;
}

}  // namespace calendo::tool
