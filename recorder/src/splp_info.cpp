// play_splpget: the per-mode parameters of a file.
#include "calendo/recording.h"
#include "kestrune.h"

namespace {

using calendo::Recording;
using calendo::Result;

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

SplpInfo to_splp_info(const Recording& r) {
  SplpInfo info{};
  for (int mode = 0; mode < 2; ++mode) {
    const calendo::ModeDescriptor& m = r.modes[mode];
    info.rate_code[mode] = static_cast<int16_t>(m.rate_code);
    info.code_bits[mode] = static_cast<int16_t>(m.code_bits);
    info.code_bytes[mode] = m.code_bytes;
    info.extra_bits[mode] = m.extra_bits;
    info.length_field[mode] = r.length_field[mode];
    info.page_field[mode] = r.page_field[mode];
    info.page_ms[mode] = m.page_ms();
  }
  info.page_count = r.page_count;
  return info;
}

Result<Recording> read_info(const char* path, int16_t kind) {
  Result<calendo::RecorderFile> file = calendo::RecorderFile::open(path);
  if (!file.ok()) return file.fault();
  const std::optional<calendo::Container> container = calendo::container_of_kind(kind);
  if (!container) return calendo::Fault{calendo::Failure::WrongKind, 0, "file kind must be 0 or 1"};
  return calendo::read_recording(file.value(), *container);
}

}  // namespace

extern "C" SplpInfo play_splpget(const char* path, int16_t kind) {
  const Result<Recording> info = read_info(path, kind);
  if (info.ok()) return to_splp_info(info.value());
  return filled_with(info.fault().failure == calendo::Failure::CannotOpen ? KESTRUNE_CANNOT_OPEN
                                                                          : KESTRUNE_WRONG_KIND);
}
