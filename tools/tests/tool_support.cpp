#include "tool_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/memory.h"
#include "tesmor.h"

namespace tooltest {
namespace {

constexpr size_t kSpCodes = 1360;
constexpr size_t kVqrLpCodes = 2046;
constexpr size_t kVqmLpCodes = 2040;

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string WavHeader(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t data_length,
                      uint16_t format_tag = 1) {
  const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
  std::string h = "RIFF";
  PutLe(h, data_length + 36, 4);
  h += "WAVEfmt ";
  PutLe(h, 16, 4);
  PutLe(h, format_tag, 2);
  PutLe(h, channels, 2);
  PutLe(h, rate, 4);
  PutLe(h, rate * block, 4);
  PutLe(h, block, 2);
  PutLe(h, bits, 2);
  h += "data";
  PutLe(h, data_length, 4);
  return h;
}

void PutSample(std::string& out, int16_t sample, int bits) {
  if (bits == 16) {
    PutLe(out, static_cast<uint16_t>(sample), 2);
  } else {
    out += static_cast<char>(sample / 256 + 128);
  }
}

// Repeats samples in groups by `pattern` (input index of each output of a
// group), then smooths the first `keep` samples forward in place when asked.
std::vector<int16_t> Expand(const std::vector<int16_t>& x, const std::vector<int>& pattern,
                            int group_in, int groups, size_t keep, bool smooth) {
  std::vector<int16_t> y;
  for (int g = 0; g < groups; ++g) {
    for (const int k : pattern) {
      const size_t at = static_cast<size_t>(g * group_in + k);
      y.push_back(at < x.size() ? x[at] : int16_t{0});
    }
  }
  if (smooth) {
    for (size_t i = 0; i < keep; ++i) y[i] = static_cast<int16_t>(y[i] / 2 + y[i + 1] / 2);
  }
  y.resize(keep);
  return y;
}

std::vector<int16_t> Decode(const std::vector<uint8_t>& page_codes, int code_bits) {
  std::vector<uint8_t> codes = page_codes;
  int16_t* block = nullptr;
  const int32_t n =
      pb_adpcm_dec(11, code_bits, static_cast<int32_t>(codes.size()), codes.data(), &block, 0);
  if (n <= 0 || block == nullptr) throw std::runtime_error("pb_adpcm_dec refused a page");
  std::vector<int16_t> samples(block, block + n);
  platform::block_free(block);
  return samples;
}

}  // namespace

const char* ConvertProgram() {
  return CALENDO_CONVERT;
}

std::filesystem::path ConvertToFormat(const std::filesystem::path& source,
                                      const std::string& format,
                                      const std::filesystem::path& folder,
                                      const std::vector<std::string>& more) {
  std::vector<std::string> arguments = {"--format", format, "-o", folder.string()};
  arguments.insert(arguments.end(), more.begin(), more.end());
  arguments.push_back(source.string());
  const ToolRun run = RunConvert(arguments);
  EXPECT_EQ(run.status, 0) << run.err;
  return folder / (source.stem().string() + "." + format);
}

ToolRun RunConvert(const std::vector<std::string>& arguments, uint64_t file_size_limit,
                   bool child_signals_ignored) {
  testkit::TempDir capture;
  const std::string out_path = capture.file("out").string();
  const std::string err_path = capture.file("err").string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(CALENDO_CONVERT));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (file_size_limit != 0) {
      const rlimit limit{file_size_limit, file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    if (child_signals_ignored) std::signal(SIGCHLD, SIG_IGN);
    ::execv(CALENDO_CONVERT, argv.data());
    ::_exit(127);
  }
  ToolRun run;
  int status = 0;
  ::waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TestRecording MakeCodes(const std::string& modes, uint32_t seed, bool vqm) {
  std::mt19937 random(seed);
  TestRecording recording;
  recording.modes = modes;
  for (const char mode : modes) {
    const bool sp = mode == 'S';
    std::vector<uint8_t> codes(sp ? kSpCodes : vqm ? kVqmLpCodes : kVqrLpCodes);
    std::uniform_int_distribution<int> code(0, sp ? 7 : 3);
    for (uint8_t& c : codes) c = static_cast<uint8_t>(code(random));
    recording.codes.push_back(std::move(codes));
  }
  return recording;
}

void WriteVqr(const std::filesystem::path& path, const TestRecording& recording) {
  testkit::VqrFile file;
  const bool has_sp = recording.modes.find('S') != std::string::npos;
  const bool has_lp = recording.modes.find('L') != std::string::npos;
  file.header.file_mode = has_sp && has_lp ? 2 : has_lp ? 1 : 0;
  for (size_t p = 0; p < recording.modes.size(); ++p) {
    file.pages.push_back(recording.modes[p] == 'S' ? testkit::vqr_sp_page(recording.codes[p])
                                                   : testkit::vqr_lp_page(recording.codes[p]));
  }
  file.write(path);
}

void WriteVqm(const std::filesystem::path& path, const TestRecording& recording) {
  testkit::VqmFile file;
  file.mode = recording.modes.find('S') != std::string::npos ? 5 : 0;
  for (size_t p = 0; p < recording.modes.size(); ++p) {
    const testkit::Bytes packed =
        testkit::pack_codes(recording.codes[p], recording.modes[p] == 'S' ? 3 : 2);
    file.audio.insert(file.audio.end(), packed.begin(), packed.end());
  }
  if (recording.modes.size() > 1) file.gaps.push_back({600, 77});
  file.write(path);
}

std::string ReferenceWav(const TestRecording& recording, bool vqm, int bits) {
  const bool has_sp = recording.modes.find('S') != std::string::npos;
  const bool has_lp = recording.modes.find('L') != std::string::npos;
  const bool mixed = has_sp && has_lp;
  int16_t* unused = nullptr;
  uint8_t reset_codes[1] = {0};
  pb_adpcm_dec(0, 0, 0, reset_codes, &unused, 1);

  std::string samples;
  for (size_t p = 0; p < recording.modes.size(); ++p) {
    const bool sp = recording.modes[p] == 'S';
    std::vector<int16_t> x = Decode(recording.codes[p], sp ? 3 : 2);
    if (!sp && !vqm) {
      x = mixed ? Expand(x, {0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6}, 7, 293, 3215, true)
                : Expand(x, {0, 0, 1, 2, 3, 4, 5, 6}, 7, 293, 2338, true);
    } else if (!sp) {
      x = mixed ? Expand(x, {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7}, 8, 256, 2816, false)
                : Expand(x, {0, 1, 2, 3, 4, 5, 6, 7}, 8, 256, 2048, false);
    }
    for (const int16_t s : x) PutSample(samples, s, bits);
  }
  const uint32_t rate = has_sp ? 11025 : 8000;
  return WavHeader(rate, 1, static_cast<uint16_t>(bits), static_cast<uint32_t>(samples.size())) +
         samples;
}

void WriteWav(const std::filesystem::path& path, uint32_t rate, uint16_t channels, uint16_t bits,
              const std::vector<int16_t>& samples, uint16_t format_tag) {
  std::string data;
  for (const int16_t s : samples) PutSample(data, s, bits);
  std::ofstream(path, std::ios::binary)
      << WavHeader(rate, channels, bits, static_cast<uint32_t>(data.size()), format_tag) << data;
}

}  // namespace tooltest
