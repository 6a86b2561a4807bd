// Support for the tests of calendo-convert: running the program, making
// recorder and WAV files, and the reference WAV file of a recorder file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/recorder_writer.h"

namespace tooltest {

struct ToolRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs calendo-convert with `arguments` (standard input empty, output captured).
// A `file_size_limit` other than 0 is set as the child's RLIMIT_FSIZE, in
// bytes, as `ulimit -f` does: a full disk for every file it writes (keep it
// above the few hundred bytes of its messages). With `child_signals_ignored`
// it starts with SIGCHLD ignored, as some shells and services start programs.
ToolRun RunConvert(const std::vector<std::string>& arguments, uint64_t file_size_limit = 0,
                   bool child_signals_ignored = false);

// Runs calendo-convert --format FORMAT -o FOLDER, then `more`, on `source`,
// expecting success; returns the file it names FOLDER/<source's stem>.FORMAT.
std::filesystem::path ConvertToFormat(const std::filesystem::path& source,
                                      const std::string& format,
                                      const std::filesystem::path& folder,
                                      const std::vector<std::string>& more = {});

// The path of the program, for tests that start it themselves.
const char* ConvertProgram();

std::string ReadFile(const std::filesystem::path& path);

// Page modes of a recorder file the tests make: 'S' SP, 'L' LP.
// The codes are drawn from `seed`; the pages keep them for the reference.
struct TestRecording {
  std::string modes;
  std::vector<std::vector<uint8_t>> codes;  // per page
};
TestRecording MakeCodes(const std::string& modes, uint32_t seed, bool vqm = false);

// A vqr file of the default descriptors (SP 11 kHz 3-bit, LP 7 kHz 2-bit).
void WriteVqr(const std::filesystem::path& path, const TestRecording& recording);
// A vqm file, all pages SP (mode 5) or all LP, its audio broken by a gap.
void WriteVqm(const std::filesystem::path& path, const TestRecording& recording);

// The WAV file of a conversion of `recording`, built from tesmor's decoder
// (pb_adpcm_dec at rate code 11: the samples as decoded), with this file's
// own rate expansion and header. `vqm`: the vqm descriptors (SP 11 kHz 3-bit,
// LP 8 kHz 2-bit 510 bytes), else the vqr ones.
std::string ReferenceWav(const TestRecording& recording, bool vqm, int bits);

// A canonical 44-byte-header PCM WAV file.
void WriteWav(const std::filesystem::path& path, uint32_t rate, uint16_t channels, uint16_t bits,
              const std::vector<int16_t>& samples, uint16_t format_tag = 1);

}  // namespace tooltest
