// One hour of SP pages (29,300 pages of 1360 3-bit codes) through the playback
// decode (pb_adpcm_dec, a block per page) and the conversion decode (AdpcmDecx,
// appended to a WAV file in a temporary folder), against the codec alone.
//
// Counters: pages_per_s of the export, codec_pages_per_s of the codec alone on
// the same pages, and overhead_vs_codec = (export time - codec time) / codec
// time: the work outside the codec (blocks, copies, opening, writing and
// closing files) measured against the codec's own. Target: below 0.20.
// BM_FileAppendFloor does only what AdpcmDecx must do with the file for each
// page (open, append 2720 bytes, close; or only append, to a file kept open)
// beside the same codec runs, and reports floor_vs_codec = that time / codec
// time: the part of AdpcmDecx's overhead that is the kernel's, not the
// library's.
// Run: build/bench/decoder_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "calendo/adpcm.h"
#include "platform/memory.h"
#include "tesmor.h"
#include "testing/temp_dir.h"

namespace {

constexpr int kPages = 29300;
constexpr int kCodes = 1360;
constexpr int kDistinctPages = 64;

// Codes of a few speech-like pages, made by encoding a wandering tone.
const std::vector<std::vector<uint8_t>>& sp_pages() {
  static const auto pages = [] {
    std::vector<std::vector<uint8_t>> out(kDistinctPages, std::vector<uint8_t>(kCodes));
    calendo::Adpcm encoder;
    encoder.adpcm_reset_state();
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

struct HourTimes {
  double pages = 0;  // pages run, over every iteration
  double entry = 0;  // CPU seconds in the entry
  double codec = 0;  // CPU seconds in the bench's own codec
};

// Runs the hour page by page through `entry`, and each page also through a
// codec of the bench's own, right before, so that both see the same machine
// (it is shared, and its speed drifts). The bench's timing covers both.
template <typename Entry>
HourTimes run_hour_against_codec(benchmark::State& state, Entry entry) {
  const auto& pages = sp_pages();
  std::vector<uint8_t> codes(kCodes);
  std::vector<int16_t> out(kCodes);
  calendo::Adpcm decoder;
  HourTimes times;
  for (auto _ : state) {
    decoder.adpcm_reset_state();
    for (int p = 0; p < kPages; ++p) {
      const auto& page = pages[p % kDistinctPages];
      const double t0 = cpu_now();
      decoder.decode(page.data(), kCodes, 3, out.data());
      benchmark::DoNotOptimize(out.data());
      codes = page;  // the caller's code buffer, as the page reader fills it
      const double t1 = cpu_now();
      if (!entry(p, codes.data())) {
        state.SkipWithError("decode call failed");
        return times;
      }
      times.entry += cpu_now() - t1;
      times.codec += t1 - t0;
    }
    times.pages += kPages;
  }
  return times;
}

// An export that decodes: its speed, and its time beyond the codec's.
void report_export(benchmark::State& state, const HourTimes& times) {
  if (times.pages == 0) return;
  state.counters["pages_per_s"] = times.pages / times.entry;
  state.counters["codec_pages_per_s"] = times.pages / times.codec;
  state.counters["overhead_vs_codec"] = (times.entry - times.codec) / times.codec;
}

void BM_Codec_SpHour(benchmark::State& state) {
  const auto& pages = sp_pages();
  std::vector<int16_t> out(kCodes);
  calendo::Adpcm decoder;
  double total = 0;
  for (auto _ : state) {
    const double start = cpu_now();
    decoder.adpcm_reset_state();
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
  report_export(
      state, run_hour_against_codec(state, [](int, uint8_t* codes) {
        int16_t* block = nullptr;
        if (pb_adpcm_dec(11, 3, kCodes, codes, &block, 0) != kCodes) return false;
        platform::block_free(block);  // what the wave output does once it took a block over
        return true;
      }));
}

void BM_AdpcmDecx_SpHourToWav(benchmark::State& state) {
  const testkit::TempDir folder;
  const std::string wav = folder.file("hour.wav").string();
  report_export(state, run_hour_against_codec(state, [&wav](int page, uint8_t* codes) {
                  if (page == 0) {
                    uint8_t header[44];
                    AdpcmDecHeader(wav.c_str(), 2, 11, 7, 3, 2, kPages, 0, header);
                    uint8_t flag = 0;
                    AdpcmDecx(wav.c_str(), &flag, 0, 0, 0, 0, 1);
                  }
                  return AdpcmDecx(wav.c_str(), codes, 11, 3, kCodes, 2, 0) == kCodes;
                }));
}

// Argument 0: the file opened and closed for each page, as AdpcmDecx does;
// 1: opened once and only written per page, the least any design that stores
// each page before its call returns could cost.
void BM_FileAppendFloor_SpHour(benchmark::State& state) {
  const testkit::TempDir folder;
  const std::string wav = folder.file("hour.wav").string();
  const bool kept_open = state.range(0) == 1;
  static const std::vector<uint8_t> samples(kCodes * 2, 0x5a);
  int kept = -1;
  const HourTimes times = run_hour_against_codec(state, [&](int page, uint8_t*) {
    if (page == 0) {
      if (kept >= 0) ::close(kept);
      ::unlink(wav.c_str());
      kept = -1;
    }
    const int fd =
        kept >= 0 ? kept : ::open(wav.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written =
        ::write(fd, samples.data(), samples.size()) == static_cast<ssize_t>(samples.size());
    if (kept_open) {
      kept = fd;
      return written;
    }
    return ::close(fd) == 0 && written;
  });
  if (kept >= 0) ::close(kept);
  if (times.pages > 0) state.counters["floor_vs_codec"] = times.entry / times.codec;
}

}  // namespace

BENCHMARK(BM_Codec_SpHour)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PbAdpcmDec_SpHour)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AdpcmDecx_SpHourToWav)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FileAppendFloor_SpHour)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
