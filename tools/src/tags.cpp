#include "tags.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "file_times.h"
#include "recorder_info.h"
#include "time_format.h"

#ifndef CALENDO_VERSION
#define CALENDO_VERSION "unknown"
#endif

namespace calendo::tool {
namespace {

constexpr uint32_t kRiffLimit = 0xFFFFFFFFu;

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Byte by byte: GCC's -Wstringop-overflow takes a range insert into an empty
// vector for an overflow in some builds (ThreadSanitizer's).
void PutId(std::vector<uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

// One INFO entry: its text with the closing NUL, padded to an even length.
void PutEntry(std::vector<uint8_t>& out, const char* id, const std::string& text) {
  PutId(out, id);
  PutU32(out, static_cast<uint32_t>(text.size() + 1));
  for (const char c : text) out.push_back(static_cast<uint8_t>(c));
  out.push_back(0);
  if ((text.size() + 1) % 2 != 0) out.push_back(0);
}

Fault WriteFailure(const std::string& path) {
  const int error_number = errno;
  return Fault{Failure::CannotWrite, 0,
               "cannot add tags to " + path + ": " + std::strerror(error_number), error_number};
}

}  // namespace

ArchiveTags MakeArchiveTags(const RecorderInfo& info, const timespec& modified) {
  ArchiveTags tags;
  tags.title = std::filesystem::path(info.path).stem().string();
  tags.date = IsoDateTime(modified);
  char comment[160];
  std::snprintf(comment, sizeof comment, "%s recording, %u SP pages, %u LP pages, %s",
                container_name(info.container), info.sp_pages, info.lp_pages,
                FormatPlayTime(info.total_ms).c_str());
  tags.comment = comment;
  tags.software = std::string("Calendo ") + CALENDO_VERSION;
  return tags;
}

Status SetTags(SNDFILE* file, const ArchiveTags& tags) {
  const std::pair<int, const std::string*> strings[] = {{SF_STR_TITLE, &tags.title},
                                                        {SF_STR_DATE, &tags.date},
                                                        {SF_STR_COMMENT, &tags.comment},
                                                        {SF_STR_SOFTWARE, &tags.software}};
  for (const auto& [kind, text] : strings) {
    if (sf_set_string(file, kind, text->c_str()) != 0)
      return Fault{Failure::CannotWrite, 0, std::string("cannot set tags: ") + sf_strerror(file)};
  }
  return {};
}

Status AppendWavInfo(const std::string& path, const ArchiveTags& tags) {
  std::vector<uint8_t> entries;
  PutId(entries, "INFO");
  PutEntry(entries, "INAM", tags.title);
  PutEntry(entries, "ICRD", tags.date);
  PutEntry(entries, "ICMT", tags.comment);
  PutEntry(entries, "ISFT", tags.software);
  std::vector<uint8_t> chunk;
  PutId(chunk, "LIST");
  PutU32(chunk, static_cast<uint32_t>(entries.size()));
  chunk.insert(chunk.end(), entries.begin(), entries.end());

  FILE* file = std::fopen(path.c_str(), "r+b");
  if (file == nullptr) return WriteFailure(path);
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long end = ok ? std::ftell(file) : -1;
  if (end < 12) {
    std::fclose(file);
    return Fault{Failure::WrongKind, 0, "cannot add tags to " + path + ": not a whole WAV file"};
  }
  if (end % 2 != 0) chunk.insert(chunk.begin(), 0);  // the data chunk's pad byte
  const uint64_t riff = static_cast<uint64_t>(end) + chunk.size() - 8;
  if (riff > kRiffLimit) {
    std::fclose(file);
    return Fault{Failure::Unsupported, 0, "too long for tags in one WAV file"};
  }
  std::vector<uint8_t> riff_field;
  PutU32(riff_field, static_cast<uint32_t>(riff));
  ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size() &&
       std::fseek(file, 4, SEEK_SET) == 0 &&
       std::fwrite(riff_field.data(), 1, riff_field.size(), file) == riff_field.size();
  if (std::fclose(file) != 0) ok = false;
  if (!ok) return WriteFailure(path);
  return {};
}

}  // namespace calendo::tool
