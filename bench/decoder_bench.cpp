// One hour of SP pages (29,300 pages of 1360 3-bit codes) through the playback
// decode (pb_adpcm_dec, a block per page) and the conversion decode (AdpcmDecx,
// appended to a WAV file in a temporary folder), against the codec alone.
//
// Counters: pages_per_s of the export, codec_pages_per_s of the codec alone on
// the same pages, and overhead_vs_codec = (export time - codec time) / codec
// time: the work outside the codec (blocks, copies, opening, writing and
// closing files) measured against the codec's own. Target: below 0.20.
// Run: build/bench/decoder_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/adpcm.h"
#include "platform/memory.h"
#include "tesmor.h"

namespace {

constexpr int kPages = 29300;
constexpr int kCodes = 1360;
constexpr int kDistinctPages = 64;

// Codes of a few speech-like pages, made by encoding a wandering tone.
const std::vector<std::vector<uint8_t>>& sp_pages() {
  static const auto pages = [] {
    std::vector<std::vector<uint8_t>> out(kDistinctPages, std::vector<uint8_t>(kCodes));
    codec::Adpcm encoder;
    encoder.adpcm_reset_state(3);
    double phase = 0;
    for (int p = 0; p < kDistinctPages; ++p) {
      std::vector<int16_t> samples(kCodes);
      for (int i = 0; i < kCodes; ++i) {
        phase += 0.05 + 0.04 * std::sin(0.001 * (p * kCodes + i));
        samples[i] = static_cast<int16_t>(9000 * std::sin(phase) * std::sin(0.0007 * i + p));
      }
      encoder.encode(samples.data(), kCodes, 3, out[p].data());
    }
    return out;
  }();
  return pages;
}

// Times are the thread's CPU time (user and system, so the system calls that
// open and write files count): the machine is shared, and wall time would
// measure the other loads as well.
double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Runs the hour page by page through `entry`, and each page also through a
// codec of the bench's own, right before, so that both see the same machine
// (it is shared, and its speed drifts). The bench's timing covers both.
template <typename Entry>
void run_hour_against_codec(benchmark::State& state, Entry entry) {
  const auto& pages = sp_pages();
  std::vector<uint8_t> codes(kCodes);
  std::vector<int16_t> out(kCodes);
  codec::Adpcm decoder;
  double codec_total = 0;
  double entry_total = 0;
  for (auto _ : state) {
    decoder.adpcm_reset_state(3);
    for (int p = 0; p < kPages; ++p) {
      const auto& page = pages[p % kDistinctPages];
      const double t0 = cpu_now();
      decoder.decode(page.data(), kCodes, 3, out.data());
      benchmark::DoNotOptimize(out.data());
      codes = page;  // the caller's code buffer, as the page reader fills it
      const double t1 = cpu_now();
      if (!entry(p, codes.data())) {
        state.SkipWithError("decode call failed");
        return;
      }
      entry_total += cpu_now() - t1;
      codec_total += t1 - t0;
    }
  }
  const auto hours = static_cast<double>(state.iterations());
  state.counters["pages_per_s"] = kPages * hours / entry_total;
  state.counters["codec_pages_per_s"] = kPages * hours / codec_total;
  state.counters["overhead_vs_codec"] = (entry_total - codec_total) / codec_total;
}

void BM_Codec_SpHour(benchmark::State& state) {
  const auto& pages = sp_pages();
  std::vector<int16_t> out(kCodes);
  codec::Adpcm decoder;
  double total = 0;
  for (auto _ : state) {
    const double start = cpu_now();
    decoder.adpcm_reset_state(3);
    for (int p = 0; p < kPages; ++p) {
      decoder.decode(pages[p % kDistinctPages].data(), kCodes, 3, out.data());
      benchmark::DoNotOptimize(out.data());
    }
    total += cpu_now() - start;
  }
  state.counters["pages_per_s"] = kPages * static_cast<double>(state.iterations()) / total;
}

void BM_PbAdpcmDec_SpHour(benchmark::State& state) {
  uint8_t flag = 0;
  pb_adpcm_dec(11, 3, 0, &flag, nullptr, 1);
  run_hour_against_codec(state, [](int, uint8_t* codes) {
    int16_t* block = nullptr;
    if (pb_adpcm_dec(11, 3, kCodes, codes, &block, 0) != kCodes) return false;
    platform::block_free(block);  // what the wave output does once it took a block over
    return true;
  });
}

void BM_AdpcmDecx_SpHourToWav(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "calendo-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot create a temporary folder");
    return;
  }
  const std::string wav = folder + "/hour.wav";
  run_hour_against_codec(state, [&wav](int page, uint8_t* codes) {
    if (page == 0) {
      uint8_t header[44];
      AdpcmDecHeader(wav.c_str(), 2, 11, 7, 3, 2, kPages, 0, header);
      uint8_t flag = 0;
      AdpcmDecx(wav.c_str(), &flag, 0, 0, 0, 0, 1);
    }
    return AdpcmDecx(wav.c_str(), codes, 11, 3, kCodes, 2, 0) == kCodes;
  });
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_Codec_SpHour)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PbAdpcmDec_SpHour)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AdpcmDecx_SpHourToWav)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
