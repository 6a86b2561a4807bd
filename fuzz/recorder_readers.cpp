// Feeds arbitrary bytes, as a file, to every reader of libkestrune: the header
// reader and the page table of both containers, the page reader at pages
// derived from the header and the input, and the code unpacker with the
// file's descriptors and with descriptors taken from the input. Traps when a
// result breaks the readers' contracts.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kestrune.h"

namespace {

// One in-memory file for the whole run, reached by its /proc path.
const std::string& input_file() {
  static const std::string path = [] {
    const int fd = memfd_create("recorder_readers", MFD_CLOEXEC);
    if (fd < 0) __builtin_trap();
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

void store(const uint8_t* data, size_t size) {
  const int fd = std::stoi(input_file().substr(std::strlen("/proc/self/fd/")));
  if (ftruncate(fd, 0) != 0) __builtin_trap();
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (wrote <= 0) __builtin_trap();
    done += static_cast<size_t>(wrote);
  }
}

void check(bool holds) {
  if (!holds) __builtin_trap();
}

bool refused(const SplpInfo& info) {
  return info.rate_code[0] == KESTRUNE_CANNOT_OPEN || info.rate_code[0] == KESTRUNE_WRONG_KIND;
}

int32_t unpack(int mode, const SplpInfo& info, const uint8_t* page) {
  std::vector<uint8_t> codes(KESTRUNE_CODE_BUFFER);
  const int32_t count = pb_exdata(info.code_bits[mode], static_cast<int16_t>(info.code_bytes[mode]),
                                  static_cast<int16_t>(info.extra_bits[mode]), page, codes.data());
  check(count >= 0 && count <= KESTRUNE_CODE_BUFFER);
  return count;
}

void read_file(const char* path, int16_t kind, int32_t derived_page) {
  const SplpInfo info = play_splpget(path, kind);
  if (refused(info)) return;
  // A record the reader accepts is safe to decode with.
  for (int mode = 0; mode < 2; ++mode) {
    const int bits = info.code_bits[mode];
    check(bits >= 2 && bits <= 4 && info.extra_bits[mode] <= 8);
    check(info.code_bytes[mode] + (info.extra_bits[mode] > 0 ? 1 : 0) <= KESTRUNE_VQR_FLAG);
  }

  const uint32_t count = std::min<uint32_t>(info.page_count + 2, 1u << 16);
  std::vector<uint8_t> table(count);  // exactly as large as asked for
  check(pb_splptblmk(path, table.data(), count, kind) == 0);
  uint32_t modes[2];
  splp_pageno(table.data(), modes, count);
  check(modes[0] + modes[1] == count);
  get_time(table.data(), count - 1, static_cast<int32_t>(info.page_ms[0]),
           static_cast<int32_t>(info.page_ms[1]));

  const int32_t last = static_cast<int32_t>(std::min<uint32_t>(info.page_count, INT32_MAX));
  for (int32_t page : {0, 1, last - 1, last, derived_page, INT32_MAX, -1}) {
    auto buffer = std::make_unique<uint8_t[]>(KESTRUNE_PAGE_BUFFER);
    const int16_t result = play_1pagerd(path, page, buffer.get(), kind);
    check(result == KESTRUNE_SP_PAGE || result == KESTRUNE_LP_PAGE);
    unpack(result == KESTRUNE_LP_PAGE ? 1 : 0, info, buffer.get());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  store(data, size);
  const char* path = input_file().c_str();

  uint8_t tail[4] = {};
  std::memcpy(tail, data + (size > 4 ? size - 4 : 0), std::min<size_t>(size, 4));
  int32_t derived_page;
  std::memcpy(&derived_page, tail, 4);
  read_file(path, KESTRUNE_VQR, derived_page);
  read_file(path, KESTRUNE_VQM, derived_page % 64);

  // Descriptors straight from the input, over a page of it.
  if (size >= 6) {
    const auto bits = static_cast<int16_t>(static_cast<int8_t>(data[0]));
    const auto bytes = static_cast<int16_t>(data[1] | data[2] << 8);
    const auto extra = static_cast<int16_t>(static_cast<int8_t>(data[3]));
    std::vector<uint8_t> page(KESTRUNE_VQR_FLAG, 0xFF);  // a code area
    std::memcpy(page.data(), data, std::min<size_t>(size, page.size()));
    std::vector<uint8_t> codes(KESTRUNE_CODE_BUFFER);
    const int32_t count = pb_exdata(bits, bytes, extra, page.data(), codes.data());
    check(count >= 0 && count <= KESTRUNE_CODE_BUFFER);
  }
  return 0;
}
