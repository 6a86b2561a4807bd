// AdpcmDec1 on damaged recorder files: a header call, then page calls over the
// first pages and past the end. No crash, no write outside the caller's
// buffers, and page calls append only whole decoded pages.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tesmor.h"
#include "testing/temp_dir.h"

namespace {

struct Paths {
  std::string source;
  std::string dest;
};

const Paths& paths() {
  static const Paths p = [] {
    static const testkit::TempDir folder;
    return Paths{folder.file("in.vqr").string(), folder.file("out.wav").string()};
  }();
  return p;
}

long file_size(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Paths& p = paths();
  FILE* f = std::fopen(p.source.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();

  // The last input byte picks the output width and the mixed-mode page counts.
  const uint8_t knob = size > 0 ? data[size - 1] : 0;
  const int32_t out_bits = 1 + (knob & 1);
  uint8_t info[TESMOR_DEC1_INFO + 1];
  info[TESMOR_DEC1_INFO] = 0xA5;
  const int32_t pages = AdpcmDec1(p.source.c_str(), p.dest.c_str(), out_bits, (knob >> 1) & 3,
                                  (knob >> 3) & 3, info, 0);
  if (info[TESMOR_DEC1_INFO] != 0xA5) std::abort();
  if (pages < 0) {
    if (AdpcmDec1(nullptr, nullptr, out_bits, 0, 0, nullptr, 1) != 1) std::abort();
    return 0;
  }
  if (file_size(p.dest) != TESMOR_WAV_HEADER) std::abort();

  const int32_t last = pages < 3 ? pages : 3;  // one page past the end when the file is short
  const long before = file_size(p.dest);
  const int32_t codes = AdpcmDec1(nullptr, nullptr, out_bits, 0, last, nullptr, 1);
  if (codes != 1024 && codes != 1360 && codes != 2046 && codes != 2048) std::abort();
  if (file_size(p.dest) <= before) std::abort();
  return 0;
}
