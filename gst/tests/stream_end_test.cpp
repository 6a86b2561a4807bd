// Where the element's stream ends, and how it is cut into buffers: pages
// that give no samples do not end it early, a segment seek ends its stretch
// with segment-done rather than the end of the stream, and no buffer holds
// more than a tenth of a second or so (a non-flushing seek waits for one).
// Over the seed corpus of the decoder's fuzz target, the element gives what
// the converter gives wherever both read a file.
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "gst_support.h"

namespace gsttest {
namespace {

namespace fs = std::filesystem;

// The samples calendodec alone gives for `path`, as Decode() does.
Decoded DecodeWithElement(const fs::path& path) {
  return Decode("filesrc location=\"" + path.string() +
                "\" ! calendodec ! appsink name=out sync=false");
}

TEST(StreamEnd, PagesOfNoSamplesDoNotEndTheStream) {
  testkit::TempDir dir;
  testkit::VqrFile file;
  file.header.file_mode = calendo::kFileModeBoth;
  file.header.lp = {11, 2, 0, 0};  // an LP page holds no codes
  std::vector<uint8_t> codes(1360);
  for (std::size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<uint8_t>(i * 5 % 8);
  // Runs of eight, as decoders take pages in groups.
  for (int i = 0; i < 8; ++i) file.pages.push_back(testkit::vqr_sp_page(codes));
  for (int i = 0; i < 8; ++i) file.pages.push_back(testkit::vqr_lp_page());
  for (int i = 0; i < 3; ++i) file.pages.push_back(testkit::vqr_sp_page(codes));
  const fs::path path = dir.file("empty-pages.vqr");
  file.write(path);

  const Converted expected = Convert(path);
  ASSERT_EQ(expected.data.size(), 11u * 1360 * 2);
  const Decoded decoded = DecodeWithElement(path);
  ASSERT_FALSE(decoded.error) << *decoded.error;
  EXPECT_EQ(decoded.data.size(), expected.data.size());
  EXPECT_TRUE(decoded.data == expected.data);
}

TEST(StreamEnd, TheElementGivesWhatTheConverterGivesOverTheFuzzCorpus) {
  testkit::TempDir dir;
  int compared = 0;
  int refused_by_element = 0;
  for (const auto& entry : fs::directory_iterator(CALENDO_RECORDING_CORPUS)) {
    const fs::path copy = dir.file("input");
    fs::copy_file(entry.path(), copy, fs::copy_options::overwrite_existing);
    Converted expected;
    try {
      expected = Convert(copy);
    } catch (const std::exception&) {
      continue;  // the converter refuses it
    }
    SCOPED_TRACE(entry.path().filename().string());
    const Decoded decoded = DecodeWithElement(copy);
    if (decoded.error) {
      ++refused_by_element;  // the element is stricter about headers than the converter
      continue;
    }
    ++compared;
    EXPECT_EQ(decoded.data.size(), expected.data.size());
    EXPECT_TRUE(decoded.data == expected.data);
  }
  EXPECT_GT(compared, 10) << refused_by_element << " refused by the element only";
}

TEST(StreamEnd, ASegmentSeekEndsWithSegmentDoneInBuffersOfATenthOfASecond) {
  testkit::TempDir dir;
  const fs::path path = dir.file("long.vqr");
  WriteRecording(path, std::string(40, 'L'), 17);  // 8000 Hz, about 11.7 s
  const Converted expected = Convert(path);

  GstElement* pipeline = gst_parse_launch(
      ("filesrc location=\"" + path.string() + "\" ! calendodec ! appsink name=out sync=false")
          .c_str(),
      nullptr);
  ASSERT_NE(pipeline, nullptr);
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  ASSERT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND),
            GST_STATE_CHANGE_SUCCESS);
  const GstClockTime start = GST_SECOND, stop = 3 * GST_SECOND;
  ASSERT_TRUE(gst_element_seek(
      pipeline, 1.0, GST_FORMAT_TIME,
      GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE | GST_SEEK_FLAG_SEGMENT),
      GST_SEEK_TYPE_SET, static_cast<gint64>(start), GST_SEEK_TYPE_SET, static_cast<gint64>(stop)));
  gst_element_set_state(pipeline, GST_STATE_PLAYING);

  std::string data;
  std::size_t largest = 0;
  GstBus* bus = gst_element_get_bus(pipeline);
  bool segment_done = false, eos = false;
  for (int waits = 0; waits < 500 && !segment_done && !eos; ++waits) {
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 0)) {
      GstMapInfo map;
      GstBuffer* buffer = gst_sample_get_buffer(sample);
      gst_buffer_map(buffer, &map, GST_MAP_READ);
      data.append(reinterpret_cast<const char*>(map.data), map.size);
      largest = std::max<std::size_t>(largest, map.size / 2);
      gst_buffer_unmap(buffer, &map);
      gst_sample_unref(sample);
    }
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 20 * GST_MSECOND,
        GstMessageType(GST_MESSAGE_SEGMENT_DONE | GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (message == nullptr) continue;
    segment_done = GST_MESSAGE_TYPE(message) == GST_MESSAGE_SEGMENT_DONE;
    eos = !segment_done;
    gst_message_unref(message);
  }
  while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND)) {
    GstMapInfo map;
    gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ);
    data.append(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
    gst_sample_unref(sample);
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);

  EXPECT_TRUE(segment_done);
  EXPECT_FALSE(eos);
  const guint64 first = gst_util_uint64_scale_ceil(start, expected.rate, GST_SECOND);
  const guint64 last = gst_util_uint64_scale_ceil(stop, expected.rate, GST_SECOND);
  EXPECT_EQ(data.size(), 2 * (last - first));
  EXPECT_TRUE(data == expected.data.substr(2 * first, data.size()));
  EXPECT_LE(largest, 1024u);
}

}  // namespace
}  // namespace gsttest
