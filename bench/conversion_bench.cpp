// One hour of SP recording (29,300 pages of 1360 3-bit codes in a vqr file)
// converted to a 16-bit WAV file by the player's conversion: the reader's
// record, table and page counts, then the conversion sequence of
// calendo-client (WAV header, codec reset, per page the page read, the
// unpacking and the decode appended to the file), bound at run time like the
// player's. Files live in a temporary folder.
//
// Counters: s_per_hour, the CPU time (user and system, so the opening, reading
// and writing of files count) of one whole conversion, the best of the
// repetitions; pages_per_s from it.
//
// Run: build/bench/conversion_bench
//      build/bench/conversion_bench --write_codes=PATH   writes the hour's packed
//      codes (510 bytes a page, least significant bit first) and ends, for
//      bench/conversion_vs_ffmpeg.sh.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/client/imports.h"
#include "calendo/client/wav_conversion.h"
#include "testing/recorder_writer.h"
#include "testing/temp_dir.h"

namespace {

constexpr int kPages = 29300;
constexpr int kCodes = 1360;
constexpr int kDistinctPages = 64;

// Pages of speech-like codes, made by encoding a wandering tone.
std::vector<testkit::VqrPage> hour_pages() {
  std::vector<testkit::VqrPage> distinct;
  calendo::Adpcm encoder;
  encoder.adpcm_reset_state();
  double phase = 0;
  for (int p = 0; p < kDistinctPages; ++p) {
    std::vector<int16_t> samples(kCodes);
    std::vector<uint8_t> codes(kCodes);
    for (int i = 0; i < kCodes; ++i) {
      phase += 0.05 + 0.04 * std::sin(0.001 * (p * kCodes + i));
      samples[i] = static_cast<int16_t>(9000 * std::sin(phase) * std::sin(0.0007 * i + p));
    }
    encoder.encode(samples.data(), kCodes, 3, codes.data());
    distinct.push_back(testkit::vqr_sp_page(codes));
  }
  std::vector<testkit::VqrPage> pages;
  for (int p = 0; p < kPages; ++p) pages.push_back(distinct[p % kDistinctPages]);
  return pages;
}

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The player's conversion of the file, with the reader calls before it.
bool convert(const char* vqr, const char* wav) {
  calendo::client::RecordingToConvert recording;
  recording.path = vqr;
  recording.kind = KESTRUNE_VQR;
  recording.splp = calendo::imports::play_splpget(vqr, recording.kind);
  const uint32_t count = recording.splp.page_count;
  recording.pages = static_cast<int32_t>(count);
  std::vector<uint8_t> table(count + 1);
  if (calendo::imports::pb_splptblmk(vqr, table.data(), count, recording.kind) != 0) return false;
  calendo::imports::splp_pageno(table.data(), recording.splp.page_field, count);
  struct : calendo::client::ConversionSteps {
  } steps;
  return calendo::client::ConvertToWav(recording, wav, calendo::client::kWav16Bit, steps).end ==
         calendo::client::ConversionEnd::kDone;
}

void BM_Conversion_SpHourTo16BitWav(benchmark::State& state) {
  const testkit::TempDir folder;
  const std::string vqr = folder.file("hour.vqr").string();
  const std::string wav = folder.file("hour.wav").string();
  testkit::VqrFile file;
  file.pages = hour_pages();
  file.write(vqr);

  double best = std::numeric_limits<double>::infinity();
  for (auto _ : state) {
    const double start = cpu_now();
    if (!convert(vqr.c_str(), wav.c_str())) {
      state.SkipWithError("conversion failed");
      break;
    }
    best = std::min(best, cpu_now() - start);
  }
  const auto size = std::filesystem::file_size(wav);
  if (size != 44u + 2u * kCodes * kPages) state.SkipWithError("WAV file of the wrong size");
  state.counters["s_per_hour"] = best;
  state.counters["pages_per_s"] = kPages / best;
}

int write_codes(const char* path) {
  std::ofstream out(path, std::ios::binary);
  for (const testkit::VqrPage& page : hour_pages()) {
    out.write(reinterpret_cast<const char*>(page.bytes.data()), 510);
  }
  return out ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_Conversion_SpHourTo16BitWav)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  constexpr char kWriteCodes[] = "--write_codes=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kWriteCodes, sizeof kWriteCodes - 1) == 0) {
      return write_codes(argv[i] + sizeof kWriteCodes - 1);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
