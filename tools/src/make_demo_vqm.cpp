// calendo-demo-vqm: writes a vqm recorder file holding the audio of the SP
// pages of a vqr file, through the project's own writer of recorder files.
// The vqm file is in the SP mode throughout, its audio broken by one gap
// after its first two pages, as recorders leave them.
//
// Usage: calendo-demo-vqm IN.vqr OUT.vqm
#include <cstdio>
#include <exception>

#include "calendo/byte_source.h"
#include "testing/recorder_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: calendo-demo-vqm IN.vqr OUT.vqm\n");
    return 2;
  }
  try {
    const calendo::Result<calendo::RecorderFile> in = calendo::RecorderFile::open(argv[1]);
    testkit::Bytes vqr(in.ok() ? in->size() : 0);
    if (!in.ok() || in->read_at(0, vqr) != vqr.size() || vqr.size() < testkit::kVqrHeaderSize) {
      std::fprintf(stderr, "calendo-demo-vqm: cannot read %s\n", argv[1]);
      return 1;
    }
    testkit::VqmFile vqm;
    vqm.mode = 5;  // SP: 1360 3-bit codes in each 510-byte page
    size_t pages = 0;
    for (size_t at = testkit::kVqrHeaderSize; at + testkit::kVqrPageSize <= vqr.size();
         at += testkit::kVqrPageSize) {
      if ((vqr[at + 512] & 1) != 0) continue;  // the SP pages only
      vqm.audio.insert(vqm.audio.end(), vqr.begin() + static_cast<std::ptrdiff_t>(at),
                       vqr.begin() + static_cast<std::ptrdiff_t>(at + testkit::kVqmPageSize));
      ++pages;
    }
    if (pages > 2) vqm.gaps.push_back({static_cast<uint32_t>(2 * testkit::kVqmPageSize), 96});
    vqm.write(argv[2]);
    std::printf("%s: %zu pages\n", argv[2], pages);
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "calendo-demo-vqm: %s\n", failure.what());
    return 1;
  }
}
