// Feeds arbitrary bytes, as a WAV file, to calendo-convert's preparation of
// --encode's input: the check of what the encoder takes as it is, and the
// mixing, resampling and scaling of anything else into a work file. Traps
// when a work file is not mono 16-bit PCM at the recorder's rate in a plain
// header, or is left behind.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "libraries.h"
#include "pcm_source.h"
#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

uint32_t le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

struct Scratch {
  std::string input;  // the WAV file (a memfd)
  fs::path folder;    // where the work file goes
  int fd = -1;
};

const Scratch& scratch() {
  static const Scratch s = [] {
    calendo::tool::UseLibrariesBesideProgram();
    Scratch made;
    made.fd = memfd_create("convert_wav_input", MFD_CLOEXEC);
    if (made.fd < 0) __builtin_trap();
    made.input = "/proc/self/fd/" + std::to_string(made.fd);
    static const testkit::TempDir folder;
    made.folder = folder.path();
    return made;
  }();
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Scratch& s = scratch();
  const bool lp = (data[0] & 1) != 0;
  if (ftruncate(s.fd, 0) != 0 || pwrite(s.fd, data + 1, size - 1, 0) != ssize_t(size - 1))
    __builtin_trap();

  {
    const auto prepared =
        calendo::tool::PrepareEncoderInput(s.input, lp, (s.folder / "out.vqr").string());
    if (prepared.ok() && prepared->temporary) {
      std::ifstream in(prepared->path, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      check(bytes.size() >= 44);
      check(bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 8, "WAVEfmt ") == 0);
      check(le32(bytes, 4) == bytes.size() - 8);
      check(bytes.compare(36, 4, "data") == 0 && le32(bytes, 40) == bytes.size() - 44);
      const uint32_t rate = le32(bytes, 24);
      check(rate == (lp ? 8000u : 11025u) || (!lp && rate == 8000u));
      check(le32(bytes, 20) == (1u | 1u << 16));  // PCM, mono
      check((le32(bytes, 32) >> 16) == 16);       // 16 bits
    } else if (prepared.ok()) {
      check(prepared->path == s.input);  // taken as it is
    } else {
      check(!prepared.fault().message.empty());
    }
  }
  check(fs::is_empty(s.folder));  // the work file went with the input prepared
  return 0;
}
