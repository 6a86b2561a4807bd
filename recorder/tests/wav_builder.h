// Builds the PCM WAV files that the tests of the recorder-file maker feed it,
// including damaged ones: every header field can be set on its own.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "testing/recorder_writer.h"

namespace wavtest {

using testkit::Bytes;

struct WavFile {
  std::string wave = "WAVE";
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 11025;
  uint16_t bits = 16;
  Bytes before_data;                    // chunks between "fmt " and "data"
  Bytes samples;                        // the data chunk's bytes
  std::optional<uint32_t> data_length;  // default: samples.size()
  Bytes after_data;                     // chunks after the data chunk

  Bytes bytes() const {
    Bytes b;
    auto put = [&b](uint32_t v, int n) {
      for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto tag = [&b](const std::string& t) { b.insert(b.end(), t.begin(), t.end()); };
    tag("RIFF");
    put(static_cast<uint32_t>(36 + before_data.size() + samples.size() + after_data.size()), 4);
    tag(wave);
    tag("fmt ");
    put(16, 4);
    put(format, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * bits / 8, 4);
    put(static_cast<uint32_t>(channels * bits / 8), 2);
    put(bits, 2);
    b.insert(b.end(), before_data.begin(), before_data.end());
    tag("data");
    put(data_length.value_or(static_cast<uint32_t>(samples.size())), 4);
    b.insert(b.end(), samples.begin(), samples.end());
    b.insert(b.end(), after_data.begin(), after_data.end());
    return b;
  }

  std::string write(const std::filesystem::path& path) const {
    testkit::write_file(path, bytes());
    return path.string();
  }
};

inline Bytes pcm16(std::span<const int16_t> samples) {
  Bytes b;
  for (int16_t s : samples) {
    b.push_back(static_cast<uint8_t>(s));
    b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return b;
}

inline WavFile wav16(uint32_t rate, std::span<const int16_t> samples) {
  WavFile w;
  w.rate = rate;
  w.samples = pcm16(samples);
  return w;
}

inline WavFile wav8(uint32_t rate, Bytes samples) {
  WavFile w;
  w.rate = rate;
  w.bits = 8;
  w.samples = std::move(samples);
  return w;
}

inline Bytes read_file(const std::filesystem::path& path) {
  Bytes b(std::filesystem::file_size(path));
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  const size_t got = std::fread(b.data(), 1, b.size(), f);
  std::fclose(f);
  b.resize(got);
  return b;
}

// A deterministic, speech-free test signal: a slow sweep with some noise.
inline std::vector<int16_t> test_signal(size_t count, uint32_t seed = 1) {
  std::vector<int16_t> s(count);
  uint32_t x = seed;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1664525u + 1013904223u;
    const double t = static_cast<double>(i);
    const double tone = 9000.0 * std::sin(t * (0.05 + t * 1e-6));
    s[i] = static_cast<int16_t>(tone + static_cast<int32_t>(x >> 20) - 2048);
  }
  return s;
}

}  // namespace wavtest
