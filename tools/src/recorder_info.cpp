#include "recorder_info.h"

#include "calendo/json_text.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <optional>

#include "calendo/byte_order.h"
#include "calendo/client/file_kind.h"
#include "calendo/client/imports.h"
#include "calendo/io.h"
#include "calendo/vqr_format.h"
#include "source_file.h"
#include "time_format.h"

namespace calendo::tool {
namespace {

// Whole 528-byte pages after the header of a vqr file of `size` bytes.
uint32_t VqrPagesHeld(uint64_t size) {
  if (size < kVqrHeaderSize) return 0;
  const uint64_t pages = (size - kVqrHeaderSize) / kVqrPageSize;
  return pages > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(pages);
}

// The pages the header's data length (at 88) announces, or none when the
// header cannot be read.
std::optional<uint32_t> VqrPagesAnnounced(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::array<uint8_t, 4> length{};
  if (read_up_to_at(fd.get(), kVqrDataLengthOffset, length) != length.size()) return std::nullopt;
  return le32(length.data()) / kVqrPageSize;
}

// What a vqr file of `size` bytes holds of what its header says: every
// sentence of the warning, or empty.
std::string VqrWarning(const std::string& path, uint64_t size, SplpInfo& splp) {
  std::vector<std::string> sentences;
  // Pages lie at 528-byte steps whatever the page size field says; a field
  // smaller than that would count pages that are not there.
  const uint32_t held = VqrPagesHeld(size);
  if (splp.page_count > held) {
    sentences.push_back("the header's page size counts " + std::to_string(splp.page_count) +
                        " pages; only the " + std::to_string(held) +
                        " whole pages of 528 bytes the file holds are read");
    splp.page_count = held;
  }
  // A recording whose copy or download ended early still plays as far as it goes.
  if (const std::optional<uint32_t> announced = VqrPagesAnnounced(path);
      announced && *announced > held) {
    sentences.push_back("the header announces " + std::to_string(*announced) +
                        " pages, the file holds " + std::to_string(held) +
                        ": the recording is cut short");
  }
  std::string warning;
  for (const std::string& sentence : sentences) warning += (warning.empty() ? "" : "; ") + sentence;
  return warning;
}

double ModeSeconds(const SplpInfo& s, int mode, uint32_t pages) {
  const uint32_t hz = RateHz(s.rate_code[mode]);
  if (hz == 0) return 0;
  const int32_t codes = code_count(s.code_bits[mode], s.code_bytes[mode], s.extra_bits[mode]);
  return static_cast<double>(pages) * codes / hz;
}

std::string Number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string ModeLine(const SplpInfo& s, int mode) {
  return "rate code " + std::to_string(s.rate_code[mode]) + " (" +
         std::to_string(RateHz(s.rate_code[mode])) + " Hz), " + std::to_string(s.code_bits[mode]) +
         "-bit codes, " + std::to_string(s.page_ms[mode]) + " ms a page";
}

// The "file" member, and "file_bytes" with the name's exact bytes when it is
// not UTF-8 (the string then holds U+FFFD in place of the bad bytes).
std::string FileMembers(const std::string& path) {
  std::string members = "\"file\": " + JsonString(path);
  if (IsUtf8(path)) return members;
  members += ", \"file_bytes\": [";
  for (size_t i = 0; i < path.size(); ++i) {
    if (i > 0) members += ", ";
    members += std::to_string(static_cast<unsigned char>(path[i]));
  }
  return members + "]";
}

}  // namespace

uint32_t RateHz(int16_t rate_code) {
  if (rate_code == 11) return 11025;
  return rate_code > 0 ? static_cast<uint32_t>(rate_code) * 1000 : 0;
}

Result<RecorderInfo> ReadRecorderInfo(const std::string& path) {
  if (const Status regular = RequireRegularFile(path); !regular.ok()) return regular.fault();
  RecorderInfo info;
  info.path = path;
  const std::optional<Container> by_content = RecorderContainerOfContent(path.c_str());
  const std::optional<Container> by_name = RecorderContainerOfName(path);
  info.container = by_content.value_or(by_name.value_or(Container::Vqm));
  info.splp = imports::play_splpget(path.c_str(), file_kind_of(info.container));
  if (info.splp.rate_code[0] == KESTRUNE_CANNOT_OPEN) return OpenFailure(path, "cannot be read");
  if (info.splp.rate_code[0] == KESTRUNE_WRONG_KIND) {
    // A file named as a recording is refused as the kind its name expects;
    // one that neither its name nor its content says to be one, as neither.
    struct stat status {};
    const bool empty = ::stat(path.c_str(), &status) == 0 && status.st_size == 0;
    if (!by_content && (empty || !by_name)) {
      return Fault{Failure::WrongKind, 0,
                   std::string("not a recorder file (neither vqr nor vqm)") +
                       (empty ? ": the file is empty" : "")};
    }
    return Fault{Failure::WrongKind, 0,
                 std::string("not a ") + container_name(info.container) + " recorder file"};
  }
  if (info.container == Container::Vqr) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0)
      info.warning = VqrWarning(path, static_cast<uint64_t>(status.st_size), info.splp);
  }
  info.table.assign(info.splp.page_count, 0);
  if (info.splp.page_count > 0 &&
      imports::pb_splptblmk(path.c_str(), info.table.data(), info.splp.page_count,
                            file_kind_of(info.container)) != 0) {
    return OpenFailure(path, "cannot be read");
  }
  imports::splp_pageno(info.table.data(), info.splp.page_field, info.splp.page_count);
  info.sp_pages = info.splp.page_field[0];
  info.lp_pages = info.splp.page_field[1];
  info.total_ms =
      int64_t{info.sp_pages} * info.splp.page_ms[0] + int64_t{info.lp_pages} * info.splp.page_ms[1];
  info.seconds =
      ModeSeconds(info.splp, 0, info.sp_pages) + ModeSeconds(info.splp, 1, info.lp_pages);
  return info;
}

std::string InfoText(const RecorderInfo& info) {
  const SplpInfo& s = info.splp;
  return info.path + "\n  container   " + container_name(info.container) + "\n  pages       " +
         std::to_string(s.page_count) + " (SP " + std::to_string(info.sp_pages) + ", LP " +
         std::to_string(info.lp_pages) + ")\n  SP mode     " + ModeLine(s, 0) + "\n  LP mode     " +
         ModeLine(s, 1) + "\n  time        " + FormatPlayTime(info.total_ms) +
         " (the recorder's count)\n  duration    " + Number("%.3f", info.seconds) + " s\n";
}

std::string InfoJson(const RecorderInfo& info) {
  const SplpInfo& s = info.splp;
  std::string json = "{" + FileMembers(info.path) + ", \"container\": \"" +
                     container_name(info.container) +
                     "\", \"pages\": " + std::to_string(s.page_count) +
                     ", \"sp_pages\": " + std::to_string(info.sp_pages) +
                     ", \"lp_pages\": " + std::to_string(info.lp_pages) +
                     ", \"sp_rate_code\": " + std::to_string(s.rate_code[0]) +
                     ", \"lp_rate_code\": " + std::to_string(s.rate_code[1]) +
                     ", \"sp_code_bits\": " + std::to_string(s.code_bits[0]) +
                     ", \"lp_code_bits\": " + std::to_string(s.code_bits[1]) +
                     ", \"total_ms\": " + std::to_string(info.total_ms) +
                     ", \"total_time\": " + JsonString(FormatPlayTime(info.total_ms)) +
                     ", \"sp_rate_hz\": " + std::to_string(RateHz(s.rate_code[0])) +
                     ", \"lp_rate_hz\": " + std::to_string(RateHz(s.rate_code[1])) +
                     ", \"duration_s\": " + Number("%.3f", info.seconds);
  if (!info.warning.empty()) json += ", \"warning\": " + JsonString(info.warning);
  return json + "}";
}

std::string ErrorJson(const std::string& path, const std::string& error) {
  return "{" + FileMembers(path) + ", \"error\": " + JsonString(error) + "}";
}

bool IsUtf8(const std::string& text) {
  return is_utf8(text);
}

std::string JsonString(const std::string& text) {
  return json_string(text);
}

}  // namespace calendo::tool
