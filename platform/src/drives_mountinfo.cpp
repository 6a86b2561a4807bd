// Parsing /proc/self/mountinfo and finding the mount that holds a path.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "calendo/io.h"
#include "platform/drives.h"

namespace platform {
namespace {

// Fields are separated by exactly one space; an empty field (a mount whose
// source is "") shows up as two spaces in a row and is kept.
std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t space = line.find(' ', start);
    if (space == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, space - start));
    start = space + 1;
  }
}

bool parse_number(std::string_view text, uint32_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

bool parse_device(std::string_view text, uint32_t& major, uint32_t& minor) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  return parse_number(text.substr(0, colon), major) && parse_number(text.substr(colon + 1), minor);
}

bool is_octal(char c) {
  return c >= '0' && c <= '7';
}

// A mount point or file system name holding a NUL byte cannot be real.
bool holds_nul(const std::string& text) {
  return text.find('\0') != std::string::npos;
}

// Whether `path` is `mount_point` or lies below it, component by component.
bool covers(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return !path.empty() && path.front() == '/';
  if (path.substr(0, mount_point.size()) != mount_point) return false;
  return path.size() == mount_point.size() || path[mount_point.size()] == '/';
}

}  // namespace

std::string decode_mountinfo_escapes(std::string_view field) {
  std::string decoded;
  decoded.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        is_octal(field[i + 2]) && is_octal(field[i + 3])) {
      decoded.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                          (field[i + 3] - '0')));
      i += 3;
    } else {
      decoded.push_back(field[i]);
    }
  }
  return decoded;
}

std::optional<MountEntry> parse_mountinfo_line(std::string_view line) {
  const std::vector<std::string_view> fields = split_fields(line);
  // Six fixed fields, any number of optional ones, the separator, then file
  // system, source and (on every kernel of the last decade) super options.
  std::size_t separator = 6;
  while (separator < fields.size() && fields[separator] != "-") ++separator;
  if (separator >= fields.size()) return std::nullopt;
  const std::size_t after = fields.size() - separator - 1;
  if (after < 2 || after > 3) return std::nullopt;

  MountEntry entry;
  if (!parse_number(fields[0], entry.mount_id) || !parse_number(fields[1], entry.parent_id) ||
      !parse_device(fields[2], entry.major, entry.minor)) {
    return std::nullopt;
  }
  entry.root = decode_mountinfo_escapes(fields[3]);
  entry.mount_point = decode_mountinfo_escapes(fields[4]);
  entry.mount_options = decode_mountinfo_escapes(fields[5]);
  for (std::size_t i = 6; i < separator; ++i) {
    if (fields[i].empty()) return std::nullopt;
    entry.optional_fields.push_back(decode_mountinfo_escapes(fields[i]));
  }
  entry.file_system = decode_mountinfo_escapes(fields[separator + 1]);
  entry.source = decode_mountinfo_escapes(fields[separator + 2]);
  if (after == 3) entry.super_options = decode_mountinfo_escapes(fields[separator + 3]);

  if (entry.mount_point.empty() || entry.mount_point.front() != '/') return std::nullopt;
  if (entry.root.empty() || entry.file_system.empty()) return std::nullopt;
  if (holds_nul(entry.mount_point) || holds_nul(entry.root) || holds_nul(entry.file_system)) {
    return std::nullopt;
  }
  return entry;
}

std::vector<MountEntry> parse_mountinfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    if (auto entry = parse_mountinfo_line(line)) mounts.push_back(std::move(*entry));
    if (newline == std::string_view::npos) break;
    text.remove_prefix(newline + 1);
  }
  return mounts;
}

const MountEntry* find_mount(const std::vector<MountEntry>& mounts, std::string_view path) {
  const MountEntry* best = nullptr;
  for (const MountEntry& mount : mounts) {
    if (!covers(mount.mount_point, path)) continue;
    if (best == nullptr || mount.mount_point.size() >= best->mount_point.size()) best = &mount;
  }
  return best;
}

DriveQuery<std::vector<MountEntry>> mounted_file_systems() {
  const calendo::UniqueFd fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    return drive_failure(errno);
  }
  // The file reports no size, so it is read to its end. Thousands of mounts
  // make a few hundred kilobytes; the cap only stops a runaway.
  constexpr std::size_t kLimit = std::size_t{64} << 20;
  constexpr std::size_t kChunk = 16384;
  std::string text;
  while (text.size() < kLimit) {
    const std::size_t had = text.size();
    text.resize(had + kChunk);
    const calendo::Result<std::size_t> got =
        calendo::read_full(fd.get(), {reinterpret_cast<uint8_t*>(text.data()) + had, kChunk});
    if (!got.ok()) {
      return drive_failure(got.fault().system_error);
    }
    text.resize(had + got.value());
    if (got.value() < kChunk) break;
  }
  // A line cut at the cap is not parsed as if it were whole.
  if (text.size() >= kLimit) text.erase(text.rfind('\n') + 1);
  return parse_mountinfo(text);
}

}  // namespace platform
