// play_splpget: the per-mode parameters of a file.
#include <string_view>

#include "kestrune.h"
#include "recorder_file.h"
#include "vqm_directory.h"
#include "vqr_header.h"

namespace kestrune {
namespace {

SplpInfo filled_with(uint16_t value) {
  SplpInfo info;
  for (int mode = 0; mode < 2; ++mode) {
    info.rate_code[mode] = static_cast<int16_t>(value);
    info.code_bits[mode] = static_cast<int16_t>(value);
    info.code_bytes[mode] = value;
    info.extra_bits[mode] = value;
    info.length_field[mode] = value;
    info.page_field[mode] = value;
    info.page_ms[mode] = value;
  }
  info.page_count = value;
  return info;
}

Result<SplpInfo> read_vqm_info(const RecorderFile& file) {
  uint8_t magic[8];
  file.read_at(0, magic);
  if (std::string_view(reinterpret_cast<const char*>(magic), 8) != "VQ_VOICE")
    return Fault{Failure::WrongKind, 0, "magic must be VQ_VOICE"};
  Result<VqmLayout> layout = read_vqm_layout(file);
  if (!layout.ok()) return layout.fault();

  // A vqm file has fixed modes; its pages are all of the mode the mode byte names.
  SplpInfo info{{11, 8}, {3, 2}, {510, 510}, {0, 0}, 0, {3840, 9000}, {0, 0}, {123, 255}};
  info.page_count = vqm_page_count(file, layout.value());
  if (file.byte_at(kVqmModeOffset) == kVqmSpMode)
    info.page_field[0] = 31065;
  else
    info.page_field[1] = 31069;
  return info;
}

Result<SplpInfo> read_info(const char* path, int16_t kind) {
  Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return file.fault();
  switch (kind) {
    case KESTRUNE_VQR:
      return read_vqr_info(file.value());
    case KESTRUNE_VQM:
      return read_vqm_info(file.value());
    default:
      return Fault{Failure::WrongKind, 0, "file kind must be 0 or 1"};
  }
}

}  // namespace
}  // namespace kestrune

extern "C" SplpInfo play_splpget(const char* path, int16_t kind) {
  using namespace kestrune;
  const Result<SplpInfo> info = read_info(path, kind);
  if (info.ok()) return info.value();
  return filled_with(static_cast<uint16_t>(info.fault().failure));
}
