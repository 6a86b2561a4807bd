// Feeds arbitrary bytes, as a WAV file, to the checks, the header writers and
// the encoders of libkestrune, with page layouts and start pages taken from
// the input. Traps when a result breaks their contracts: a size that is no
// header plus whole pages, a header that is not 92 bytes, an encoder that
// appends anything but whole pages, or a failed call that wrote something.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "kestrune.h"

namespace {

struct MemFile {
  int fd;
  std::string path;
};

MemFile make_file(const char* name) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) __builtin_trap();
  return {fd, "/proc/self/fd/" + std::to_string(fd)};
}

const MemFile& wav_file() {
  static const MemFile f = make_file("recorder_wav_in");
  return f;
}

const MemFile& vqr_file() {
  static const MemFile f = make_file("recorder_wav_out");
  return f;
}

void check(bool holds) {
  if (!holds) __builtin_trap();
}

void store(const MemFile& f, const uint8_t* data, size_t size) {
  if (ftruncate(f.fd, 0) != 0) __builtin_trap();
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = pwrite(f.fd, data + done, size - done, static_cast<off_t>(done));
    if (wrote <= 0) __builtin_trap();
    done += static_cast<size_t>(wrote);
  }
}

uint64_t size_of(const MemFile& f) {
  struct stat info {};
  if (fstat(f.fd, &info) != 0) __builtin_trap();
  return static_cast<uint64_t>(info.st_size);
}

bool is_size(uint32_t result) {
  return result >= KESTRUNE_VQR_HEADER && (result - KESTRUNE_VQR_HEADER) % KESTRUNE_VQR_PAGE == 0;
}

// Encodes up to `pages` pages and checks that exactly those were appended, or
// nothing on a failure.
void encode(int16_t (*run)(uint32_t start, uint32_t count), uint32_t start, uint32_t pages) {
  const uint64_t before = size_of(vqr_file());
  const int16_t result = run(start, pages);
  const uint64_t after = size_of(vqr_file());
  check(after == (result == 0 ? before + 528ull * pages : before));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  store(wav_file(), data, size);
  store(vqr_file(), nullptr, 0);
  static std::string wav, vqr;
  wav = wav_file().path;
  vqr = vqr_file().path;

  // A layout and a start page from the last bytes of the input.
  uint8_t tail[8] = {};
  std::memcpy(tail, data + (size > 8 ? size - 8 : 0), std::min<size_t>(size, 8));
  const auto code_bytes = static_cast<uint16_t>(tail[0] | (tail[1] & 3) << 8);
  const auto extra_bits = static_cast<uint16_t>(tail[2] % 16);
  const auto code_bits = static_cast<uint16_t>(tail[3] % 6);
  const uint32_t start = tail[4] | uint32_t{tail[5]} << 8;

  wav_samplef(wav.c_str());
  const int32_t bits = wav_bitmode(wav.c_str());
  check(bits >= 0 && bits <= 255);  // the file always opens

  const uint32_t plain = wav_vqr_check(wav.c_str());
  check((plain >= 2 && plain <= 7) || is_size(plain));
  const uint32_t custom = wav_vqr_check_f(wav.c_str(), code_bytes, extra_bits, code_bits);
  check((custom >= 2 && custom <= 8) || is_size(custom));

  if (is_size(plain)) {
    check(wav_vqr_mkheader(wav.c_str(), vqr.c_str(), plain) == 0);
    check(size_of(vqr_file()) == KESTRUNE_VQR_HEADER);
    const uint32_t pages = std::min<uint32_t>((plain - KESTRUNE_VQR_HEADER) / KESTRUNE_VQR_PAGE, 3);
    encode([](uint32_t s, uint32_t n) { return wav_vqr_encoder(wav.c_str(), vqr.c_str(), s, n); },
           0, pages);
    encode([](uint32_t s, uint32_t n) { return wav_vqr_encoder(wav.c_str(), vqr.c_str(), s, n); },
           start, 1);
  } else {
    // Whatever the check refused, the writer and the encoder refuse or write
    // a whole header and whole pages.
    const int16_t written =
        wav_vqr_mkheader(wav.c_str(), vqr.c_str(), KESTRUNE_VQR_HEADER + KESTRUNE_VQR_PAGE);
    check(size_of(vqr_file()) == (written == 0 ? uint64_t{KESTRUNE_VQR_HEADER} : 0u));
    encode([](uint32_t s, uint32_t n) { return wav_vqr_encoder(wav.c_str(), vqr.c_str(), s, n); },
           start, 1);
  }

  static uint16_t n, e, b;
  n = code_bytes, e = extra_bits, b = code_bits;
  const int16_t header_f = wav_vqr_mkheader_f(wav.c_str(), vqr.c_str(),
                                              KESTRUNE_VQR_HEADER + 2 * KESTRUNE_VQR_PAGE, n, e, b);
  check(header_f != 0 || size_of(vqr_file()) == KESTRUNE_VQR_HEADER);
  const auto run_f = [](uint32_t s, uint32_t count) {
    return wav_vqr_encoder_f(wav.c_str(), vqr.c_str(), s, count, n, e, b);
  };
  encode(run_f, 0, 2);
  encode(run_f, start, 1);
  return 0;
}
