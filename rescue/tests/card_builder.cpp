#include "card_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "calendo/vqr_format.h"
#include "kestrune.h"
#include "testing/recorder_writer.h"

namespace rescue_test {
namespace {

Bytes read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_wav(const std::filesystem::path& path, const std::vector<int16_t>& samples,
               uint32_t rate) {
  Bytes b(44 + samples.size() * 2);
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const auto put16 = [&](size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::copy_n("RIFF", 4, b.begin());
  put32(4, static_cast<uint32_t>(b.size() - 8));
  std::copy_n("WAVEfmt ", 8, b.begin() + 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, rate);
  put32(28, rate * 2);
  put16(32, 2);
  put16(34, 16);
  std::copy_n("data", 4, b.begin() + 36);
  put32(40, static_cast<uint32_t>(samples.size() * 2));
  for (size_t i = 0; i < samples.size(); ++i) put16(44 + 2 * i, static_cast<uint16_t>(samples[i]));
  testkit::write_file(path, b);
}

}  // namespace

Bytes speech_recording(const std::filesystem::path& work, double seconds, int voice, bool lp) {
  const uint32_t rate = lp ? 8000 : 11025;
  std::mt19937 random(static_cast<uint32_t>(voice * 7919 + 17));
  std::normal_distribution<double> noise(0.0, 1.0);
  const double f0 = 90.0 + 17.0 * (voice % 9);
  const double syllables = 3.0 + 0.37 * (voice % 7);
  const double level = 4000.0 + 900.0 * (voice % 5);
  const double formant = 500.0 + 110.0 * (voice % 6);
  std::vector<int16_t> samples(static_cast<size_t>(seconds * rate));
  double phase = 0;
  for (size_t n = 0; n < samples.size(); ++n) {
    const double t = static_cast<double>(n) / rate;
    const double pitch = f0 * (1.0 + 0.08 * std::sin(2 * M_PI * 0.7 * t + voice));
    phase += 2 * M_PI * pitch / rate;
    double v = 0;
    for (int k = 1; k <= 12; ++k) {
      const double f = k * pitch;
      const double weight = 1.0 / k + 1.5 * std::exp(-std::pow((f - formant) / 200.0, 2)) +
                            0.8 * std::exp(-std::pow((f - 2.4 * formant) / 300.0, 2));
      v += weight * std::sin(k * phase);
    }
    const double envelope = std::pow(std::max(0.0, std::sin(M_PI * syllables * t + voice)), 1.5);
    samples[n] = static_cast<int16_t>(
        std::clamp(level * envelope * v / 3.0 + 60.0 * noise(random), -32000.0, 32000.0));
  }
  const auto wav = work / ("voice" + std::to_string(voice) + ".wav");
  const auto vqr = work / ("voice" + std::to_string(voice) + ".vqr");
  write_wav(wav, samples, rate);
  const uint32_t size = wav_vqr_check(wav.c_str());
  if (size < calendo::kVqrHeaderSize) throw std::runtime_error("wav_vqr_check refused the signal");
  if (wav_vqr_mkheader(wav.c_str(), vqr.c_str(), size) != 0 ||
      wav_vqr_encoder(wav.c_str(), vqr.c_str(), 0, (size - 92) / 528) != 0)
    throw std::runtime_error("the encoder failed");
  return read_all(vqr);
}

bool have_tools() {
  return std::system(
             "command -v mkfs.fat >/dev/null && command -v mcopy >/dev/null && "
             "command -v mdel >/dev/null") == 0;
}

void run(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + command);
}

FatImage::FatImage(std::filesystem::path path, int megabytes, int bits, int cluster_sectors)
    : path_(std::move(path)), bits_(bits), cluster_sectors_(cluster_sectors) {
  std::filesystem::remove(path_);
  run("truncate -s " + std::to_string(megabytes) + "M '" + path_.string() + "'");
  format();
}

void FatImage::copy_in(const std::filesystem::path& file, const std::string& name) const {
  run("mcopy -o -i '" + path_.string() + "' '" + file.string() + "' ::" + name);
}

void FatImage::remove(const std::string& name) const {
  run("mdel -i '" + path_.string() + "' ::" + name);
}

void FatImage::format() const {
  run("mkfs.fat -F " + std::to_string(bits_) + " -s " + std::to_string(cluster_sectors_) +
      " -i 12345678 '" + path_.string() + "'");
}

Figures measure(const std::vector<Bytes>& originals, const std::filesystem::path& out) {
  Figures f;
  f.recordings = static_cast<int>(originals.size());
  // Every page of an original by its bytes; pages two originals share are left out.
  std::map<Bytes, std::pair<int, uint64_t>> where;
  std::set<Bytes> shared;
  for (int r = 0; r < f.recordings; ++r) {
    const Bytes& o = originals[r];
    for (uint64_t at = 92, k = 0; at + 528 <= o.size(); at += 528, ++k) {
      Bytes page(o.begin() + static_cast<long>(at), o.begin() + static_cast<long>(at + 528));
      if (!where.emplace(page, std::pair{r, k}).second) shared.insert(page);
      ++f.pages;
    }
  }
  std::vector<Bytes> outputs;
  for (const auto& e : std::filesystem::recursive_directory_iterator(out))
    if (e.is_regular_file()) outputs.push_back(read_all(e.path()));
  std::vector<bool> exact(originals.size());
  std::set<std::pair<int, uint64_t>> in_order;
  for (const Bytes& o : outputs) {
    for (size_t r = 0; r < originals.size(); ++r)
      if (o == originals[r]) exact[r] = true;
    int recording = -1;
    int64_t last = -1;
    bool any = false;
    bool false_join = false;
    std::vector<std::pair<int, uint64_t>> run;
    for (uint64_t at = 92; at + 528 <= o.size(); at += 528) {
      const Bytes page(o.begin() + static_cast<long>(at), o.begin() + static_cast<long>(at + 528));
      const auto w = where.find(page);
      if (w == where.end() || shared.count(page)) continue;
      any = true;
      if (recording >= 0 &&
          (w->second.first != recording || static_cast<int64_t>(w->second.second) <= last))
        false_join = true;
      recording = w->second.first;
      last = static_cast<int64_t>(w->second.second);
      run.push_back(w->second);
    }
    if (!any && o.size() > 92 && o.size() % 528 == 92 % 528) ++f.spurious;
    if (false_join)
      ++f.false_joins;
    else
      in_order.insert(run.begin(), run.end());
  }
  for (bool e : exact) f.exact += e;
  f.pages_in_order = in_order.size() + shared.size();
  if (f.pages_in_order > f.pages) f.pages_in_order = f.pages;
  return f;
}

std::string describe(const std::string& state, const Figures& f) {
  char line[256];
  std::snprintf(
      line, sizeof line, "%-22s exact %d/%d, pages in order %.1f %%, false joins %d, spurious %d",
      state.c_str(), f.exact, f.recordings,
      f.pages ? 100.0 * static_cast<double>(f.pages_in_order) / static_cast<double>(f.pages) : 0.0,
      f.false_joins, f.spurious);
  return line;
}

}  // namespace rescue_test
