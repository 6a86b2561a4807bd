#include "overview_formats.h"

#include <cstdio>

namespace calendo::tool {
namespace {

constexpr int32_t kDatVersion = 2;

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

double SecondsOf(uint64_t samples, uint32_t rate) {
  return rate == 0 ? 0.0 : static_cast<double>(samples) / rate;
}

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// WebVTT's time: hh:mm:ss.ttt.
std::string VttTime(double seconds) {
  const auto ms = static_cast<uint64_t>(seconds * 1000.0 + 0.5);
  char text[40];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu.%03llu",
                static_cast<unsigned long long>(ms / 3600000),
                static_cast<unsigned long long>(ms / 60000 % 60),
                static_cast<unsigned long long>(ms / 1000 % 60),
                static_cast<unsigned long long>(ms % 1000));
  return text;
}

}  // namespace

std::string WaveformDat(const WaveformPeaks& peaks) {
  std::string out;
  out.reserve(24 + 4 * peaks.size());
  PutLe(out, kDatVersion, 4);
  PutLe(out, 0, 4);  // flags: 16-bit values
  PutLe(out, peaks.sample_rate, 4);
  PutLe(out, peaks.samples_per_peak, 4);
  PutLe(out, static_cast<uint32_t>(peaks.size()), 4);
  PutLe(out, 1, 4);  // channels
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    PutLe(out, static_cast<uint16_t>(peaks.mins[i]), 2);
    PutLe(out, static_cast<uint16_t>(peaks.maxs[i]), 2);
  }
  return out;
}

std::string WaveformJson(const WaveformPeaks& peaks) {
  std::string out =
      "{\"version\":2,\"channels\":1,\"sample_rate\":" + std::to_string(peaks.sample_rate) +
      ",\"samples_per_pixel\":" + std::to_string(peaks.samples_per_peak) +
      ",\"bits\":16,\"length\":" + std::to_string(peaks.size()) + ",\"data\":[";
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    if (i > 0) out += ',';
    out += std::to_string(peaks.mins[i]);
    out += ',';
    out += std::to_string(peaks.maxs[i]);
  }
  return out + "]}\n";
}

std::string SpeechLines(const std::vector<SampleStretch>& speech, uint32_t sample_rate) {
  std::string out;
  for (const SampleStretch& s : speech) {
    out += Decimal(SecondsOf(s.begin, sample_rate)) + " " + Decimal(SecondsOf(s.end, sample_rate)) +
           "\n";
  }
  return out;
}

std::string SpeechJson(const std::vector<SampleStretch>& speech, uint32_t sample_rate) {
  std::string out = "[";
  for (std::size_t i = 0; i < speech.size(); ++i) {
    out += i == 0 ? "\n  " : ",\n  ";
    out += "{\"start\": " + Decimal(SecondsOf(speech[i].begin, sample_rate)) +
           ", \"end\": " + Decimal(SecondsOf(speech[i].end, sample_rate)) + "}";
  }
  return out + (speech.empty() ? "]\n" : "\n]\n");
}

std::string SpeechVtt(const std::vector<SampleStretch>& speech, uint32_t sample_rate) {
  std::string out = "WEBVTT\n";
  for (std::size_t i = 0; i < speech.size(); ++i) {
    out += "\n" + std::to_string(i + 1) + "\n" + VttTime(SecondsOf(speech[i].begin, sample_rate)) +
           " --> " + VttTime(SecondsOf(speech[i].end, sample_rate)) + "\n";
  }
  return out;
}

}  // namespace calendo::tool
