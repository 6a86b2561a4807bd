// The tags of a converted recording: title (the recorder file's name without
// its extension), date (its modification time), a comment telling the
// container, SP and LP pages and play time, and the software that wrote it.
//
// Formats libsndfile writes get them as its strings (Vorbis comments in FLAC,
// Ogg and Opus files, ID3 in MP3 files, which have no software field). A WAV file written by the
// player's conversion gets them as a LIST/INFO chunk appended after its data chunk, so that its
// header and samples stay exactly as they were.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include <sndfile.h>

#include "calendo/fault.h"

namespace calendo::tool {

struct ArchiveTags {
  std::string title;
  std::string date;
  std::string comment;
  std::string software;
};

struct RecorderInfo;

ArchiveTags MakeArchiveTags(const RecorderInfo& info, const timespec& modified);

// Sets the tags on a file open for writing, before its first sample.
Status SetTags(SNDFILE* file, const ArchiveTags& tags);

// Appends a LIST/INFO chunk (INAM, ICRD, ICMT, ISFT) to the RIFF WAV file at
// `path` and sets its RIFF length to match. An odd data chunk gets its pad
// byte first.
Status AppendWavInfo(const std::string& path, const ArchiveTags& tags);

}  // namespace calendo::tool
