// play_1pagerd: the bytes of one page.
#include <algorithm>
#include <cstring>
#include <span>

#include "kestrune.h"
#include "recorder_file.h"
#include "vqm_directory.h"
#include "vqr_header.h"

namespace kestrune {
namespace {

int16_t read_vqr_page(const RecorderFile& file, int32_t page, std::span<uint8_t, 528> out) {
  if (page < 0) {
    std::memset(out.data(), 0xFF, out.size());
  } else {
    file.read_at(kVqrHeaderSize + kVqrPageSize * static_cast<uint64_t>(page), out);
  }
  return (out[kVqrFlagOffset] & 1) ? KESTRUNE_LP_PAGE : KESTRUNE_SP_PAGE;
}

// Audio bytes 510 * page onwards, skipping the gaps.
void read_vqm_audio(const RecorderFile& file, const VqmLayout& layout, int32_t page,
                    std::span<uint8_t, 510> out) {
  if (page < 0) {
    std::memset(out.data(), 0xFF, out.size());
    return;
  }
  const std::vector<VqmGap>& gaps = layout.gaps;
  // Turn the audio position into a file position by adding every gap before it.
  uint64_t pos = kVqmPageSize * static_cast<uint64_t>(page);
  size_t next = 0;
  while (next < gaps.size() && gaps[next].start < pos) {
    pos += gaps[next].end - gaps[next].start;
    ++next;
  }
  size_t filled = 0;
  while (filled < out.size()) {
    // Jump every gap that starts here; gaps may follow each other directly.
    while (next < gaps.size() && gaps[next].start == pos) pos = gaps[next++].end;
    uint64_t run = out.size() - filled;
    if (next < gaps.size()) run = std::min(run, gaps[next].start - pos);
    file.read_at(layout.audio_base + pos, out.subspan(filled, run));
    pos += run;
    filled += run;
  }
}

int16_t read_vqm_page(const RecorderFile& file, int32_t page, uint8_t* buffer) {
  const bool sp = file.byte_at(kVqmModeOffset) == kVqmSpMode;
  const Result<VqmLayout> layout = read_vqm_layout(file);
  if (!layout.ok()) return KESTRUNE_CANNOT_OPEN;
  read_vqm_audio(file, layout.value(), page, std::span<uint8_t, 510>(buffer, 510));
  return sp ? KESTRUNE_SP_PAGE : KESTRUNE_LP_PAGE;
}

}  // namespace
}  // namespace kestrune

extern "C" int16_t play_1pagerd(const char* path, int32_t page, uint8_t* buffer, int16_t kind) {
  using namespace kestrune;
  if (buffer == nullptr || (kind != KESTRUNE_VQR && kind != KESTRUNE_VQM))
    return KESTRUNE_CANNOT_OPEN;
  const Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return KESTRUNE_CANNOT_OPEN;
  if (kind == KESTRUNE_VQR)
    return read_vqr_page(file.value(), page, std::span<uint8_t, 528>(buffer, 528));
  return read_vqm_page(file.value(), page, buffer);
}
