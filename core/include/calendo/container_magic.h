// Which recorder container a file is, by its first bytes: "OIFF" at 0 and
// "WAVE" at 8 is a vqr file, "VQ_VOICE" at 0 a vqm file. A plain WAV file
// ("RIFF" at 0) is neither. Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace calendo {

enum class MagicContainer { None, Vqr, Vqm };

// Bytes at the start of a file that decide its container.
inline constexpr std::size_t kMagicBytes = 12;

namespace magic_detail {
constexpr bool bytes_at(std::span<const uint8_t> head, std::size_t offset, std::string_view text) {
  if (head.size() < offset + text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (head[offset + i] != static_cast<uint8_t>(text[i])) return false;
  }
  return true;
}
}  // namespace magic_detail

// The container of a file whose first bytes are `head` (fewer than
// kMagicBytes when the file is shorter).
constexpr MagicContainer container_of_magic(std::span<const uint8_t> head) {
  if (magic_detail::bytes_at(head, 0, "OIFF") && magic_detail::bytes_at(head, 8, "WAVE"))
    return MagicContainer::Vqr;
  if (magic_detail::bytes_at(head, 0, "VQ_VOICE")) return MagicContainer::Vqm;
  return MagicContainer::None;
}

}  // namespace calendo
