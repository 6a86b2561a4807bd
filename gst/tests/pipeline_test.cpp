// The plugin as players use it: decodebin finds the type and picks
// calendodec; the samples, the duration and seeking against what
// calendo-convert writes for the same file.
#include <gst/app/gstappsink.h>
#include <gst/base/gsttypefindhelper.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "gst_support.h"

namespace gsttest {
namespace {

namespace fs = std::filesystem;

struct Case {
  const char* name;
  std::string modes;
  bool vqm;
};

std::string Repeat(const std::string& pattern, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += pattern;
  return out;
}

TEST(Decodebin, SamplesAndDurationEqualTheConversion) {
  testkit::TempDir dir;
  const std::vector<Case> cases = {
      {"sp.vqr", "SSSSSSS", false},    {"lp.vqr", "LLLLL", false},
      {"mixed.vqr", "SLLSSLS", false}, {"lp-first-mixed.vqr", "LLLS", false},
      {"gap-sp.vqm", "SSSSS", true},   {"gap-lp.vqm", "LLLL", true}};
  uint32_t seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir.file(c.name);
    WriteRecording(path, c.modes, seed++, c.vqm);
    const Converted expected = Convert(path);
    const Decoded decoded = Decode(DecodebinPipeline(path));
    ASSERT_FALSE(decoded.error) << *decoded.error;
    EXPECT_EQ(decoded.rate, static_cast<int>(expected.rate));
    EXPECT_TRUE(decoded.seekable);
    EXPECT_EQ(decoded.audio_codec, "G.726 ADPCM");
    const auto count = [&](char mode) {
      return static_cast<guint>(std::count(c.modes.begin(), c.modes.end(), mode));
    };
    EXPECT_EQ(decoded.sp_pages, count('S'));
    EXPECT_EQ(decoded.lp_pages, count('L'));
    EXPECT_TRUE(decoded.data == expected.data)
        << decoded.data.size() << " bytes decoded, " << expected.data.size() << " converted";
    const auto samples = static_cast<gint64>(expected.data.size() / 2);
    EXPECT_EQ(decoded.duration_samples, samples);
    EXPECT_EQ(decoded.duration_time,
              static_cast<gint64>(
                  gst_util_uint64_scale(static_cast<guint64>(samples), GST_SECOND, expected.rate)));
  }
}

// The name and modification time of the file read are the title and date,
// as file managers and indexers show them; a source that is no file adds
// neither.
TEST(Decodebin, TheFileGivesTitleAndDate) {
  testkit::TempDir dir;
  const fs::path path = dir.file("Meeting 14 March.vqr");
  WriteRecording(path, "SSLS", 3);
  const struct timespec times[2] = {{1236900000, 0}, {1236900000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  const Decoded from_file = Decode(DecodebinPipeline(path));
  ASSERT_FALSE(from_file.error) << *from_file.error;
  EXPECT_EQ(from_file.title, "Meeting 14 March.vqr");
  EXPECT_EQ(from_file.date_time, 1236900000);

  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const Decoded from_pipe =
      Decode("fdsrc fd=" + std::to_string(fd) + " ! calendodec ! appsink name=out sync=false");
  close(fd);
  ASSERT_FALSE(from_pipe.error) << *from_pipe.error;
  EXPECT_EQ(from_pipe.data, from_file.data);
  EXPECT_EQ(from_pipe.title, "");
  EXPECT_FALSE(from_pipe.date_time.has_value());
}

// Pulls samples until `enough` bytes or the end; the first sample's time in `first_pts`.
std::string Collect(GstElement* sink, std::size_t enough, GstClockTime& first_pts) {
  std::string data;
  first_pts = GST_CLOCK_TIME_NONE;
  while (data.size() < enough) {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
    if (sample == nullptr) break;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (data.empty()) first_pts = GST_BUFFER_PTS(buffer);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    data.append(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(buffer, &map);
    gst_sample_unref(sample);
  }
  return data;
}

// The decodebin pipeline of `path` paused, its sink "out" pulling two buffers at most.
void OpenPaused(const fs::path& path, GstElement*& pipeline, GstElement*& sink) {
  pipeline = gst_parse_launch((DecodebinPipeline(path) + " max-buffers=2").c_str(), nullptr);
  ASSERT_NE(pipeline, nullptr);
  sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  ASSERT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND),
            GST_STATE_CHANGE_SUCCESS);
}

struct Target {
  GstClockTime time;
  std::size_t bytes;  // to collect; SIZE_MAX: to the end
};

// Seeks the paused or playing pipeline to `target`, plays, and expects the
// converted samples from there.
void SeekAndCompare(GstElement* pipeline, GstElement* sink, const Converted& expected,
                    const Target& target) {
  SCOPED_TRACE(target.time);
  const guint64 total = expected.data.size() / 2;
  ASSERT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                      GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                      static_cast<gint64>(target.time)));
  gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);

  GstClockTime first_pts;
  const std::string data = Collect(sink, target.bytes, first_pts);
  const guint64 first = gst_util_uint64_scale_ceil(target.time, expected.rate, GST_SECOND);
  EXPECT_EQ(first_pts, gst_util_uint64_scale(first, GST_SECOND, expected.rate));
  gint64 position = -1;
  ASSERT_TRUE(gst_element_query_position(pipeline, GST_FORMAT_DEFAULT, &position));
  EXPECT_GE(static_cast<guint64>(position), first);
  EXPECT_LE(static_cast<guint64>(position), total);
  ASSERT_FALSE(data.empty());
  if (target.bytes == SIZE_MAX) {
    EXPECT_EQ(data.size(), 2 * (total - first));
  }
  EXPECT_TRUE(data == expected.data.substr(2 * first, data.size()))
      << "samples from " << first << " differ";
}

TEST(Decodebin, SeekYieldsTheSamplesFromThere) {
  testkit::TempDir dir;
  const fs::path path = dir.file("long.vqr");
  // Long enough that seeks cross several of the decoder's saved codec states.
  WriteRecording(path, Repeat("SSLSL", 60), 11);
  const Converted expected = Convert(path);
  const guint64 total = expected.data.size() / 2;

  GstElement* pipeline = nullptr;
  GstElement* sink = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenPaused(path, pipeline, sink));

  const GstClockTime duration = gst_util_uint64_scale(total, GST_SECOND, expected.rate);
  // The middle (a stretch of samples), then near the end (all that is left),
  // then back near the start (a saved state behind the decoder).
  const Target targets[] = {
      {duration / 2, 40000}, {duration - 30 * GST_MSECOND, SIZE_MAX}, {GST_SECOND / 7, 40000}};
  for (const Target& target : targets) SeekAndCompare(pipeline, sink, expected, target);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

// Waits for the element's message that every checkpoint is known; its count.
guint WaitForCheckpoints(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  guint count = 0;
  for (;;) {
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_ELEMENT | GST_MESSAGE_ERROR));
    if (message == nullptr) break;
    const GstStructure* s = gst_message_get_structure(message);
    const bool done = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR ||
                      gst_structure_has_name(s, "calendodec-checkpoints");
    if (done && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT)
      gst_structure_get_uint(s, "checkpoints", &count);
    gst_message_unref(message);
    if (done) break;
  }
  gst_object_unref(bus);
  return count;
}

TEST(Decodebin, OnceEveryCheckpointIsKnownSeeksAnywhereAreExact) {
  testkit::TempDir dir;
  const fs::path path = dir.file("longer.vqr");
  WriteRecording(path, Repeat("SSLSLSS", 60), 13);  // 420 pages: 7 checkpoints
  const Converted expected = Convert(path);
  const guint64 total = expected.data.size() / 2;

  GstElement* pipeline = nullptr;
  GstElement* sink = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenPaused(path, pipeline, sink));
  EXPECT_EQ(WaitForCheckpoints(pipeline), 420u / 64 + 1);

  const GstClockTime duration = gst_util_uint64_scale(total, GST_SECOND, expected.rate);
  // Far ahead (nine tenths in), just past a checkpoint, back to the start.
  const Target targets[] = {{duration / 10 * 9, 40000},
                            {duration / 420 * 193, 20000},
                            {GST_SECOND / 9, 40000},
                            {duration - 10 * GST_MSECOND, SIZE_MAX}};
  for (const Target& target : targets) SeekAndCompare(pipeline, sink, expected, target);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

TEST(Decodebin, TwoPipelinesAtOnceEachEqualTheirFile) {
  testkit::TempDir dir;
  const fs::path files[2] = {dir.file("a.vqr"), dir.file("b.vqm")};
  WriteRecording(files[0], Repeat("SLS", 40), 21);
  WriteRecording(files[1], Repeat("L", 120), 22, true);
  const Converted expected[2] = {Convert(files[0]), Convert(files[1])};

  Decoded decoded[2];
  std::thread threads[2];
  for (int i = 0; i < 2; ++i)
    threads[i] = std::thread([&, i] { decoded[i] = Decode(DecodebinPipeline(files[i])); });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(files[i].filename().string());
    ASSERT_FALSE(decoded[i].error) << *decoded[i].error;
    EXPECT_TRUE(decoded[i].data == expected[i].data);
  }
}

std::string TypeOf(const fs::path& path) {
  const std::string bytes = ReadFile(path);
  GstCaps* caps = gst_type_find_helper_for_data(
      nullptr, reinterpret_cast<const guint8*>(bytes.data()), bytes.size(), nullptr);
  if (caps == nullptr) return "";
  std::string name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  gst_caps_unref(caps);
  return name;
}

TEST(TypeFind, ClaimsRecordingsAndNotPlainWav) {
  testkit::TempDir dir;
  WriteRecording(dir.file("a.vqr"), "SL", 31);
  WriteRecording(dir.file("a.vqm"), "SS", 32, true);
  EXPECT_EQ(TypeOf(dir.file("a.vqr")), "audio/x-vqr");
  EXPECT_EQ(TypeOf(dir.file("a.vqm")), "audio/x-vqm");

  // A plain WAV file, also one whose data happen to start like a recording.
  std::string wav = "RIFF";
  wav += std::string(
      "\x24\x08\0\0WAVEfmt "
      "\x10\0\0\0\x01\0\x01\0\x11\x2b\0\0\x22\x56\0\0\x02\0\x10\0data\0\x08\0\0",
      40);
  wav += "OIFF....WAVE";
  wav.resize(44 + 2048, '\0');
  std::ofstream(dir.file("plain.wav"), std::ios::binary) << wav;
  EXPECT_EQ(TypeOf(dir.file("plain.wav")), "audio/x-wav");
}

}  // namespace
}  // namespace gsttest
