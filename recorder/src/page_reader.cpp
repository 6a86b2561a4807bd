// play_1pagerd: the bytes of one page.
#include <cstring>
#include <span>

#include "calendo/recorder_file.h"
#include "calendo/vqm_format.h"
#include "calendo/vqr_format.h"
#include "kestrune.h"

namespace {

using calendo::RecorderFile;

int16_t read_vqr_page(const RecorderFile& file, int32_t page,
                      std::span<uint8_t, calendo::kVqrPageSize> out) {
  if (page < 0) {
    std::memset(out.data(), 0xFF, out.size());
  } else {
    file.read_at(calendo::vqr_page_offset(static_cast<uint64_t>(page)), out);
  }
  return (out[calendo::kVqrFlagOffset] & 1) ? KESTRUNE_LP_PAGE : KESTRUNE_SP_PAGE;
}

int16_t read_vqm_page(const RecorderFile& file, int32_t page, uint8_t* buffer) {
  const bool sp = file.byte_at(calendo::kVqmModeOffset) == calendo::kVqmSpMode;
  const calendo::Result<calendo::VqmLayout> layout = calendo::read_vqm_layout(file);
  if (!layout.ok()) return KESTRUNE_CANNOT_OPEN;
  calendo::read_vqm_page(file, layout.value(), page,
                         std::span<uint8_t, calendo::kVqmPageSize>(buffer, calendo::kVqmPageSize));
  return sp ? KESTRUNE_SP_PAGE : KESTRUNE_LP_PAGE;
}

}  // namespace

static_assert(KESTRUNE_PAGE_BUFFER == calendo::kVqrPageSize);
static_assert(KESTRUNE_CODE_BUFFER == calendo::kMaxPageCodes);

extern "C" int16_t play_1pagerd(const char* path, int32_t page, uint8_t* buffer, int16_t kind) {
  if (buffer == nullptr || (kind != KESTRUNE_VQR && kind != KESTRUNE_VQM))
    return KESTRUNE_CANNOT_OPEN;
  const calendo::Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return KESTRUNE_CANNOT_OPEN;
  if (kind == KESTRUNE_VQR) {
    return read_vqr_page(file.value(), page,
                         std::span<uint8_t, calendo::kVqrPageSize>(buffer, calendo::kVqrPageSize));
  }
  return read_vqm_page(file.value(), page, buffer);
}
