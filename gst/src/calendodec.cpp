#include "calendodec.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "calendo/recording_decoder.h"
#include "checkpoint_pass.h"
#include "file_tags.h"
#include "pad_source.h"

GST_DEBUG_CATEGORY_STATIC(calendo_dec_debug);
#define GST_CAT_DEFAULT calendo_dec_debug

namespace {

using calendo::Container;
using calendo::RecordingDecoder;
using calendo::RecordingPages;
using calendo::gst::PulledSource;

// Larger pushed inputs are refused rather than held: the longest recording a
// recorder makes is a small fraction of this.
constexpr guint64 kMaxFileBytes = guint64{1} << 30;
constexpr guint kPullChunk = 1u << 20;
// Samples of one output buffer at most (93 ms at 11025 Hz): a non-flushing
// seek waits for the buffer being pushed.
constexpr std::size_t kBufferSamples = 1024;
// What push_pages() gives when a segment seek's stretch has played: the task
// pauses without an end of stream.
constexpr GstFlowReturn kSegmentDone = GST_FLOW_CUSTOM_SUCCESS;
// A seek further than this past the decoder and its checkpoints waits for
// the checkpoint pass (some seconds of decoding alone).
constexpr uint32_t kPagesWorthWaiting = 16 * calendo::kCheckpointPages;

// Everything the element knows about the file it plays.
struct Stream {
  std::vector<uint8_t> held;  // pushed (or pulled without a known size) bytes
  std::unique_ptr<calendo::ByteSource> source;
  const PulledSource* pulled = nullptr;  // `source`, when it pulls
  std::optional<RecordingPages> recording;
  std::unique_ptr<RecordingDecoder> decoder;
  uint64_t next_sample = 0;      // sample index of the next sample pushed
  std::vector<int16_t> decoded;  // samples decoded and not pushed yet, from next_sample on
  uint64_t skip = 0;             // samples of the next page that a seek passes over
  uint64_t stop_sample = UINT64_MAX;
  bool headers_sent = false;
  bool discont = true;
  GstEvent* pending_segment = nullptr;
  // Pull mode: every checkpoint computed ahead. Last, so that it stops first.
  std::unique_ptr<calendo::gst::CheckpointPass> pass;

  ~Stream() {
    if (pending_segment) gst_event_unref(pending_segment);
  }
  bool loaded() const { return decoder != nullptr; }
};

// What queries and seeks from other threads (the application's, a sink's)
// read while the streaming thread plays: set by that thread, under `lock`.
struct Timeline {
  std::mutex lock;
  uint32_t sample_rate = 0;  // 0 until a recording is loaded
  uint64_t total_samples = 0;
  uint64_t position = 0;   // sample index of the next sample pushed
  bool streaming = false;  // push mode: no seeking
};

}  // namespace

struct _GstCalendoDec {
  GstElement parent;
  GstPad* sinkpad;
  GstPad* srcpad;
  GstSegment segment;
  Stream* stream;
  Timeline* timeline;
};

G_DEFINE_TYPE(GstCalendoDec, gst_calendo_dec, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-vqr; audio/x-vqm"));

// A sometimes pad, added once the file is read: its caps are raw audio from
// the start, and an always pad would let decodebin expose it while this
// element's task already pushes.
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/x-raw, format = (string) S16LE, layout = (string) interleaved, "
                    "channels = (int) 1, rate = (int) { 8000, 11025 }"));

namespace {

GstClockTime sample_time(const GstCalendoDec* self, uint64_t sample) {
  return gst_util_uint64_scale(sample, GST_SECOND, self->stream->decoder->sample_rate());
}

void reset_stream(GstCalendoDec* self) {
  if (self->srcpad) {
    gst_element_remove_pad(GST_ELEMENT_CAST(self), self->srcpad);
    self->srcpad = nullptr;
  }
  delete self->stream;
  self->stream = new Stream();
  gst_segment_init(&self->segment, GST_FORMAT_TIME);
  std::lock_guard<std::mutex> guard(self->timeline->lock);
  self->timeline->sample_rate = 0;
  self->timeline->total_samples = 0;
  self->timeline->position = 0;
}

// Sets where playing goes on, for the position query.
void publish_position(GstCalendoDec* self, uint64_t sample) {
  std::lock_guard<std::mutex> guard(self->timeline->lock);
  self->timeline->position = sample;
}

// Posts the refusal of a file as an error on the bus.
void wait_until_errors_pass(GstCalendoDec* self);

void post_refusal(GstCalendoDec* self, const calendo::Fault& refusal) {
  wait_until_errors_pass(self);
  const std::string text = "Not a playable voice recording: " + refusal.message + " (at byte " +
                           std::to_string(refusal.offset) + ")";
  if (refusal.offset == 0) {
    GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s", text.c_str()), (nullptr));
  } else {
    GST_ELEMENT_ERROR(self, STREAM, DEMUX, ("%s", text.c_str()), (nullptr));
  }
}

// Reads the held bytes as a recording; false (and an error posted) if refused.
bool open_recording(GstCalendoDec* self) {
  Stream& s = *self->stream;
  if (!s.source) s.source = std::make_unique<calendo::SpanSource>(s.held);
  calendo::Result<RecordingPages> result = RecordingPages::read(*s.source);
  if (!result.ok()) {
    post_refusal(self, result.fault());
    return false;
  }
  s.recording.emplace(std::move(result.value()));
  s.decoder = std::make_unique<RecordingDecoder>(*s.recording);
  {
    std::lock_guard<std::mutex> guard(self->timeline->lock);
    self->timeline->sample_rate = s.decoder->sample_rate();
    self->timeline->total_samples = s.decoder->total_samples();
  }
  self->segment.duration = static_cast<gint64>(sample_time(self, s.decoder->total_samples()));
  GST_INFO_OBJECT(self, "%u pages (%u SP, %u LP) at %u Hz", s.recording->page_count(),
                  s.recording->pages_of(calendo::kSp), s.recording->pages_of(calendo::kLp),
                  s.decoder->sample_rate());
  return true;
}

gboolean src_query(GstPad* pad, GstObject* parent, GstQuery* query);
gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event);

// Adds the source pad with stream start, caps, segment and tags.
void send_headers(GstCalendoDec* self) {
  Stream& s = *self->stream;
  self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
  gst_pad_use_fixed_caps(self->srcpad);
  gst_pad_set_query_function(self->srcpad, GST_DEBUG_FUNCPTR(src_query));
  gst_pad_set_event_function(self->srcpad, GST_DEBUG_FUNCPTR(src_event));
  gst_pad_set_active(self->srcpad, TRUE);

  gchar* stream_id = gst_pad_create_stream_id(self->srcpad, GST_ELEMENT_CAST(self), nullptr);
  GstEvent* start = gst_event_new_stream_start(stream_id);
  gst_event_set_group_id(start, gst_util_group_id_next());
  gst_pad_push_event(self->srcpad, start);
  g_free(stream_id);

  GstCaps* caps =
      gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING,
                          "interleaved", "channels", G_TYPE_INT, 1, "rate", G_TYPE_INT,
                          static_cast<gint>(s.decoder->sample_rate()), nullptr);
  gst_pad_push_event(self->srcpad, gst_event_new_caps(caps));
  gst_caps_unref(caps);

  if (!s.pending_segment) s.pending_segment = gst_event_new_segment(&self->segment);
  gst_pad_push_event(self->srcpad, s.pending_segment);
  s.pending_segment = nullptr;

  const RecordingPages& r = *s.recording;
  GstTagList* tags = gst_tag_list_new(
      GST_TAG_CONTAINER_FORMAT,
      r.container() == Container::Vqr ? "Voice recording (vqr)" : "Voice recording (vqm)",
      GST_TAG_AUDIO_CODEC, "G.726 ADPCM", CALENDO_TAG_SP_PAGES, r.pages_of(calendo::kSp),
      CALENDO_TAG_LP_PAGES, r.pages_of(calendo::kLp), nullptr);
  calendo::gst::add_file_tags(self->sinkpad, tags);
  gst_tag_list_set_scope(tags, GST_TAG_SCOPE_STREAM);
  gst_pad_push_event(self->srcpad, gst_event_new_tag(tags));
  gst_element_add_pad(GST_ELEMENT_CAST(self), self->srcpad);
  gst_element_no_more_pads(GST_ELEMENT_CAST(self));
  s.headers_sent = true;
}

// Where playing stops: EOS, or for a segment seek the segment-done message
// and event (the task then pauses until the application seeks again).
GstFlowReturn end_of_segment(GstCalendoDec* self) {
  if ((self->segment.flags & GST_SEGMENT_FLAG_SEGMENT) == 0) return GST_FLOW_EOS;
  const auto position = static_cast<gint64>(
      self->segment.stop != GST_CLOCK_TIME_NONE ? self->segment.stop : self->segment.duration);
  gst_element_post_message(
      GST_ELEMENT_CAST(self),
      gst_message_new_segment_done(GST_OBJECT_CAST(self), GST_FORMAT_TIME, position));
  gst_pad_push_event(self->srcpad, gst_event_new_segment_done(GST_FORMAT_TIME, position));
  return kSegmentDone;
}

// Decodes pages until a buffer's worth of samples waits and pushes them; EOS
// at the end of the recording or of the segment.
GstFlowReturn push_pages(GstCalendoDec* self) {
  Stream& s = *self->stream;
  RecordingDecoder& d = *s.decoder;
  if (!s.headers_sent) send_headers(self);
  if (s.pending_segment) {
    gst_pad_push_event(self->srcpad, s.pending_segment);
    s.pending_segment = nullptr;
  }
  const uint64_t end = std::min(d.total_samples(), s.stop_sample);
  if (s.next_sample >= end) return end_of_segment(self);

  // Pages that give no samples (a descriptor of 0 codes) are passed over:
  // the stream ends at the end of the recording, not at the first such page.
  while (s.decoded.size() < kBufferSamples && d.next_page() < d.page_count()) {
    const std::span<const int16_t> page = d.decode_next();
    const std::size_t from = std::min<std::size_t>(s.skip, page.size());
    s.skip -= from;
    s.decoded.insert(s.decoded.end(), page.begin() + static_cast<std::ptrdiff_t>(from), page.end());
  }
  if (s.pulled && s.pulled->failure() != GST_FLOW_OK) return s.pulled->failure();
  const std::size_t count =
      std::min<std::size_t>({s.decoded.size(), kBufferSamples, end - s.next_sample});
  if (count == 0) return end_of_segment(self);
  const std::span<const int16_t> samples(s.decoded.data(), count);

  const gsize size = samples.size() * sizeof(int16_t);
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
  gst_buffer_fill(buffer, 0, samples.data(), size);  // S16LE: this is a little-endian host
  const uint64_t first = s.next_sample;
  const uint64_t last = first + samples.size();
  GST_BUFFER_OFFSET(buffer) = first;
  GST_BUFFER_OFFSET_END(buffer) = last;
  GST_BUFFER_PTS(buffer) = sample_time(self, first);
  GST_BUFFER_DURATION(buffer) = sample_time(self, last) - sample_time(self, first);
  if (s.discont) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    s.discont = false;
  }
  s.decoded.erase(s.decoded.begin(), s.decoded.begin() + static_cast<std::ptrdiff_t>(count));
  s.next_sample = last;
  publish_position(self, last);
  self->segment.position = static_cast<guint64>(sample_time(self, last));
  return gst_pad_push(self->srcpad, buffer);
}

// Adds a buffer's bytes to the held file; false (and an error posted) when
// they cannot be held or the file grows too large for a recording.
bool hold(GstCalendoDec* self, GstBuffer* buffer) {
  Stream& s = *self->stream;
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return false;
  const bool held = s.held.size() + map.size <= kMaxFileBytes;
  if (held) s.held.insert(s.held.end(), map.data, map.data + map.size);
  gst_buffer_unmap(buffer, &map);
  if (held) return true;
  GST_ELEMENT_ERROR(
      self, STREAM, TOO_LAZY,
      ("File too large for a voice recording (over %" G_GUINT64_FORMAT " bytes)", kMaxFileBytes),
      (nullptr));
  return false;
}

// Reads from upstream as the readers ask when it tells its size; otherwise
// pulls the whole file into memory.
GstFlowReturn pull_file(GstCalendoDec* self) {
  Stream& s = *self->stream;
  if (const uint64_t size = calendo::gst::upstream_size(self->sinkpad); size > 0) {
    auto pulled = std::make_unique<PulledSource>(self->sinkpad, size);
    s.pulled = pulled.get();
    s.source = std::move(pulled);
    return GST_FLOW_OK;
  }
  guint64 offset = 0;
  for (;;) {
    GstBuffer* buffer = nullptr;
    const GstFlowReturn ret = gst_pad_pull_range(self->sinkpad, offset, kPullChunk, &buffer);
    if (ret == GST_FLOW_EOS) return GST_FLOW_OK;
    if (ret != GST_FLOW_OK) return ret;
    const gsize size = gst_buffer_get_size(buffer);
    const bool held = hold(self, buffer);
    gst_buffer_unref(buffer);
    if (!held) return GST_FLOW_ERROR;
    offset += size;
    if (size < kPullChunk) return GST_FLOW_OK;
  }
}

void pause_task(GstCalendoDec* self, GstFlowReturn ret) {
  GST_DEBUG_OBJECT(self, "pausing task: %s", gst_flow_get_name(ret));
  gst_pad_pause_task(self->sinkpad);
  if (ret == GST_FLOW_NOT_LINKED || ret < GST_FLOW_EOS) GST_ELEMENT_FLOW_ERROR(self, ret);
  if ((ret == GST_FLOW_EOS || ret == GST_FLOW_NOT_LINKED || ret < GST_FLOW_EOS) && self->srcpad)
    gst_pad_push_event(self->srcpad, gst_event_new_eos());
}

// A bin that plugs the element (decodebin) holds back its errors until the
// element has reached PAUSED and then drops those that came meanwhile; it
// lets the element's state go only after that. A refusal waits for that
// moment (a bounded while), so that it reaches the bus.
void wait_until_errors_pass(GstCalendoDec* self) {
  for (int waited_ms = 0; waited_ms < 2000; ++waited_ms) {
    if (!gst_element_is_locked_state(GST_ELEMENT_CAST(self))) return;
    if (GST_PAD_IS_FLUSHING(self->sinkpad)) return;
    g_usleep(1000);
  }
}

void loop(GstPad* pad) {
  GstCalendoDec* self = GST_CALENDO_DEC(GST_PAD_PARENT(pad));
  if (!self->stream->loaded()) {
    GstFlowReturn ret = pull_file(self);
    if (ret == GST_FLOW_OK && !open_recording(self)) ret = GST_FLOW_ERROR;
    if (ret == GST_FLOW_ERROR) {
      // The refusal is on the bus already; no pad was added.
      gst_pad_pause_task(pad);
      return;
    }
    if (ret != GST_FLOW_OK) {
      pause_task(self, ret);
      return;
    }
    Stream& s = *self->stream;
    s.pass = std::make_unique<calendo::gst::CheckpointPass>(
        GST_ELEMENT_CAST(self), self->sinkpad, s.pulled ? s.pulled->size() : 0, s.held);
  }
  const GstFlowReturn ret = push_pages(self);
  if (ret != GST_FLOW_OK) pause_task(self, ret);
}

// Push mode: the whole file has arrived; decode and push every page.
void finish_pushed_file(GstCalendoDec* self) {
  if (!open_recording(self)) return;
  GstFlowReturn ret;
  while ((ret = push_pages(self)) == GST_FLOW_OK) {
  }
  if (ret == GST_FLOW_NOT_LINKED || ret < GST_FLOW_EOS) GST_ELEMENT_FLOW_ERROR(self, ret);
}

GstFlowReturn chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  GstCalendoDec* self = GST_CALENDO_DEC(parent);
  const bool held = hold(self, buffer);
  gst_buffer_unref(buffer);
  return held ? GST_FLOW_OK : GST_FLOW_ERROR;
}

gboolean sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
  GstCalendoDec* self = GST_CALENDO_DEC(parent);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS:
    case GST_EVENT_SEGMENT:
    case GST_EVENT_STREAM_START:
      // The element makes its own from the file.
      gst_event_unref(event);
      return TRUE;
    case GST_EVENT_EOS:
      if (!self->stream->loaded()) finish_pushed_file(self);
      return gst_pad_event_default(pad, parent, event);
    default:
      return gst_pad_event_default(pad, parent, event);
  }
}

// What the timeline says, read at once.
struct TimelineView {
  uint32_t sample_rate;
  uint64_t total_samples;
  uint64_t position;
  bool streaming;
  bool loaded() const { return sample_rate != 0; }
};

TimelineView view_timeline(GstCalendoDec* self) {
  std::lock_guard<std::mutex> guard(self->timeline->lock);
  const Timeline& t = *self->timeline;
  return {t.sample_rate, t.total_samples, t.position, t.streaming};
}

gboolean convert(const TimelineView& timeline, GstFormat from, gint64 value, GstFormat to,
                 gint64* out) {
  if (from == to) {
    *out = value;
    return TRUE;
  }
  if (!timeline.loaded() || value < 0) return FALSE;
  const guint64 rate = timeline.sample_rate;
  if (from == GST_FORMAT_TIME && to == GST_FORMAT_DEFAULT) {
    *out =
        static_cast<gint64>(gst_util_uint64_scale(static_cast<guint64>(value), rate, GST_SECOND));
    return TRUE;
  }
  if (from == GST_FORMAT_DEFAULT && to == GST_FORMAT_TIME) {
    *out =
        static_cast<gint64>(gst_util_uint64_scale(static_cast<guint64>(value), GST_SECOND, rate));
    return TRUE;
  }
  return FALSE;
}

gboolean src_query(GstPad* pad, GstObject* parent, GstQuery* query) {
  GstCalendoDec* self = GST_CALENDO_DEC(parent);
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
      GstFormat format;
      gst_query_parse_duration(query, &format, nullptr);
      gint64 value;
      const TimelineView timeline = view_timeline(self);
      if (!convert(timeline, GST_FORMAT_DEFAULT, static_cast<gint64>(timeline.total_samples),
                   format, &value))
        return FALSE;
      gst_query_set_duration(query, format, value);
      return TRUE;
    }
    case GST_QUERY_POSITION: {
      GstFormat format;
      gst_query_parse_position(query, &format, nullptr);
      gint64 value;
      const TimelineView timeline = view_timeline(self);
      if (!convert(timeline, GST_FORMAT_DEFAULT, static_cast<gint64>(timeline.position), format,
                   &value))
        return FALSE;
      gst_query_set_position(query, format, value);
      return TRUE;
    }
    case GST_QUERY_CONVERT: {
      GstFormat from, to;
      gint64 value, out;
      gst_query_parse_convert(query, &from, &value, &to, nullptr);
      if (!convert(view_timeline(self), from, value, to, &out)) return FALSE;
      gst_query_set_convert(query, from, value, to, out);
      return TRUE;
    }
    case GST_QUERY_SEEKING: {
      GstFormat format;
      gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
      if (format != GST_FORMAT_TIME && format != GST_FORMAT_DEFAULT) return FALSE;
      gint64 end = -1;
      const TimelineView timeline = view_timeline(self);
      if (timeline.loaded())
        convert(timeline, GST_FORMAT_DEFAULT, static_cast<gint64>(timeline.total_samples), format,
                &end);
      gst_query_set_seeking(query, format, !timeline.streaming, 0, end);
      return TRUE;
    }
    default:
      return gst_pad_query_default(pad, parent, query);
  }
}

// A seek in pull mode: stop the streaming thread, bring the decoder to the
// page holding the new start (decoding forward from the nearest checkpoint,
// so the samples are exact; once the checkpoint pass is done every
// checkpoint is known), and start again from there.
gboolean perform_seek(GstCalendoDec* self, GstEvent* event) {
  gdouble rate;
  GstFormat format;
  GstSeekFlags flags;
  GstSeekType start_type, stop_type;
  gint64 start, stop;
  gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
  const TimelineView timeline = view_timeline(self);
  if (timeline.streaming || !timeline.loaded() || rate <= 0.0) return FALSE;
  if (format == GST_FORMAT_DEFAULT) {
    if (start_type != GST_SEEK_TYPE_NONE &&
        !convert(timeline, format, start, GST_FORMAT_TIME, &start))
      return FALSE;
    if (stop_type != GST_SEEK_TYPE_NONE && stop >= 0 &&
        !convert(timeline, format, stop, GST_FORMAT_TIME, &stop))
      return FALSE;
    format = GST_FORMAT_TIME;
  }
  if (format != GST_FORMAT_TIME) return FALSE;

  const guint32 seqnum = gst_event_get_seqnum(event);
  const bool flush = (flags & GST_SEEK_FLAG_FLUSH) != 0;
  if (flush) {
    GstEvent* start_flush = gst_event_new_flush_start();
    gst_event_set_seqnum(start_flush, seqnum);
    gst_pad_push_event(self->srcpad, start_flush);
  } else {
    gst_pad_pause_task(self->sinkpad);
  }
  GST_PAD_STREAM_LOCK(self->sinkpad);

  GstSegment seeked = self->segment;
  gboolean update;
  gst_segment_do_seek(&seeked, rate, format, flags, start_type, static_cast<guint64>(start),
                      stop_type, static_cast<guint64>(stop), &update);

  Stream& s = *self->stream;
  RecordingDecoder& d = *s.decoder;
  const guint64 sample_rate = d.sample_rate();
  const uint64_t first = std::min<uint64_t>(
      gst_util_uint64_scale_ceil(seeked.start, sample_rate, GST_SECOND), d.total_samples());
  const uint32_t page = d.page_of_sample(first);
  if (s.pass) {
    // Far past what the decoder knows, the pass (on every core) ends sooner
    // than decoding there alone would.
    const uint64_t known = std::max<uint64_t>(
        d.next_page(), (d.checkpoint_count() - 1) * uint64_t{calendo::kCheckpointPages});
    if (page > known + kPagesWorthWaiting) s.pass->wait();
    s.pass->hand_over(d);
  }
  d.seek(page);
  s.decoded.clear();
  s.skip = page < d.page_count() ? first - d.page_start(page) : 0;
  s.next_sample = first;
  publish_position(self, first);
  s.stop_sample = GST_CLOCK_TIME_IS_VALID(seeked.stop)
                      ? gst_util_uint64_scale_ceil(seeked.stop, sample_rate, GST_SECOND)
                      : UINT64_MAX;
  s.discont = true;
  seeked.position = seeked.start;
  self->segment = seeked;
  GST_DEBUG_OBJECT(self, "seek to sample %" G_GUINT64_FORMAT " (page %u)", first, page);

  if (flush) {
    GstEvent* stop_flush = gst_event_new_flush_stop(TRUE);
    gst_event_set_seqnum(stop_flush, seqnum);
    gst_pad_push_event(self->srcpad, stop_flush);
  }
  if (s.pending_segment) gst_event_unref(s.pending_segment);
  s.pending_segment = gst_event_new_segment(&self->segment);
  gst_event_set_seqnum(s.pending_segment, seqnum);
  gst_pad_start_task(self->sinkpad, reinterpret_cast<GstTaskFunction>(loop), self->sinkpad,
                     nullptr);
  GST_PAD_STREAM_UNLOCK(self->sinkpad);
  return TRUE;
}

gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event) {
  GstCalendoDec* self = GST_CALENDO_DEC(parent);
  if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
    const gboolean done = perform_seek(self, event);
    gst_event_unref(event);
    return done;
  }
  return gst_pad_event_default(pad, parent, event);
}

gboolean sink_activate(GstPad* pad, GstObject* parent) {
  GstCalendoDec* self = GST_CALENDO_DEC(parent);
  GstQuery* query = gst_query_new_scheduling();
  const bool pull =
      gst_pad_peer_query(pad, query) && gst_query_has_scheduling_mode_with_flags(
                                            query, GST_PAD_MODE_PULL, GST_SCHEDULING_FLAG_SEEKABLE);
  gst_query_unref(query);
  {
    std::lock_guard<std::mutex> guard(self->timeline->lock);
    self->timeline->streaming = !pull;
  }
  GST_DEBUG_OBJECT(self, "activating in %s mode", pull ? "pull" : "push");
  return gst_pad_activate_mode(pad, pull ? GST_PAD_MODE_PULL : GST_PAD_MODE_PUSH, TRUE);
}

gboolean sink_activate_mode(GstPad* pad, GstObject*, GstPadMode mode, gboolean active) {
  if (mode == GST_PAD_MODE_PUSH) return TRUE;
  if (mode != GST_PAD_MODE_PULL) return FALSE;
  if (active) return gst_pad_start_task(pad, reinterpret_cast<GstTaskFunction>(loop), pad, nullptr);
  return gst_pad_stop_task(pad);
}

}  // namespace

static GstStateChangeReturn gst_calendo_dec_change_state(GstElement* element,
                                                         GstStateChange transition) {
  GstCalendoDec* self = GST_CALENDO_DEC(element);
  if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) reset_stream(self);
  const GstStateChangeReturn ret =
      GST_ELEMENT_CLASS(gst_calendo_dec_parent_class)->change_state(element, transition);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) reset_stream(self);
  return ret;
}

static void gst_calendo_dec_finalize(GObject* object) {
  GstCalendoDec* self = GST_CALENDO_DEC(object);
  delete self->stream;
  delete self->timeline;
  G_OBJECT_CLASS(gst_calendo_dec_parent_class)->finalize(object);
}

static void gst_calendo_dec_class_init(GstCalendoDecClass* klass) {
  GObjectClass* object_class = G_OBJECT_CLASS(klass);
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  object_class->finalize = gst_calendo_dec_finalize;
  element_class->change_state = GST_DEBUG_FUNCPTR(gst_calendo_dec_change_state);
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);
  gst_element_class_set_static_metadata(
      element_class, "Voice recording decoder", "Codec/Demuxer/Decoder/Audio",
      "Decodes the vqr and vqm files of a digital voice recorder (G.726 ADPCM) to PCM", "Calendo");
  GST_DEBUG_CATEGORY_INIT(calendo_dec_debug, "calendodec", 0, "voice recording decoder");
}

static void gst_calendo_dec_init(GstCalendoDec* self) {
  self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
  gst_pad_set_activate_function(self->sinkpad, GST_DEBUG_FUNCPTR(sink_activate));
  gst_pad_set_activatemode_function(self->sinkpad, GST_DEBUG_FUNCPTR(sink_activate_mode));
  gst_pad_set_chain_function(self->sinkpad, GST_DEBUG_FUNCPTR(chain));
  gst_pad_set_event_function(self->sinkpad, GST_DEBUG_FUNCPTR(sink_event));
  gst_element_add_pad(GST_ELEMENT_CAST(self), self->sinkpad);

  self->srcpad = nullptr;
  self->timeline = new Timeline();
  self->stream = new Stream();
  gst_segment_init(&self->segment, GST_FORMAT_TIME);
}

void calendo_register_tags(void) {
  gst_tag_register(CALENDO_TAG_SP_PAGES, GST_TAG_FLAG_META, G_TYPE_UINT, "SP pages",
                   "pages recorded in the standard-play mode", gst_tag_merge_use_first);
  gst_tag_register(CALENDO_TAG_LP_PAGES, GST_TAG_FLAG_META, G_TYPE_UINT, "LP pages",
                   "pages recorded in the long-play mode", gst_tag_merge_use_first);
}
