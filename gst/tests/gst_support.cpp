#include "gst_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace gsttest {
namespace {

// GStreamer on the build's plugin folder, with a registry of the build's own
// so that the user's registry cache plays no part.
class GstEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    std::filesystem::create_directories(std::filesystem::path(CALENDO_GST_REGISTRY).parent_path());
    setenv("GST_REGISTRY", CALENDO_GST_REGISTRY, 1);
    setenv("GST_PLUGIN_PATH", CALENDO_GST_PLUGIN_DIR, 1);
    // Plugins are scanned in this process: a scanner process of its own could
    // not load a plugin built with the sanitizers, whose runtime it lacks.
    setenv("GST_REGISTRY_FORK", "no", 1);
    gst_init(nullptr, nullptr);
    ASSERT_NE(gst_registry_find_plugin(gst_registry_get(), "calendo"), nullptr)
        << "the plugin is not in " CALENDO_GST_PLUGIN_DIR;
  }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new GstEnvironment);

std::vector<uint8_t> Codes(std::mt19937& random, size_t count, int bits) {
  std::uniform_int_distribution<int> code(0, (1 << bits) - 1);
  std::vector<uint8_t> codes(count);
  for (uint8_t& c : codes) c = static_cast<uint8_t>(code(random));
  return codes;
}

}  // namespace

void WriteRecording(const std::filesystem::path& path, const std::string& modes, uint32_t seed,
                    bool vqm) {
  std::mt19937 random(seed);
  if (vqm) {
    testkit::VqmFile file;
    const bool sp = modes.front() == 'S';
    file.mode = sp ? 5 : 0;
    for (size_t p = 0; p < modes.size(); ++p) {
      const testkit::Bytes packed =
          testkit::pack_codes(Codes(random, sp ? 1360 : 2040, sp ? 3 : 2), sp ? 3 : 2);
      file.audio.insert(file.audio.end(), packed.begin(), packed.end());
    }
    file.gaps.push_back({700, 333});
    file.write(path);
    return;
  }
  testkit::VqrFile file;
  const bool has_sp = modes.find('S') != std::string::npos;
  const bool has_lp = modes.find('L') != std::string::npos;
  file.header.file_mode = has_sp && has_lp ? 2 : has_lp ? 1 : 0;
  for (const char mode : modes) {
    file.pages.push_back(mode == 'S' ? testkit::vqr_sp_page(Codes(random, 1360, 3))
                                     : testkit::vqr_lp_page(Codes(random, 2046, 2)));
  }
  file.write(path);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Converted Convert(const std::filesystem::path& source) {
  testkit::TempDir folder;
  const std::string out = folder.path().string();
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::execl(CALENDO_CONVERT, CALENDO_CONVERT, "--bits", "16", "-o", out.c_str(), source.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("calendo-convert failed on " + source.string());
  const std::string wav = ReadFile(folder.file(source.stem().string() + ".wav"));
  if (wav.size() < 44) throw std::runtime_error("calendo-convert wrote no WAV header");
  Converted converted;
  for (int i = 0; i < 4; ++i)
    converted.rate |= static_cast<uint32_t>(static_cast<uint8_t>(wav[24 + i])) << (8 * i);
  converted.data = wav.substr(44);
  return converted;
}

std::string DecodebinPipeline(const std::filesystem::path& path) {
  return "filesrc location=\"" + path.string() + "\" ! decodebin ! appsink name=out sync=false";
}

// Takes the messages waiting on `bus`: the first error's text and the tags.
// True once an error has come.
bool ReadBus(GstBus* bus, Decoded& decoded) {
  while (GstMessage* message = gst_bus_pop(bus)) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && !decoded.error) {
      GError* failure = nullptr;
      gst_message_parse_error(message, &failure, nullptr);
      decoded.error = failure->message;
      g_error_free(failure);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_TAG) {
      GstTagList* tags = nullptr;
      gst_message_parse_tag(message, &tags);
      gchar* codec = nullptr;
      if (gst_tag_list_get_string(tags, GST_TAG_AUDIO_CODEC, &codec)) decoded.audio_codec = codec;
      g_free(codec);
      gst_tag_list_get_uint(tags, "calendo-sp-pages", &decoded.sp_pages);
      gst_tag_list_get_uint(tags, "calendo-lp-pages", &decoded.lp_pages);
      gchar* title = nullptr;
      if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) decoded.title = title;
      g_free(title);
      GstDateTime* date_time = nullptr;
      if (gst_tag_list_get_date_time(tags, GST_TAG_DATE_TIME, &date_time)) {
        GDateTime* date = gst_date_time_to_g_date_time(date_time);
        if (date != nullptr) {
          decoded.date_time = g_date_time_to_unix(date);
          g_date_time_unref(date);
        }
        gst_date_time_unref(date_time);
      }
      gst_tag_list_unref(tags);
    }
    gst_message_unref(message);
  }
  return decoded.error.has_value();
}

Decoded Decode(const std::string& description) {
  Decoded decoded;
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (pipeline == nullptr) throw std::runtime_error(error ? error->message : "no pipeline");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  bool duration_asked = false;
  // Until the end of the stream or an error, with a bound on the wait.
  for (int idle = 0; idle < 1000;) {
    if (ReadBus(bus, decoded)) break;
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_MSECOND);
    if (sample == nullptr) {
      if (gst_app_sink_is_eos(GST_APP_SINK(sink))) break;
      ++idle;
      continue;
    }
    if (!duration_asked) {
      gst_element_query_duration(pipeline, GST_FORMAT_TIME, &decoded.duration_time);
      gst_element_query_duration(pipeline, GST_FORMAT_DEFAULT, &decoded.duration_samples);
      GstQuery* seeking = gst_query_new_seeking(GST_FORMAT_TIME);
      if (gst_element_query(pipeline, seeking)) {
        gboolean seekable = FALSE;
        gst_query_parse_seeking(seeking, nullptr, &seekable, nullptr, nullptr);
        decoded.seekable = seekable;
      }
      gst_query_unref(seeking);
      GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
      gst_structure_get_int(s, "rate", &decoded.rate);
      duration_asked = true;
    }
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    decoded.data.append(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(buffer, &map);
    gst_sample_unref(sample);
  }
  ReadBus(bus, decoded);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return decoded;
}

}  // namespace gsttest
