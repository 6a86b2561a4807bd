// Support for the plugin's tests: a GStreamer set up on the build's plugin
// folder with a registry of its own, recorder files made by the project's
// writer, the samples calendo-convert writes for them, and pipelines that
// decode a file into memory.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "testing/recorder_writer.h"

namespace gsttest {

// Page modes: 'S' SP, 'L' LP; codes drawn from `seed`. A vqm file is SP or LP
// throughout (by its first page) and its audio is broken by a gap.
void WriteRecording(const std::filesystem::path& path, const std::string& modes, uint32_t seed,
                    bool vqm = false);

// The data chunk and rate of `calendo-convert --bits 16` for `source`.
struct Converted {
  uint32_t rate = 0;
  std::string data;
};
Converted Convert(const std::filesystem::path& source);

// What a pipeline produced: the samples' bytes, the caps' rate, the duration
// it answered in TIME and DEFAULT, whether it can seek in TIME, the tags,
// and the first error's text.
struct Decoded {
  std::string data;
  int rate = 0;
  gint64 duration_time = -1;
  gint64 duration_samples = -1;
  bool seekable = false;
  std::string audio_codec;  // from the tags
  guint sp_pages = 0;
  guint lp_pages = 0;
  std::string title;
  std::optional<gint64> date_time;  // seconds since the epoch
  std::optional<std::string> error;
};

// Runs `description` (which must end in "appsink name=out") to its end.
Decoded Decode(const std::string& description);
std::string DecodebinPipeline(const std::filesystem::path& path);

std::string ReadFile(const std::filesystem::path& path);

}  // namespace gsttest
