// Cost of one WavAddPlayData call: the caller's side only checks the block
// and posts it; the worker plays it on the null device meanwhile.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <vector>

#include "sondrel.h"
#include "waveout_support.h"

namespace {

void BM_WavAddPlayData(benchmark::State& state) {
  ::setenv("CALENDO_AUDIO", "null", 1);
  ::setenv("CALENDO_AUDIO_SPEED", "0", 1);
  const auto block_bytes = static_cast<std::size_t>(state.range(0));
  constexpr int kBatch = 1000;
  if (WavCreate() != 1) {
    state.SkipWithError("WavCreate failed");
    return;
  }
  void* header = waveout_bench::header_block(0xFFFFFFF0u, 9956);
  WavAddPlayData(&header, 10000);
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (void*& block : blocks) block = platform::block_alloc(block_bytes);
    const auto start = std::chrono::steady_clock::now();
    for (void*& block : blocks) {
      benchmark::DoNotOptimize(WavAddPlayData(&block, static_cast<uint32_t>(block_bytes)));
    }
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    waveout_bench::pump();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  WavDestroy();
  waveout_bench::pump();
  ::unsetenv("CALENDO_AUDIO");
  ::unsetenv("CALENDO_AUDIO_SPEED");
}
// Per iteration: a batch of 1000 calls; items/s gives calls per second.
BENCHMARK(BM_WavAddPlayData)->Arg(64)->Arg(9678)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
