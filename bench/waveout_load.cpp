// Load measurements of the wave output engine, run by hand (they take
// minutes):
//
//   waveout_load stream SECONDS   a stream of SECONDS of 11025 Hz 16-bit sound
//                                 through the null device at real-time pace,
//                                 fed like the player feeds it; prints the CPU
//                                 time of each engine thread.
//   waveout_load flood COUNT      COUNT small blocks queued at once through a
//                                 capture file at full speed; checks that they
//                                 all played in order and were all freed.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sondrel.h"
#include "waveout_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds (user + system) of every thread of this process, by name.
std::map<std::string, double> thread_cpu() {
  std::map<std::string, double> cpu;
  const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the parenthesised name: state is field 3; utime, stime 14, 15.
    std::size_t at = line.rfind(')');
    if (at == std::string::npos) continue;
    std::vector<std::string> fields;
    std::string field;
    for (char c : line.substr(at + 2)) {
      if (c == ' ') {
        fields.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    if (fields.size() < 13) continue;
    cpu[name + " " + task.path().filename().string()] =
        (std::stod(fields[11]) + std::stod(fields[12])) / tick;
  }
  return cpu;
}

int stream(double seconds) {
  ::setenv("CALENDO_AUDIO", "null", 1);
  ::setenv("CALENDO_AUDIO_SPEED", "1", 1);
  constexpr std::size_t kBlock = 3226;  // about one decoded page
  constexpr std::uint32_t kBytesPerSecond = 22050;
  const auto total = static_cast<std::uint32_t>(seconds * kBytesPerSecond);
  if (WavCreate() != 1) return 1;
  void* header = waveout_bench::header_block(total, 9956);
  if (WavAddPlayData(&header, 10000) != 1) return 1;
  std::uint32_t given = 9956;
  std::int32_t blocks_given = 1;
  const auto start = Clock::now();
  for (;;) {
    // Keep about three bursts of three pages ahead of what has played, as the
    // player does, and poll ten times a second.
    waveout_bench::pump();
    const std::int32_t now = WavNowPlay();
    if (now == -1 && given >= total) break;
    const std::int32_t played = now >= 0 ? now : blocks_given;
    while (given < total && blocks_given - played < 9) {
      const std::size_t n = std::min<std::size_t>(kBlock, total - given);
      void* block = platform::block_alloc(n);
      if (WavAddPlayData(&block, static_cast<uint32_t>(n)) != 1) {
        platform::block_free(block);
        break;
      }
      given += static_cast<std::uint32_t>(n);
      ++blocks_given;
    }
    platform::wait_message(std::chrono::milliseconds(100));
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const auto cpu = thread_cpu();
  WavDestroy();
  std::printf("stream of %.0f s played in %.1f s wall, %d blocks\n", seconds, wall, blocks_given);
  for (const auto& [name, used] : cpu) {
    std::printf("  %-28s %7.2f s CPU  %6.3f %% of a core\n", name.c_str(), used,
                100.0 * used / wall);
  }
  return 0;
}

int flood(std::size_t count) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("waveout-flood-" + std::to_string(::getpid()) + ".wav");
  ::setenv("CALENDO_AUDIO", ("capture:" + path.string()).c_str(), 1);
  ::setenv("CALENDO_AUDIO_SPEED", "0", 1);
  constexpr std::size_t kBlock = 64;
  const std::size_t blocks_before = platform::live_block_count();
  if (WavCreate() != 1) return 1;
  const auto total = static_cast<std::uint32_t>(56 + count * kBlock);
  void* header = waveout_bench::header_block(total, 56);
  if (WavAddPlayData(&header, 100) != 1) return 1;
  const auto start = Clock::now();
  for (std::size_t i = 0; i < count; ++i) {
    auto* block = static_cast<std::uint8_t*>(platform::block_alloc(kBlock));
    for (std::size_t b = 0; b < kBlock; ++b) block[b] = static_cast<std::uint8_t>(i * 7 + b);
    void* address = block;
    if (WavAddPlayData(&address, kBlock) != 1) {
      std::printf("block %zu refused\n", i);
      return 1;
    }
  }
  const double queued = std::chrono::duration<double>(Clock::now() - start).count();
  std::int32_t highest = -1;
  while (!(std::filesystem::exists(path) && WavNowPlay() == -1)) {
    platform::wait_message(std::chrono::milliseconds(10));
    waveout_bench::pump();
    highest = std::max(highest, WavNowPlay());
  }
  const double played = std::chrono::duration<double>(Clock::now() - start).count();
  WavDestroy();

  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  bool in_order = bytes.size() == 44 + total;
  for (std::size_t i = 0; in_order && i < count; ++i) {
    for (std::size_t b = 0; b < kBlock; ++b) {
      if (bytes[44 + 56 + i * kBlock + b] != static_cast<std::uint8_t>(i * 7 + b)) {
        in_order = false;
        break;
      }
    }
  }
  const std::size_t leaked = platform::live_block_count() - blocks_before;
  std::printf("%zu blocks of %zu bytes: queued in %.3f s, all played in %.3f s\n", count, kBlock,
              queued, played);
  std::printf("  highest progress seen %d, played in order: %s, blocks left: %zu\n", highest,
              in_order ? "yes" : "NO", leaked);
  return in_order && leaked == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "stream" && argc > 2) return stream(std::stod(argv[2]));
  if (mode == "flood" && argc > 2) return flood(std::stoul(argv[2]));
  std::fprintf(stderr, "usage: %s stream SECONDS | flood COUNT\n", argv[0]);
  return 2;
}
