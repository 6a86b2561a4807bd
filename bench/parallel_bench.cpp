// Decoding one long stream: our serial decoder, the parallel decoder on
// threads alone, in vector lanes on one core and in lanes on every core,
// against spandsp's and libavcodec's G.726 decoders in the same process, on
// the same code words (10 minutes of the speech-like signal at 8000 Hz,
// encoded at each width). Each row gives samples per second of wall time and
// of CPU time (the whole process's, so that every thread counts), and the
// share of its samples equal to spandsp's, which must be 100 % for ours.
// Shift2 output (SR << 2) is the linear form spandsp and libavcodec give.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/parallel_decoder.h"
#include "test_signal.h"

#if CALENDO_BENCH_SPANDSP
#include <spandsp.h>
#endif
#if CALENDO_BENCH_LIBAVCODEC
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}
#endif

namespace {

constexpr std::size_t kCodes = 8000 * 600;

const std::vector<uint8_t>& codes_for(int bits) {
  static std::map<int, std::vector<uint8_t>> made;
  std::vector<uint8_t>& codes = made[bits];
  if (codes.empty()) {
    const std::vector<int16_t> signal = codec_test::speech_like(kCodes, 0);
    calendo::Adpcm encoder;
    encoder.adpcm_reset_state();
    codes.resize(kCodes);
    encoder.encode(signal.data(), kCodes, bits, codes.data());
  }
  return codes;
}

double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A whole-stream decoder under test: decodes codes_for(bits) into `out`.
using Decode = std::function<void(int bits, std::vector<int16_t>& out)>;

std::map<int, std::vector<int16_t>>& reference_samples() {
  static std::map<int, std::vector<int16_t>> samples;
  return samples;
}

double equal_share(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  std::size_t equal = 0;
  for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) equal += a[k] == b[k];
  return 100.0 * static_cast<double>(equal) / static_cast<double>(std::max(a.size(), b.size()));
}

void run(benchmark::State& state, const Decode& decode) {
  const int bits = static_cast<int>(state.range(0));
  std::vector<int16_t> out(kCodes);
  decode(bits, out);  // warms the caches and builds the stream outside the timing
  const double cpu0 = process_cpu_seconds();
  for (auto _ : state) {
    decode(bits, out);
    benchmark::DoNotOptimize(out.data());
  }
  const double cpu = process_cpu_seconds() - cpu0;
  const double samples = static_cast<double>(state.iterations()) * kCodes;
  state.SetItemsProcessed(static_cast<int64_t>(samples));
  state.counters["cpu_Msamples_per_s"] = samples / cpu * 1e-6;
  const auto ref = reference_samples().find(bits);
  if (ref != reference_samples().end())
    state.counters["equal_to_spandsp_pct"] = equal_share(out, ref->second);
}

void BM_Serial(benchmark::State& state) {
  run(state, [](int bits, std::vector<int16_t>& out) {
    calendo::Adpcm codec(calendo::OutputStage::Shift2);
    codec.adpcm_reset_state();
    codec.decode(codes_for(bits).data(), kCodes, bits, out.data());
  });
}

void parallel(benchmark::State& state, unsigned threads, calendo::ParallelOptions::Kernel kernel) {
  calendo::ParallelOptions options;
  options.kernel = kernel;
  calendo::ParallelDecoder decoder(threads, options);
  calendo::ParallelStats stats;
  run(state, [&](int bits, std::vector<int16_t>& out) {
    const std::vector<uint8_t>& codes = codes_for(bits);
    const calendo::WidthRun runs[] = {{codes.size(), bits}};
    decoder.decode(calendo::reset_state(), {codes, runs, {}, calendo::OutputStage::Shift2}, out);
    stats = decoder.last_stats();
  });
  state.counters["threads"] = decoder.threads();
  state.counters["chunks"] = static_cast<double>(stats.chunks);
  state.counters["mismatches"] = static_cast<double>(stats.mismatches);
}

void BM_Threads(benchmark::State& state) {
  parallel(state, 0, calendo::ParallelOptions::Kernel::Streams);
}
void BM_LanesOneCore(benchmark::State& state) {
  parallel(state, 1, calendo::ParallelOptions::Kernel::Lanes);
}
void BM_Lanes(benchmark::State& state) {
  parallel(state, 0, calendo::ParallelOptions::Kernel::Lanes);
}

BENCHMARK(BM_Serial)->ArgName("bits")->DenseRange(2, 4)->UseRealTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Threads)
    ->ArgName("bits")
    ->DenseRange(2, 4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LanesOneCore)
    ->ArgName("bits")
    ->DenseRange(2, 4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lanes)->ArgName("bits")->DenseRange(2, 4)->UseRealTime()->Unit(
    benchmark::kMillisecond);

#if CALENDO_BENCH_SPANDSP
void spandsp_decode(int bits, std::vector<int16_t>& out) {
  g726_state_t* s = g726_init(nullptr, 8000 * bits, G726_ENCODING_LINEAR, G726_PACKING_NONE);
  const std::vector<uint8_t>& codes = codes_for(bits);
  g726_decode(s, out.data(), codes.data(), static_cast<int>(codes.size()));
  g726_free(s);
}

void BM_Spandsp(benchmark::State& state) {
  run(state, spandsp_decode);
}
BENCHMARK(BM_Spandsp)
    ->ArgName("bits")
    ->DenseRange(2, 4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
#endif

#if CALENDO_BENCH_LIBAVCODEC
// The codes packed least significant bit first, as g726le reads them.
std::vector<uint8_t> packed_le(const std::vector<uint8_t>& codes, int bits) {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int held = 0;
  for (const uint8_t c : codes) {
    acc |= static_cast<uint32_t>(c) << held;
    held += bits;
    while (held >= 8) {
      bytes.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      held -= 8;
    }
  }
  return bytes;
}

void libavcodec_decode(int bits, std::vector<int16_t>& out) {
  static std::map<int, std::vector<uint8_t>> packed;
  std::vector<uint8_t>& bytes = packed[bits];
  if (bytes.empty()) bytes = packed_le(codes_for(bits), bits);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_G726LE);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->sample_rate = 8000;
  av_channel_layout_default(&ctx->ch_layout, 1);
  ctx->bits_per_coded_sample = bits;
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::size_t written = 0;
  constexpr std::size_t kPacket = 3 * 1024;  // whole codes at every width
  for (std::size_t at = 0; at < bytes.size(); at += kPacket) {
    packet->data = bytes.data() + at;
    packet->size = static_cast<int>(std::min(kPacket, bytes.size() - at));
    if (avcodec_send_packet(ctx, packet) < 0) break;
    while (avcodec_receive_frame(ctx, frame) == 0) {
      const auto n =
          std::min<std::size_t>(static_cast<std::size_t>(frame->nb_samples), out.size() - written);
      std::copy_n(reinterpret_cast<const int16_t*>(frame->data[0]), n, out.data() + written);
      written += n;
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&ctx);
}

void BM_Libavcodec(benchmark::State& state) {
  run(state, libavcodec_decode);
}
BENCHMARK(BM_Libavcodec)
    ->ArgName("bits")
    ->DenseRange(2, 4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#if CALENDO_BENCH_SPANDSP
  for (int bits = 2; bits <= 4; ++bits) {
    std::vector<int16_t>& ref = reference_samples()[bits];
    ref.resize(kCodes);
    spandsp_decode(bits, ref);
  }
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
