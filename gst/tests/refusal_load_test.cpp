// A refused file never leaves a pipeline waiting: its error reaches the bus
// (or the state change fails) every time, in a long loop and with eight
// pipelines at once in one process, as in an indexer or a file manager.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gst_support.h"

namespace gsttest {
namespace {

namespace fs = std::filesystem;

// Plays `path` through decodebin to a fake sink; true when the element's
// refusal came to the bus within the deadline.
bool EndsWithin(const fs::path& path, GstClockTime deadline) {
  const std::string description =
      "filesrc location=\"" + path.string() + "\" ! decodebin ! fakesink sync=false";
  GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
  if (pipeline == nullptr) return false;
  GstBus* bus = gst_element_get_bus(pipeline);
  // A refusal may fail the state change; it must say why on the bus either way.
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstMessage* end = gst_bus_timed_pop_filtered(
      bus, deadline, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
  bool refused = false;
  if (end != nullptr && GST_MESSAGE_TYPE(end) == GST_MESSAGE_ERROR) {
    GError* failure = nullptr;
    gst_message_parse_error(end, &failure, nullptr);
    refused = std::string(failure->message).find("Not a playable voice recording") == 0;
    g_error_free(failure);
  }
  if (end != nullptr) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return refused;
}

fs::path CutRecording(const testkit::TempDir& dir) {
  WriteRecording(dir.file("whole.vqr"), "SS", 61);
  const std::string whole = ReadFile(dir.file("whole.vqr"));
  const fs::path cut = dir.file("cut61.vqr");
  testkit::write_file(cut, testkit::Bytes(whole.begin(), whole.begin() + 61));
  return cut;
}

TEST(RefusalUnderLoad, ARefusedFileEndsEveryPipelineInALoop) {
  testkit::TempDir dir;
  const fs::path cut = CutRecording(dir);
  int stuck = 0;
  for (int run = 0; run < 1000; ++run) stuck += EndsWithin(cut, 5 * GST_SECOND) ? 0 : 1;
  EXPECT_EQ(stuck, 0) << "of 1000 runs";
}

TEST(RefusalUnderLoad, ARefusedFileEndsEightPipelinesAtOnce) {
  testkit::TempDir dir;
  const fs::path cut = CutRecording(dir);
  std::atomic<int> stuck{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int run = 0; run < 50; ++run) stuck += EndsWithin(cut, 5 * GST_SECOND) ? 0 : 1;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(stuck.load(), 0) << "of 400 runs";
}

}  // namespace
}  // namespace gsttest
