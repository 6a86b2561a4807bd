// How long a seek in a recording takes through the GStreamer element: from
// a flushing seek to nine tenths of the file (then to a half and a tenth)
// until the first buffer reaches the sink, in wall time and in the process's
// CPU time, on `filesrc ! calendodec ! fakesink`. With --after-checkpoints
// the seeks wait for the element's message that its checkpoint pass is done,
// and the pass's own time is printed too.
//
// Usage: gst_seek_bench FILE [--after-checkpoints]   (GST_PLUGIN_PATH names
// the plugin's folder)
#include <gst/gst.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct FirstBuffer {
  std::mutex lock;
  std::condition_variable arrived;
  bool waiting = false;
  bool seen = false;
  std::chrono::steady_clock::time_point when;
};

GstPadProbeReturn on_buffer(GstPad*, GstPadProbeInfo*, gpointer data) {
  auto* first = static_cast<FirstBuffer*>(data);
  std::lock_guard<std::mutex> guard(first->lock);
  if (first->waiting && !first->seen) {
    first->seen = true;
    first->when = std::chrono::steady_clock::now();
    first->arrived.notify_all();
  }
  return GST_PAD_PROBE_OK;
}

double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// The pass's seconds from its message, or a negative value without one.
double wait_for_checkpoints(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  double seconds = -1;
  for (;;) {
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_ELEMENT | GST_MESSAGE_ERROR));
    if (message == nullptr) break;
    const GstStructure* s = gst_message_get_structure(message);
    const bool error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
    const bool done = !error && gst_structure_has_name(s, "calendodec-checkpoints");
    if (done) gst_structure_get_double(s, "seconds", &seconds);
    gst_message_unref(message);
    if (done || error) break;
  }
  gst_object_unref(bus);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: gst_seek_bench FILE [--after-checkpoints]\n");
    return 2;
  }
  const bool after = argc > 2 && std::strcmp(argv[2], "--after-checkpoints") == 0;
  gchar* location = g_strescape(argv[1], nullptr);
  const std::string description = std::string("filesrc location=\"") + location +
                                  "\" ! calendodec ! fakesink name=out sync=false";
  g_free(location);
  GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
  if (pipeline == nullptr) return 1;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  FirstBuffer first;
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, on_buffer, &first, nullptr);

  const auto opened = std::chrono::steady_clock::now();
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  if (gst_element_get_state(pipeline, nullptr, nullptr, 60 * GST_SECOND) !=
      GST_STATE_CHANGE_SUCCESS) {
    std::fprintf(stderr, "gst_seek_bench: the pipeline does not preroll\n");
    return 1;
  }
  std::printf(
      "preroll: %.1f ms\n",
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - opened).count());
  if (after) {
    const double seconds = wait_for_checkpoints(pipeline);
    if (seconds < 0) {
      std::fprintf(stderr, "gst_seek_bench: no checkpoint message\n");
      return 1;
    }
    std::printf("checkpoint pass: %.1f ms (wall, from the file's reading)\n", seconds * 1e3);
  }
  gint64 duration = 0;
  gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration);
  for (const double share : {0.9, 0.5, 0.1}) {
    {
      std::lock_guard<std::mutex> guard(first.lock);
      first.waiting = true;
      first.seen = false;
    }
    const double cpu0 = cpu_ms();
    const auto start = std::chrono::steady_clock::now();
    gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            static_cast<gint64>(static_cast<double>(duration) * share));
    std::unique_lock<std::mutex> lock(first.lock);
    first.arrived.wait_for(lock, std::chrono::seconds(30), [&] { return first.seen; });
    const double wall = std::chrono::duration<double, std::milli>(first.when - start).count();
    const double cpu = cpu_ms() - cpu0;
    first.waiting = false;
    lock.unlock();
    std::printf("seek to %2.0f %%: first buffer after %.2f ms, %.2f ms CPU\n", share * 100, wall,
                cpu);
    gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pad);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return 0;
}
