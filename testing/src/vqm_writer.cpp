#include <algorithm>
#include <stdexcept>

#include "testing/recorder_writer.h"

namespace testkit {
namespace {

void put_be(Bytes& out, size_t at, uint32_t value) {
  if (out.size() < at + 4) out.resize(at + 4, 0);
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

size_t built_directory_size(const VqmFile& file) {
  size_t entries = 2 + file.extra_chunks.size();
  for (const VqmGap& gap : file.gaps) entries += gap.length ? 2 : 1;
  return 8 * entries;
}

}  // namespace

std::vector<VqmEntry> VqmFile::directory() const {
  const auto size = static_cast<uint32_t>(built_directory_size(*this));
  std::vector<VqmEntry> entries{{1, static_cast<uint32_t>(kVqmDirectoryOffset)}, {2, size}};
  for (uint32_t chunk : extra_chunks) entries.push_back({1, chunk});
  for (const VqmGap& gap : gaps) {
    entries.push_back({4, gap.audio_before});
    if (gap.length) entries.push_back({3, *gap.length});
  }
  return entries;
}

uint32_t VqmFile::audio_base() const {
  uint64_t base = kVqmDirectoryOffset + built_directory_size(*this);
  for (uint32_t chunk : extra_chunks) base += chunk;
  return static_cast<uint32_t>(base);
}

Bytes VqmFile::bytes() const {
  Bytes out(kVqmDirectoryOffset, 0);
  for (size_t i = 0; i < 8; ++i) out[i] = i < magic.size() ? static_cast<uint8_t>(magic[i]) : 0;
  out[61] = mode;

  const std::vector<VqmEntry> entries = directory_override ? *directory_override : directory();
  for (const VqmEntry& entry : entries) {
    const size_t at = out.size();
    out.resize(at + 4, 0);
    out[at] = entry.type;
    put_be(out, at + 4, entry.length);
  }
  // The body sits where the built directory puts it (or after a longer override).
  out.resize(std::max(out.size(), kVqmDirectoryOffset + built_directory_size(*this)), 0);
  for (uint32_t chunk : extra_chunks) out.insert(out.end(), chunk, chunk_fill);

  size_t next = 0;
  for (const VqmGap& gap : gaps) {
    const size_t end = std::min(audio.size(), next + gap.audio_before);
    out.insert(out.end(), audio.begin() + static_cast<std::ptrdiff_t>(next),
               audio.begin() + static_cast<std::ptrdiff_t>(end));
    next = end;
    if (gap.length) out.insert(out.end(), *gap.length, gap_fill);
  }
  out.insert(out.end(), audio.begin() + static_cast<std::ptrdiff_t>(next), audio.end());

  if (directory_length_override)
    put_be(out, calendo::kVqmDirectoryLengthOffset, *directory_length_override);
  return out;
}

Bytes VqmFile::write(const std::filesystem::path& path) const {
  Bytes out = bytes();
  write_file(path, out);
  return out;
}

}  // namespace testkit
