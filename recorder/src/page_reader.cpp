// play_1pagerd: the bytes of one page.
#include <span>

#include "calendo/byte_source.h"
#include "calendo/container.h"
#include "calendo/recording.h"
#include "kestrune.h"

namespace {

using calendo::RecorderFile;

int16_t page_result(int mode) {
  return mode == calendo::kLp ? KESTRUNE_LP_PAGE : KESTRUNE_SP_PAGE;
}

// A vqm page is read through the directory alone: the magic is not checked.
int16_t read_vqm_page(const RecorderFile& file, int32_t page, uint8_t* buffer) {
  const calendo::Result<calendo::VqmLayout> layout = calendo::read_vqm_layout(file);
  if (!layout.ok()) return KESTRUNE_CANNOT_OPEN;
  calendo::read_vqm_page(file, layout.value(), page,
                         std::span<uint8_t, calendo::kVqmPageSize>(buffer, calendo::kVqmPageSize));
  return page_result(calendo::vqm_file_mode(file));
}

}  // namespace

static_assert(KESTRUNE_PAGE_BUFFER == calendo::kVqrPageSize);
static_assert(KESTRUNE_CODE_BUFFER == calendo::kMaxPageCodes);
static_assert(KESTRUNE_VQR_HEADER == calendo::kVqrHeaderSize);
static_assert(KESTRUNE_VQR_PAGE == calendo::kVqrPageSize);
static_assert(KESTRUNE_VQR_FLAG == calendo::kVqrFlagOffset);
static_assert(KESTRUNE_VQR == calendo::file_kind_of(calendo::Container::Vqr));
static_assert(KESTRUNE_VQM == calendo::file_kind_of(calendo::Container::Vqm));

extern "C" int16_t play_1pagerd(const char* path, int32_t page, uint8_t* buffer, int16_t kind) {
  const std::optional<calendo::Container> container = calendo::container_of_kind(kind);
  if (buffer == nullptr || !container) return KESTRUNE_CANNOT_OPEN;
  const calendo::Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return KESTRUNE_CANNOT_OPEN;
  if (*container == calendo::Container::Vqm) return read_vqm_page(file.value(), page, buffer);
  const std::span<uint8_t, calendo::kVqrPageSize> out(buffer, calendo::kVqrPageSize);
  calendo::read_vqr_page(file.value(), page, out);
  return page_result(calendo::vqr_page_mode(out));
}
