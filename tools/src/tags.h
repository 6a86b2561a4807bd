// The tags of a converted recording: title (the recorder file's name without
// its extension), date (its modification time), a comment telling the
// container, SP and LP pages and play time, and the software that wrote it.
//
// TagLib writes them into the finished file: Vorbis comments in FLAC, Ogg
// Vorbis and Opus files (the software as SOFTWARE, in Opus ENCODER), an ID3v2.4 tag in MP3 files
// (the date in TDRC), and a LIST/INFO chunk with an ID3v2.4 chunk in WAV files. Only the tags
// change; the samples and, in a WAV file, the header and data chunk stay as written.
#pragma once

#include <ctime>
#include <string>

#include "audio_format.h"
#include "calendo/fault.h"

namespace calendo::tool {

struct ArchiveTags {
  std::string title;
  std::string date;  // ISO 8601 in UTC: 2020-03-05T14:07:09Z
  std::string comment;
  std::string software;
};

struct RecorderInfo;

ArchiveTags MakeArchiveTags(const RecorderInfo& info, const timespec& modified);

// Writes the tags into the complete file at `path`, of `format`. After a
// refusal the file may be changed.
Status WriteTags(const std::string& path, AudioFormat format, const ArchiveTags& tags);

}  // namespace calendo::tool
