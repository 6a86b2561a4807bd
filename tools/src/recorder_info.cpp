#include "recorder_info.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "calendo/client/file_kind.h"
#include "libraries.h"
#include "time_format.h"

namespace calendo::tool {
namespace {

// Why `path` cannot be opened, in the system's words where it has some.
std::string OpenFailure(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return "cannot be read";
}

const char* ContainerName(int16_t kind) {
  return kind == KESTRUNE_VQR ? "vqr" : "vqm";
}

}  // namespace

std::optional<RecorderInfo> ReadRecorderInfo(const std::string& path, std::string& error) {
  RecorderInfo info;
  info.path = path;
  info.kind = FileKindOfName(path);
  info.splp = imports::play_splpget(path.c_str(), info.kind);
  if (info.splp.rate_code[0] == KESTRUNE_CANNOT_OPEN) {
    error = OpenFailure(path);
    return std::nullopt;
  }
  if (info.splp.rate_code[0] == KESTRUNE_WRONG_KIND) {
    error = std::string("not a ") + ContainerName(info.kind) + " recorder file";
    return std::nullopt;
  }
  info.table.assign(info.splp.page_count, 0);
  if (info.splp.page_count > 0 && imports::pb_splptblmk(path.c_str(), info.table.data(),
                                                        info.splp.page_count, info.kind) != 0) {
    error = OpenFailure(path);
    return std::nullopt;
  }
  imports::splp_pageno(info.table.data(), info.splp.page_field, info.splp.page_count);
  info.sp_pages = info.splp.page_field[0];
  info.lp_pages = info.splp.page_field[1];
  info.total_ms =
      int64_t{info.sp_pages} * info.splp.page_ms[0] + int64_t{info.lp_pages} * info.splp.page_ms[1];
  return info;
}

std::string InfoText(const RecorderInfo& info) {
  const SplpInfo& s = info.splp;
  char text[512];
  std::snprintf(text, sizeof text,
                "%s\n"
                "  container   %s\n"
                "  pages       %u (SP %u, LP %u)\n"
                "  SP mode     rate code %d, %d-bit codes, %u ms a page\n"
                "  LP mode     rate code %d, %d-bit codes, %u ms a page\n"
                "  time        %s\n",
                info.path.c_str(), ContainerName(info.kind), s.page_count, info.sp_pages,
                info.lp_pages, s.rate_code[0], s.code_bits[0], s.page_ms[0], s.rate_code[1],
                s.code_bits[1], s.page_ms[1], FormatPlayTime(info.total_ms).c_str());
  return text;
}

std::string InfoJson(const RecorderInfo& info) {
  const SplpInfo& s = info.splp;
  char figures[400];
  std::snprintf(figures, sizeof figures,
                "\"container\": \"%s\", \"pages\": %u, \"sp_pages\": %u, \"lp_pages\": %u, "
                "\"sp_rate_code\": %d, \"lp_rate_code\": %d, \"sp_code_bits\": %d, "
                "\"lp_code_bits\": %d, \"total_ms\": %lld, \"total_time\": ",
                ContainerName(info.kind), s.page_count, info.sp_pages, info.lp_pages,
                s.rate_code[0], s.rate_code[1], s.code_bits[0], s.code_bits[1],
                static_cast<long long>(info.total_ms));
  return "{\"file\": " + JsonString(info.path) + ", " + figures +
         JsonString(FormatPlayTime(info.total_ms)) + "}";
}

std::string ErrorJson(const std::string& path, const std::string& error) {
  return "{\"file\": " + JsonString(path) + ", \"error\": " + JsonString(error) + "}";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;  // bytes of a UTF-8 name pass as they are
    }
  }
  return out + "\"";
}

}  // namespace calendo::tool
