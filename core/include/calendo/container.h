// The two recorder containers, and which one a file is by its first bytes:
// "OIFF" at 0 and "WAVE" at 8 is a vqr file, "VQ_VOICE" at 0 a vqm file. A
// plain WAV file ("RIFF" at 0) is neither. The libraries' exports number the
// containers as file kinds (0 = vqr, 1 = vqm). Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace calendo {

enum class Container { Vqr, Vqm };

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

// The parts of the rule: "OIFF" opens a vqr file, "WAVE" follows at 8 (its
// form type), "VQ_VOICE" opens a vqm file.
constexpr bool has_vqr_magic(std::span<const uint8_t> head) {
  return magic_detail::bytes_at(head, 0, "OIFF");
}
constexpr bool has_vqr_form(std::span<const uint8_t> head) {
  return magic_detail::bytes_at(head, 8, "WAVE");
}
constexpr bool has_vqm_magic(std::span<const uint8_t> head) {
  return magic_detail::bytes_at(head, 0, "VQ_VOICE");
}

// The container of a file whose first bytes are `head` (fewer than
// kMagicBytes when the file is shorter); nothing when it is neither.
constexpr std::optional<Container> ContainerOfMagic(std::span<const uint8_t> head) {
  if (has_vqr_magic(head) && has_vqr_form(head)) return Container::Vqr;
  if (has_vqm_magic(head)) return Container::Vqm;
  return std::nullopt;
}

// The file kind the exports take for a container, and back.
constexpr int16_t file_kind_of(Container container) {
  return container == Container::Vqr ? 0 : 1;
}
constexpr std::optional<Container> container_of_kind(int32_t kind) {
  if (kind == 0) return Container::Vqr;
  if (kind == 1) return Container::Vqm;
  return std::nullopt;
}

constexpr const char* container_name(Container container) {
  return container == Container::Vqr ? "vqr" : "vqm";
}

}  // namespace calendo
